#include "app/FormMainUi.h"

#include "app/DesignPanel.h"
#include "app/StatusBarPro.h"
#include "app/TargetCombo.h"
#include "app/CommandLine.h"
#include "info/Pictures.h"
#include "messages/RichEditURL.h"
#include "platform/UiFont.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

const QColor kPanelColor(248, 251, 255);
constexpr int kPanelBottomHeight = 45;
constexpr int kMinimumWidth = 440;
constexpr int kPanelMinHeight = 100;
constexpr int kFrameAllowance = 36;

} // namespace

void TFormMainUi::setupUi(QWidget* form, int fontSize) {
    FForm = form;
    // The start timer runs from the window's creation: building the window
    // counts towards its 50 ms. It fires once the message loop runs.
    TimerStart.setSingleShot(true);
    TimerStart.setInterval(50);
    TimerStart.start();
    TimerStartUdp.setSingleShot(true);
    TimerStartUdp.setInterval(1);
    setupControls(form, fontSize);
    setupMenus(form);
}

int TFormMainUi::minimumOuterHeight() const {
    int h = PanelBottom->height() + PanelSend->minimumHeight() + StatusBarMain->height() + kFrameAllowance;
    if (isMessageViewShown())
        h += PanelMsg->height();
    return h;
}

bool TFormMainUi::isMessageViewShown() const {
    return PanelMsg->isVisibleTo(FForm);
}

void TFormMainUi::fitToContent(QWidget* form) {
    // Worked out once the window is shown (its panels say so), not for a window
    // that stays in the tray.
    if (!form->isVisible())
        return;
    // Buttons grow with their text; the window is never so narrow that they overlap.
    PanelBottom->setFixedHeight(std::max(kPanelBottomHeight, PanelBottom->requiredHeight()));
    form->setMinimumWidth(std::max({kMinimumWidth, PanelSend->requiredWidth(), PanelBottom->requiredWidth(),
                                    StatusBarMain->minimumSizeHint().width()}));
}

