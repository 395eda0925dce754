#pragma once

#include <QDialog>

class IDesktop;
class QLabel;
class QPushButton;
class TClickLabel;

// The about box: program name, version, web addresses and the maker. Created once at start
// and kept for the run; "Info" shows it without making it modal (ShowInfo), "Schließen"
// hides it again.
class TFormKVInfo : public QDialog {
    Q_OBJECT
public:
    explicit TFormKVInfo(IDesktop& desktop, QWidget* parent = nullptr);

    // Shows the box, centred over its parent the first time; when it is already shown,
    // only brings it forward.
    void ShowInfo();

    QLabel* ImageLogo;
    QLabel* LabelProgram;
    QLabel* LabelVersion;
    QLabel* LabelVersionNumber;
    QLabel* LabelSWWebsite;
    TClickLabel* LabelSWUrl;
    QLabel* Label2;
    QLabel* Label3;
    TClickLabel* LabelKorvelUrl;
    QLabel* Label6;
    QPushButton* ButtonClose;

public Q_SLOTS:
    void ButtonCloseClick();
    void LabelSWUrlClick();
    void LabelKorvelUrlClick();

private:
    void FormCreate();

    IDesktop& m_desktop;
};
