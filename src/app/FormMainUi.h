#pragma once

#include <QTimer>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QWidget;
class TDesignPanel;
class TRichEditURL;
class TStatusBarPro;
class TTargetCombo;

// The designed controls of the main window and their layout: positions, sizes,
// colours, anchors, tab order, the pop-up menus and their items. It holds no
// behaviour beyond what a form designer would set (clipboard items, which menu
// pops up where); the main window connects the rest.
class TFormMainUi {
public:
    // Builds the controls into `form` with the window font of `fontSize` points.
    void setupUi(QWidget* form, int fontSize);

    // The height the window needs at least, frame included: the bottom strip,
    // the writing area's minimum, the status bar and, in the message view, the
    // message pane as it stands.
    int minimumOuterHeight() const;
    bool isMessageViewShown() const;

    QWidget* PanelMsg = nullptr;
    QSplitter* Splitter1 = nullptr;
    TDesignPanel* PanelSend = nullptr;
    TDesignPanel* PanelBottom = nullptr;
    TRichEditURL* RichEditMsg = nullptr;
    TTargetCombo* ComboBoxTarget = nullptr;
    QWidget* Bevel1 = nullptr;
    QPushButton* BitBtnSendToAll = nullptr;
    QPlainTextEdit* MemoSend = nullptr;
    QPushButton* BitBtnTextbausteine = nullptr;
    QLabel* LabelVersion = nullptr;
    QPushButton* BitBtnSend = nullptr;
    QPushButton* BitBtnHide = nullptr;
    TStatusBarPro* StatusBarMain = nullptr;
    QMenu* PopupMenuTray = nullptr;
    QMenu* PopupMenuPanel = nullptr;
    QMenu* PopupMenuRE = nullptr;
    QMenu* PopupMenuMemo = nullptr;
    QAction* SendMessage1 = nullptr;
    QAction* Nachrichterneutsenden1 = nullptr;
    QAction* EingegangeneNachrichten1 = nullptr;
    QAction* Historyndern1 = nullptr;
    QAction* Einganglschen1 = nullptr;
    QAction* extbausteine1 = nullptr;
    QAction* MenuItemGroups = nullptr;
    QAction* Einstellungen1 = nullptr;
    QAction* Anmelden1 = nullptr;
    QAction* Info1 = nullptr;
    QAction* Beenden1 = nullptr;
    QAction* EingegangeneNachrichten2 = nullptr;
    QAction* Historyndern2 = nullptr;
    QAction* Historylschen1 = nullptr;
    QAction* Einstellungen2 = nullptr;
    QAction* MenuItemLogin = nullptr;
    QAction* Kopieren1 = nullptr;
    QAction* MenuItem2 = nullptr;
    QAction* MenuItem3 = nullptr;
    QTimer TimerStart;
    QTimer TimerStartUdp;

protected:
    // Sizes the window's minimum and the bottom panel to the controls' text.
    void fitToContent(QWidget* form);

private:
    void setupControls(QWidget* form, int fontSize);
    void setupMenus(QWidget* form);

    QWidget* FForm = nullptr;
};
