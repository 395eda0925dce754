#include "FormKVInfo.h"

#include "ClickLabel.h"
#include "Pictures.h"
#include "VersionInfo.h"
#include "platform/Desktop.h"
#include "platform/UiFont.h"

#include <QLabel>
#include <QPushButton>

namespace {

// The maker's details shown in the box.
const char ProductUrl[] = "https://www.korvel-software.example/palavero";
const char MakerUrl[] = "https://www.korvel-software.example";
const char MakerLine[] = "Korvel Software GmbH, Lindau, Deutschland";
const char MakerMail[] = "info@korvel-software.example";

QFont boxFont(int pixelSize, bool bold) {
    QFont font = UiFont::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

template <typename Label = QLabel>
Label* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, bool bold = false) {
    auto* label = new Label(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(boxFont(13, bold));
    label->setText(text);
    label->adjustSize();
    label->move(left, top);
    return label;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

TFormKVInfo::TFormKVInfo(IDesktop& desktop, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_desktop(desktop) {
    setObjectName(QStringLiteral("FormKVInfo"));
    setWindowTitle(QStringLiteral("Info"));
    setModal(false);
    setFixedSize(405, 249);
    setFont(boxFont(13, false));
    // White and untouched by the program's visual style: the box's own sheet wins over the
    // application's for the box itself.
    setStyleSheet(QStringLiteral("TFormKVInfo { background-color: #ffffff; }"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    ImageLogo = new QLabel(this);
    ImageLogo->setObjectName(QStringLiteral("ImageLogo"));
    ImageLogo->setGeometry(12, 23, 100, 100);
    ImageLogo->setPixmap(Pictures::logo(100, devicePixelRatioF()));

    LabelProgram = makeLabel(this, "LabelProgram", QStringLiteral("Palavero"), 128, 21);
    LabelProgram->setFont(boxFont(16, true));
    setTextColour(LabelProgram, QColor(34, 102, 170));
    LabelVersion = makeLabel(this, "LabelVersion", QStringLiteral("Version"), 128, 46);
    LabelVersionNumber = makeLabel(this, "LabelVersionNumber", QStringLiteral("1.0.10.100"), 177, 46);
    LabelSWWebsite = makeLabel(this, "LabelSWWebsite", QStringLiteral("Software-Website"), 128, 75, true);

    LabelSWUrl = makeLabel<TClickLabel>(this, "LabelSWUrl", QLatin1String(ProductUrl), 128, 96);
    setTextColour(LabelSWUrl, QColor(72, 136, 255));
    QPalette urlBack = LabelSWUrl->palette();
    urlBack.setColor(QPalette::Window, QColor(168, 200, 255));
    LabelSWUrl->setPalette(urlBack);
    LabelSWUrl->setAutoFillBackground(true);
    LabelSWUrl->setCursor(Qt::PointingHandCursor);

    Label2 = makeLabel(this, "Label2", QStringLiteral("Software-Enwicklung"), 128, 124, true);
    Label2->setWordWrap(true);
    Label3 = makeLabel(this, "Label3", QLatin1String(MakerLine), 128, 144);

    LabelKorvelUrl = makeLabel<TClickLabel>(this, "LabelKorvelUrl", QLatin1String(MakerUrl), 128, 164);
    setTextColour(LabelKorvelUrl, QColor(72, 136, 255));
    LabelKorvelUrl->setCursor(Qt::PointingHandCursor);

    Label6 = makeLabel(this, "Label6", QLatin1String(MakerMail), 128, 185);

    ButtonClose = new QPushButton(QStringLiteral("Schließen"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setGeometry(302, 207, 91, 30);
    ButtonClose->setFocusPolicy(Qt::StrongFocus);
    ButtonClose->setAutoDefault(false);
    for (QLabel* label : findChildren<QLabel*>())
        label->setFocusPolicy(Qt::NoFocus);

    connect(ButtonClose, &QPushButton::clicked, this, &TFormKVInfo::ButtonCloseClick);
    connect(LabelSWUrl, &TClickLabel::clicked, this, &TFormKVInfo::LabelSWUrlClick);
    connect(LabelKorvelUrl, &TClickLabel::clicked, this, &TFormKVInfo::LabelKorvelUrlClick);

    // Construction replaces the design caption of the program label.
    LabelProgram->setText(QStringLiteral("Palavero Lite"));
    LabelProgram->adjustSize();
    FormCreate();
}

void TFormKVInfo::FormCreate() {
    LabelVersionNumber->setText(GetVersionString(QString(), 2));
    LabelVersionNumber->adjustSize();
}

void TFormKVInfo::ShowInfo() {
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void TFormKVInfo::ButtonCloseClick() { hide(); }

void TFormKVInfo::LabelSWUrlClick() { m_desktop.openUrl(LabelSWUrl->text()); }

void TFormKVInfo::LabelKorvelUrlClick() { m_desktop.openUrl(LabelKorvelUrl->text()); }