void TFormMainUi::setupControls(QWidget* form, int fontSize) {
    QFont windowFont = UiFont::font();
    windowFont.setPointSize(fontSize > 0 ? fontSize : TCommandLine::kDefaultFontSize);

    PanelMsg = new QWidget;
    PanelMsg->setObjectName(QStringLiteral("PanelMsg"));
    PanelMsg->setAutoFillBackground(true);
    QPalette pal = PanelMsg->palette();
    pal.setColor(QPalette::Window, kPanelColor);
    PanelMsg->setPalette(pal);
    PanelMsg->setMinimumHeight(kPanelMinHeight);
    auto* msgLayout = new QVBoxLayout(PanelMsg);
    msgLayout->setContentsMargins(8, 8, 8, 8);
    RichEditMsg = new TRichEditURL(PanelMsg);
    RichEditMsg->setObjectName(QStringLiteral("RichEditMsg"));
    RichEditMsg->setAccessibleName(QStringLiteral("Empfangene Nachrichten"));
    RichEditMsg->setFont(windowFont); // its own font: later changes of the window's font do not reach it
    msgLayout->addWidget(RichEditMsg);

    PanelSend = new TDesignPanel(QSize(574, 212), kPanelColor);
    PanelSend->setObjectName(QStringLiteral("PanelSend"));
    PanelSend->setMinimumHeight(kPanelMinHeight);
    Bevel1 = new QFrame;
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    static_cast<QFrame*>(Bevel1)->setFrameShape(QFrame::Box);
    static_cast<QFrame*>(Bevel1)->setFrameShadow(QFrame::Sunken);
    PanelSend->place(Bevel1, QRect(8, 10, 168, 29));
    ComboBoxTarget = new TTargetCombo;
    ComboBoxTarget->setObjectName(QStringLiteral("ComboBoxTarget"));
    ComboBoxTarget->setAccessibleName(QStringLiteral("Empfänger"));
    PanelSend->place(ComboBoxTarget, QRect(11, 14, 161, 22));
    BitBtnSendToAll = new QPushButton(Pictures::sendAllIcon(), QStringLiteral("An &alle"));
    BitBtnSendToAll->setObjectName(QStringLiteral("BitBtnSendToAll"));
    BitBtnSendToAll->setFocusPolicy(Qt::ClickFocus);
    PanelSend->place(BitBtnSendToAll, QRect(183, 10, 90, 29), TDesignPanel::Left | TDesignPanel::Top, TDesignPanel::Sizing::GrowsWithContent);
    MemoSend = new QPlainTextEdit;
    MemoSend->setObjectName(QStringLiteral("MemoSend"));
    MemoSend->setAccessibleName(QStringLiteral("Nachricht"));
    MemoSend->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoSend->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoSend->setAcceptDrops(false);
    MemoSend->setTabChangesFocus(true);
    PanelSend->place(MemoSend, QRect(8, 49, 556, 155),
                     TDesignPanel::Left | TDesignPanel::Top | TDesignPanel::Right | TDesignPanel::Bottom);
    BitBtnTextbausteine = new QPushButton(QStringLiteral("&Textbausteine"));
    BitBtnTextbausteine->setObjectName(QStringLiteral("BitBtnTextbausteine"));
    BitBtnTextbausteine->setFocusPolicy(Qt::ClickFocus);
    PanelSend->place(BitBtnTextbausteine, QRect(451, 10, 113, 29), TDesignPanel::Top | TDesignPanel::Right, TDesignPanel::Sizing::GrowsWithContent);
    ComboBoxTarget->lineEdit()->setAcceptDrops(false);
    ComboBoxTarget->lineEdit()->setAccessibleName(ComboBoxTarget->accessibleName()); // the field a reader enters

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(PanelMsg);
    Splitter1->addWidget(PanelSend);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({153, 212});

    PanelBottom = new TDesignPanel(QSize(574, kPanelBottomHeight), kPanelColor);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    PanelBottom->setFixedHeight(kPanelBottomHeight);
    LabelVersion = new QLabel;
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    QFont small = UiFont::font();
    small.setPixelSize(11);
    LabelVersion->setFont(small);
    // Silver on the panel would be hardly readable (1.75:1); the nearest darker grey reaches 3:1.
    LabelVersion->setStyleSheet(QStringLiteral("color: rgb(145,145,145);"));
    // As wide as its text.
    PanelBottom->place(LabelVersion, QRect(8, 22, 1, 14), TDesignPanel::Left | TDesignPanel::Top, TDesignPanel::Sizing::GrowsWithContent);
    BitBtnSend = new QPushButton(Pictures::sendIcon(), QStringLiteral("&Senden"));
    BitBtnSend->setObjectName(QStringLiteral("BitBtnSend"));
    BitBtnSend->setDefault(true);
    // Both buttons keep to the right edge, so that "Senden" never slides under "Schließen".
    PanelBottom->place(BitBtnSend, QRect(363, 7, 97, 28), TDesignPanel::Top | TDesignPanel::Right, TDesignPanel::Sizing::GrowsWithContent);
    BitBtnHide = new QPushButton(QStringLiteral("S&chließen"));
    BitBtnHide->setObjectName(QStringLiteral("BitBtnHide"));
    PanelBottom->place(BitBtnHide, QRect(467, 7, 97, 28), TDesignPanel::Top | TDesignPanel::Right, TDesignPanel::Sizing::GrowsWithContent);

    StatusBarMain = new TStatusBarPro;
    StatusBarMain->setObjectName(QStringLiteral("StatusBarMain"));
    StatusBarMain->setAccessibleName(QStringLiteral("Status"));
    // The status bar keeps the system's font whatever size the window's text has.
    QFont systemFont = QGuiApplication::font();
    systemFont.setFamily(systemFont.family());
    systemFont.setPointSizeF(systemFont.pointSizeF());
    StatusBarMain->setFont(systemFont);

    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(PanelBottom);
    layout->addWidget(StatusBarMain);

    // A focused button takes Enter itself, as on a dialog; Enter elsewhere is
    // the window's (it presses "Senden").
    for (QPushButton* button : {BitBtnSendToAll, BitBtnTextbausteine, BitBtnSend, BitBtnHide})
        button->setAutoDefault(true);

    QWidget::setTabOrder(BitBtnSend, ComboBoxTarget);
    QWidget::setTabOrder(ComboBoxTarget, MemoSend);
    QWidget::setTabOrder(MemoSend, BitBtnHide);

    // Set once all controls exist, so that every one of them inherits it.
    form->setFont(windowFont);

    // Fonts reach the controls for good when they are first shown; a minimum
    // size above the window's size enlarges it.
    for (TDesignPanel* panel : {PanelSend, PanelBottom})
        QObject::connect(panel, &TDesignPanel::contentChanged, form, [this, form] { fitToContent(form); });
    QObject::connect(StatusBarMain, &TStatusBarPro::fittedToFont, form, [this, form] { fitToContent(form); });
    form->setMinimumWidth(kMinimumWidth);
    form->resize(574, 411);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        form->move(screen->availableGeometry().center() - QPoint(574 / 2, 411 / 2));
    PanelMsg->hide();
}

void TFormMainUi::setupMenus(QWidget* form) {
    auto action = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    PopupMenuTray = new QMenu(form);
    PopupMenuTray->setObjectName(QStringLiteral("PopupMenuTray"));
    SendMessage1 = action(PopupMenuTray, "SendMessage1", QStringLiteral("Nachricht schreiben"));
    Nachrichterneutsenden1 = action(PopupMenuTray, "Nachrichterneutsenden1", QStringLiteral("Nachricht erneut senden"));
    PopupMenuTray->addSeparator();
    EingegangeneNachrichten1 =
        action(PopupMenuTray, "EingegangeneNachrichten1", QStringLiteral("Eingegangene Nachrichten"));
    PopupMenuTray->addSeparator();
    Historyndern1 = action(PopupMenuTray, "Historyndern1", QStringLiteral("History"));
    Einganglschen1 = action(PopupMenuTray, "Einganglschen1", QStringLiteral("History löschen"));
    PopupMenuTray->addSeparator();
    extbausteine1 = action(PopupMenuTray, "extbausteine1", QStringLiteral("Textbausteine"));
    MenuItemGroups = action(PopupMenuTray, "MenuItemGroups", QStringLiteral("Gruppen"));
    PopupMenuTray->addSeparator();
    Einstellungen1 = action(PopupMenuTray, "Einstellungen1", QStringLiteral("Einstellungen"));
    Anmelden1 = action(PopupMenuTray, "Anmelden1", QStringLiteral("Anmelden"));
    PopupMenuTray->addSeparator();
    Info1 = action(PopupMenuTray, "Info1", QStringLiteral("Info"));
    PopupMenuTray->addSeparator();
    Beenden1 = action(PopupMenuTray, "Beenden1", QStringLiteral("Beenden"));

    PopupMenuPanel = new QMenu(form);
    PopupMenuPanel->setObjectName(QStringLiteral("PopupMenuPanel"));
    EingegangeneNachrichten2 =
        action(PopupMenuPanel, "EingegangeneNachrichten2", QStringLiteral("Eingegangene Nachrichten"));
    PopupMenuPanel->addSeparator();
    Historyndern2 = action(PopupMenuPanel, "Historyndern2", QStringLiteral("History"));
    Historylschen1 = action(PopupMenuPanel, "Historylschen1", QStringLiteral("History löschen"));
    PopupMenuPanel->addSeparator();
    Einstellungen2 = action(PopupMenuPanel, "Einstellungen2", QStringLiteral("Einstellungen"));
    MenuItemLogin = action(PopupMenuPanel, "MenuItemLogin", QStringLiteral("Anmelden"));

    PopupMenuRE = new QMenu(form);
    PopupMenuRE->setObjectName(QStringLiteral("PopupMenuRE"));
    Kopieren1 = action(PopupMenuRE, "Kopieren1", QStringLiteral("Kopieren"));

    PopupMenuMemo = new QMenu(form);
    PopupMenuMemo->setObjectName(QStringLiteral("PopupMenuMemo"));
    MenuItem2 = action(PopupMenuMemo, "MenuItem2", QStringLiteral("Kopieren"));
    MenuItem3 = action(PopupMenuMemo, "MenuItem3", QStringLiteral("Einfügen"));

    auto popupOn = [](QWidget* widget, QMenu* menu) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(widget, &QWidget::customContextMenuRequested, menu,
                [widget, menu](const QPoint& pos) { menu->popup(widget->mapToGlobal(pos)); });
    };
    popupOn(PanelSend, PopupMenuPanel);
    popupOn(PanelBottom, PopupMenuPanel);
    popupOn(RichEditMsg, PopupMenuRE);
    popupOn(MemoSend, PopupMenuMemo);

    QObject::connect(Kopieren1, &QAction::triggered, RichEditMsg, &QTextEdit::copy);
    QObject::connect(MenuItem2, &QAction::triggered, MemoSend, &QPlainTextEdit::copy);
    QObject::connect(MenuItem3, &QAction::triggered, MemoSend, &QPlainTextEdit::paste);
}
