#include "app/FormMain.h"

#include "app/DataDirectory.h"
#include "app/DesignPanel.h"
#include "app/FirewallStep.h"
#include "app/StatusBarPro.h"
#include "app/TargetCombo.h"
#include "core/Ansi.h"
#include "core/AppTitle.h"
#include "groups/FormGroups.h"
#include "groups/GroupDistribution.h"
#include "groups/GroupOps.h"
#include "info/FormKVInfo.h"
#include "info/Pictures.h"
#include "info/VersionInfo.h"
#include "messages/LinkFinder.h"
#include "messages/MessageLog.h"
#include "messages/MessageState.h"
#include "messages/RichEditURL.h"
#include "messages/TargetFocusRule.h"
#include "net/DatagramHandler.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "platform/UiFont.h"
#include "settings/FormOptions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcStatus, "palavero.status", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTargets, "palavero.targets", QtInfoMsg)

namespace {

const QColor kPanelColor(248, 251, 255);
constexpr int kPanelBottomHeight = 45;
constexpr int kPanelMinHeight = 100;
constexpr int kFrameAllowance = 36;

QString editorText(const QPlainTextEdit* edit) {
    QString t = edit->toPlainText();
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

} // namespace

// The live settings are the options dialog's controls; until the dialog exists
// the defaults stand in.
class TFormMain::TSettingsProxy : public ILiveSettings {
public:
    explicit TSettingsProxy(TFormMain& owner) : FOwner(owner) {}
    const ILiveSettings& live() const {
        if (FOwner.FOptions)
            return *FOwner.FOptions;
        return FDefaults;
    }
    bool beepEnabled() const override { return live().beepEnabled(); }
    bool soundEnabled() const override { return live().soundEnabled(); }
    QString soundFileName() const override { return live().soundFileName(); }
    bool historyEnabled() const override { return live().historyEnabled(); }
    bool screenSaverEnabled() const override { return live().screenSaverEnabled(); }
    quint16 screenSaverShortcut() const override { return live().screenSaverShortcut(); }

private:
    TFormMain& FOwner;
    TSettingsValues FDefaults;
};

TFormMain::TFormMain(TPlatform& platform, IMessageBoxes& boxes, const TCommandLine& commandLine, QWidget* parent)
    : QWidget(parent), FPlatform(platform), FBoxes(boxes), FSettings(std::make_unique<TSettingsProxy>(*this)) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Palavero Lite"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAcceptDrops(true);

    FComputerName = Ansi::fromUnicode(platform.systemInfo->computerName());
    FUserName = platform.systemInfo->userName();
    FPort = commandLine.udpPort();

    buildLayout(commandLine.fontSize);
    buildMenus();

    FState = std::make_unique<TMessageState>();
    FTargetList = std::make_unique<TTargetList>(FComputerName);
    FEndpoint = std::make_unique<TUdpEndpoint>(*platform.networkInfo, boxes);
    // Every datagram goes to the program's port, also before the endpoint is configured on it.
    FEndpoint->setDestinationPort(FPort);
    FHandler = std::make_unique<TDatagramHandler>();
    FPresence = std::make_unique<TPresence>(FComputerName, FUserName, *FEndpoint, *FTargetList, boxes);
    const auto sendDatagram = [this](const QByteArray& host, const QByteArray& text) {
        return FEndpoint->SendDatagram(host, text);
    };
    FGroups = std::make_unique<TGroupDistribution>(
        FComputerName, sendDatagram,
        [this](const QByteArray& text, const QByteArray& address) { FTargetList->AddRemoteComputer(text, address); },
        boxes);
    FLog = std::make_unique<TMessageLog>(
        *FSettings, boxes, *platform.desktop,
        [this] { return TDataDirectory::pathFor(FPlatform.systemInfo->dataRoot()); }, *FState);

    TSendServices services;
    services.computerName = FComputerName;
    services.snippetFile = [this] { return FSnippetFile; };
    services.addressOf = [this](const QByteArray& name) -> std::optional<QByteArray> {
        if (const TPalaveroRemoteData* data = FTargetList->find(name, Qt::CaseInsensitive))
            return data->FIPAddress;
        return std::nullopt;
    };
    services.isListedExact = [this](const QByteArray& name) {
        return FTargetList->find(name, Qt::CaseSensitive) != nullptr;
    };
    services.groupMembers = [this](const QByteArray& group) { return groupMembersText(FGroupsFile, group); };
    services.sendDatagram = sendDatagram;
    FSender = std::make_unique<TMessageSender>(*this, services, *FLog, boxes, *FState);
    FReceiver = std::make_unique<TMessageReceiver>(*this, *FSettings, *platform.sound, *FLog, *FState);
    FFocusRule = std::make_unique<TTargetFocusRule>([this] { MemoSend->setFocus(); });

    wireSubsystems();

    TimerStart.setSingleShot(true);
    TimerStart.setInterval(50);
    connect(&TimerStart, &QTimer::timeout, this, &TFormMain::TimerStartTimer);
    TimerStartUdp.setSingleShot(true);
    TimerStartUdp.setInterval(1);
    connect(&TimerStartUdp, &QTimer::timeout, this, &TFormMain::TimerStartUdpTimer);
    TimerTray.setSingleShot(true);
    TimerTray.setInterval(4000);
    connect(&TimerTray, &QTimer::timeout, this, &TFormMain::TimerTrayTimer);

    FormCreate();
    TimerStart.start();
}

TFormMain::~TFormMain() {
    delete TrayIconMain;
}

void TFormMain::setDialogs(TFormOptions* options, TFormGroups* groupEditor, TFormKVInfo* about) {
    FOptions = options;
    FGroupEditor = groupEditor;
    FAbout = about;
}

void TFormMain::buildLayout(int fontSize) {
    QFont windowFont(UiFont::family());
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
    PanelSend->place(ComboBoxTarget, QRect(11, 14, 161, 22));
    BitBtnSendToAll = new QPushButton(Pictures::sendAllIcon(), QStringLiteral("An &alle"));
    BitBtnSendToAll->setObjectName(QStringLiteral("BitBtnSendToAll"));
    BitBtnSendToAll->setFocusPolicy(Qt::ClickFocus);
    PanelSend->place(BitBtnSendToAll, QRect(183, 10, 90, 29));
    MemoSend = new QPlainTextEdit;
    MemoSend->setObjectName(QStringLiteral("MemoSend"));
    MemoSend->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoSend->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoSend->setAcceptDrops(false);
    MemoSend->setTabChangesFocus(true);
    PanelSend->place(MemoSend, QRect(8, 49, 556, 155),
                     TDesignPanel::Left | TDesignPanel::Top | TDesignPanel::Right | TDesignPanel::Bottom);
    BitBtnTextbausteine = new QPushButton(QStringLiteral("&Textbausteine"));
    BitBtnTextbausteine->setObjectName(QStringLiteral("BitBtnTextbausteine"));
    BitBtnTextbausteine->setFocusPolicy(Qt::ClickFocus);
    PanelSend->place(BitBtnTextbausteine, QRect(451, 10, 113, 29), TDesignPanel::Top | TDesignPanel::Right);
    ComboBoxTarget->lineEdit()->setAcceptDrops(false);

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
    QFont small(UiFont::family());
    small.setPixelSize(11);
    LabelVersion->setFont(small);
    LabelVersion->setStyleSheet(QStringLiteral("color: silver; background: rgb(221,221,221);"));
    PanelBottom->place(LabelVersion, QRect(8, 22, 300, 14));
    BitBtnSend = new QPushButton(Pictures::sendIcon(), QStringLiteral("&Senden"));
    BitBtnSend->setObjectName(QStringLiteral("BitBtnSend"));
    BitBtnSend->setDefault(true);
    PanelBottom->place(BitBtnSend, QRect(363, 7, 97, 28));
    BitBtnHide = new QPushButton(QStringLiteral("S&chließen"));
    BitBtnHide->setObjectName(QStringLiteral("BitBtnHide"));
    PanelBottom->place(BitBtnHide, QRect(467, 7, 97, 28), TDesignPanel::Top | TDesignPanel::Right);

    StatusBarMain = new TStatusBarPro;
    StatusBarMain->setObjectName(QStringLiteral("StatusBarMain"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(PanelBottom);
    layout->addWidget(StatusBarMain);

    setTabOrder(BitBtnSend, ComboBoxTarget);
    setTabOrder(ComboBoxTarget, MemoSend);
    setTabOrder(MemoSend, BitBtnHide);

    // Set once all controls exist, so that every one of them inherits it.
    setFont(windowFont);

    PanelMsg->installEventFilter(this);
    PanelSend->installEventFilter(this);

    setMinimumWidth(440);
    resize(574, 411);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(574 / 2, 411 / 2));
    PanelMsg->hide();
    UpdateMinHeight();
}

void TFormMain::buildMenus() {
    auto action = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    PopupMenuTray = new QMenu(this);
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
    MenuItemGroups->setVisible(false);
    PopupMenuTray->addSeparator();
    Einstellungen1 = action(PopupMenuTray, "Einstellungen1", QStringLiteral("Einstellungen"));
    Anmelden1 = action(PopupMenuTray, "Anmelden1", QStringLiteral("Anmelden"));
    PopupMenuTray->addSeparator();
    Info1 = action(PopupMenuTray, "Info1", QStringLiteral("Info"));
    PopupMenuTray->addSeparator();
    Beenden1 = action(PopupMenuTray, "Beenden1", QStringLiteral("Beenden"));

    PopupMenuPanel = new QMenu(this);
    PopupMenuPanel->setObjectName(QStringLiteral("PopupMenuPanel"));
    EingegangeneNachrichten2 =
        action(PopupMenuPanel, "EingegangeneNachrichten2", QStringLiteral("Eingegangene Nachrichten"));
    PopupMenuPanel->addSeparator();
    Historyndern2 = action(PopupMenuPanel, "Historyndern2", QStringLiteral("History"));
    Historylschen1 = action(PopupMenuPanel, "Historylschen1", QStringLiteral("History löschen"));
    PopupMenuPanel->addSeparator();
    Einstellungen2 = action(PopupMenuPanel, "Einstellungen2", QStringLiteral("Einstellungen"));
    MenuItemLogin = action(PopupMenuPanel, "MenuItemLogin", QStringLiteral("Anmelden"));

    PopupMenuRE = new QMenu(this);
    PopupMenuRE->setObjectName(QStringLiteral("PopupMenuRE"));
    Kopieren1 = action(PopupMenuRE, "Kopieren1", QStringLiteral("Kopieren"));

    PopupMenuMemo = new QMenu(this);
    PopupMenuMemo->setObjectName(QStringLiteral("PopupMenuMemo"));
    MenuItem2 = action(PopupMenuMemo, "MenuItem2", QStringLiteral("Kopieren"));
    MenuItem3 = action(PopupMenuMemo, "MenuItem3", QStringLiteral("Einfügen"));

    auto popupOn = [](QWidget* widget, QMenu* menu) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, menu,
                [widget, menu](const QPoint& pos) { menu->popup(widget->mapToGlobal(pos)); });
    };
    popupOn(PanelSend, PopupMenuPanel);
    popupOn(PanelBottom, PopupMenuPanel);
    popupOn(RichEditMsg, PopupMenuRE);
    popupOn(MemoSend, PopupMenuMemo);

    connect(SendMessage1, &QAction::triggered, this, &TFormMain::SendMessage1Click);
    connect(PopupMenuTray, &QMenu::aboutToShow, this, &TFormMain::PopupMenuTrayPopup);
    connect(Einstellungen1, &QAction::triggered, this, &TFormMain::Einstellungen1Click);
    connect(Einstellungen2, &QAction::triggered, this, &TFormMain::Einstellungen2Click);
    connect(Info1, &QAction::triggered, this, &TFormMain::Info1Click);
    connect(Beenden1, &QAction::triggered, this, &TFormMain::Beenden1Click);
    connect(EingegangeneNachrichten1, &QAction::triggered, this, &TFormMain::EingegangeneNachrichten1Click);
    connect(EingegangeneNachrichten2, &QAction::triggered, this, &TFormMain::EingegangeneNachrichten1Click);
    connect(Kopieren1, &QAction::triggered, RichEditMsg, &QTextEdit::copy);
    connect(MenuItem2, &QAction::triggered, MemoSend, &QPlainTextEdit::copy);
    connect(MenuItem3, &QAction::triggered, MemoSend, &QPlainTextEdit::paste);
}

void TFormMain::wireSubsystems() {
    connect(FEndpoint.get(), &TUdpEndpoint::datagramReceived, FHandler.get(), &TDatagramHandler::HandleDatagram);
    connect(FHandler.get(), &TDatagramHandler::statusText, this, &TFormMain::setStatusText);
    connect(FPresence.get(), &TPresence::statusText, this, &TFormMain::setStatusText);
    FPresence->connectToHandler(*FHandler);
    connect(FHandler.get(), &TDatagramHandler::groupsReceived, this,
            [this](const QByteArray& payload) { FGroups->onGroupsReceived(payload); });
    connect(FHandler.get(), &TDatagramHandler::dataReceived, this,
            [this](const QByteArray& payload, const QByteArray& sender) {
                FReceiver->ShowReceivedMessage(payload, sender);
            });

    connect(FTargetList.get(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        for (int row = first; row <= last; ++row) {
            const QByteArray text = FTargetList->textAt(row);
            const TPalaveroRemoteData* data = FTargetList->find(text, Qt::CaseSensitive);
            qCDebug(lcTargets).noquote() << "target added:" << Ansi::toUnicode(text)
                                         << (data ? QString::fromLatin1(data->FIPAddress) : QString());
        }
    });
    connect(FTargetList.get(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row)
                    qCDebug(lcTargets).noquote() << "target removed:" << Ansi::toUnicode(FTargetList->textAt(row));
            });
    ComboBoxTarget->setTargetModel(FTargetList.get());

    connect(Anmelden1, &QAction::triggered, FPresence.get(), &TPresence::Anmelden1Click);
    connect(MenuItemLogin, &QAction::triggered, FPresence.get(), &TPresence::Anmelden1Click);
    connect(Historyndern1, &QAction::triggered, this, [this] { FLog->OpenHistory(); });
    connect(Historyndern2, &QAction::triggered, this, [this] { FLog->OpenHistory(); });
    connect(Einganglschen1, &QAction::triggered, this, [this] { FLog->ConfirmClearHistory(); });
    connect(Historylschen1, &QAction::triggered, this, [this] { FLog->ConfirmClearHistory(); });

    connect(BitBtnSend, &QPushButton::clicked, this, [this] { FSender->BitBtnSendClick(); });
    connect(BitBtnSendToAll, &QPushButton::clicked, this, [this] { FSender->BitBtnSendToAllClick(); });
    connect(Nachrichterneutsenden1, &QAction::triggered, this, [this] { FSender->Nachrichterneutsenden1Click(); });
    connect(MemoSend, &QPlainTextEdit::textChanged, this, [this] { FSender->MemoSendChange(); });
    connect(BitBtnHide, &QPushButton::clicked, this, &TFormMain::BitBtnHideClick);
    connect(ComboBoxTarget, &TTargetCombo::clicked, this, [this] { FFocusRule->ComboBoxTargetClick(); });
    connect(ComboBoxTarget, &TTargetCombo::keyPressed, this, [this] { FFocusRule->ComboBoxTargetKeyDown(); });
    connect(ComboBoxTarget, &TTargetCombo::selected, this, [this] { FFocusRule->ComboBoxTargetSelect(); });
    connect(RichEditMsg, &TRichEditURL::OnURLClick, this,
            [this](QObject*, const QString& url) { FPlatform.desktop->openUrl(LinkFinder::urlForOpening(url)); });
}

void TFormMain::FormCreate() {
    const QString version = GetVersionString(QString(), 2);
    LabelVersion->setText(QStringLiteral("Version ") + version + QStringLiteral(" (UDP Port ") +
                          QString::number(FPort) + QLatin1Char(')'));
    PanelBottom->resizePlaced(LabelVersion, LabelVersion->sizeHint());
    const QLocale locale = FPlatform.systemInfo->systemLocale();
    if (locale.language() == QLocale::German &&
        (locale.territory() == QLocale::Switzerland || locale.territory() == QLocale::Liechtenstein))
        BitBtnHide->setText(QStringLiteral("Schliessen"));
}

void TFormMain::TimerStartTimer() {
    TimerStart.stop();
    if (FPlatform.sessionMonitor)
        FPresence->attachSession(*FPlatform.sessionMonitor, *FPlatform.systemInfo);
    MemoSend->setFocus();
    // The window never shows itself at start; hiding a window that was never
    // shown raises no hide event, so the tray step of a hide runs here.
    if (isVisible())
        hide();
    else
        FormHide();
    if (FOptions)
        FOptions->LoadSettings();
    FPresence->AnnouncePresence(true);
    FDataDirectory = TDataDirectory::prepare(FPlatform.systemInfo->dataRoot(), FBoxes);
    FSnippetFile = FDataDirectory + QStringLiteral("/PalaveroTB.ini");
    FGroupsFile = FDataDirectory + QStringLiteral("/PalaveroGroups.ini");
    if (FGroupEditor)
        FGroupEditor->SetGroupsFile(FGroupsFile);
    FGroups->setGroupsFile(FGroupsFile);
    FGroups->RebuildTargetList();
    TFirewallStep::run(*FPlatform.firewall, FBoxes);
    TimerStartUdp.start();
    FPresence->startLonelinessTimer();
}

void TFormMain::TimerStartUdpTimer() {
    TimerStartUdp.stop();
    FPresence->TimerStartUdpTimer(FPort);
}

void TFormMain::Beenden1Click() {
    FClosing = true;
    FHandler->setClosing(true);
    close();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (FClosing) {
        FPresence->SendDisconnect();
        FEndpoint->close();
        delete TrayIconMain;
        TrayIconMain = nullptr;
        event->accept();
        Q_EMIT closing();
        return;
    }
    FState->FPendingText.clear();
    FReceiver->paneChanged();
    event->ignore();
    hide();
}

void TFormMain::WMShowRequest() {
    SendMessage1Click();
}

void TFormMain::applyView(bool messageView) {
    PanelMsg->setVisible(messageView);
    UpdateMinHeight();
}

void TFormMain::SendMessage1Click() {
    applyView(false);
    show();
    raise();
    activateWindow();
    MemoSend->setFocus();
}

void TFormMain::TrayIconMainClick() {
    FActivatedFromTray = true;
    if (isVisible()) {
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
    } else {
        applyView(false);
        show();
        MemoSend->setFocus();
    }
    if (!isActiveWindow()) {
        raise();
        activateWindow();
    }
}

void TFormMain::TrayIconMainDblClick() {
    FActivatedFromTray = true;
    SendMessage1Click();
}

void TFormMain::PopupMenuTrayPopup() {
    hide();
}

void TFormMain::BitBtnHideClick() {
    MemoSend->setFocus();
    hide();
    if (TrayIconMain)
        TrayIconMain->setVisible(true);
    FState->FPendingText.clear();
    FReceiver->paneChanged();
}

void TFormMain::TimerTrayTimer() {
    TimerTray.stop();
    bool ok = true;
    if (!TrayIconMain) {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            TrayIconMain = new QSystemTrayIcon(Pictures::appIcon());
            TrayIconMain->setObjectName(QStringLiteral("TrayIconMain"));
            TrayIconMain->setToolTip(AppTitle::current());
            TrayIconMain->setContextMenu(PopupMenuTray);
            connect(TrayIconMain, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::Trigger)
                    TrayIconMainClick();
                else if (r == QSystemTrayIcon::DoubleClick)
                    TrayIconMainDblClick();
            });
            connect(TrayIconMain, &QSystemTrayIcon::messageClicked, this, &TFormMain::TrayIconMainClick);
        } else {
            ok = false;
        }
    }
    if (ok) {
        TrayIconMain->setVisible(FShowTrayIcon);
        ok = TrayIconMain->isVisible() == FShowTrayIcon;
    }
    if (!ok) {
        delete TrayIconMain;
        TrayIconMain = nullptr;
        TimerTray.setInterval(2000);
        TimerTray.start();
    }
}

void TFormMain::Einstellungen1Click() {
    if (!FOptions)
        return;
    // OK writes the settings; re-registering the screen-saver hot key after OK
    // comes with the hot key itself.
    FOptions->exec();
}

void TFormMain::Einstellungen2Click() {
    if (isVisible()) {
        hide();
        QCoreApplication::processEvents();
    }
    Einstellungen1Click();
}

void TFormMain::Info1Click() {
    if (!FAbout)
        return;
    FAbout->ShowInfo();
}

void TFormMain::EingegangeneNachrichten1Click() {
    setPaneText(FState->FReceivedText);
    FReceiver->paneChanged();
    applyView(true);
    show();
    raise();
}

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormMain::FormShow() {
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    if (!hasFocus() && FActivatedFromTray) {
        FActivatedFromTray = false;
        raise();
        activateWindow();
    }
}

void TFormMain::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TFormMain::FormHide() {
    FShowTrayIcon = true;
    TimerTray.start();
}

void TFormMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const auto* e = static_cast<QWindowStateChangeEvent*>(event);
        if ((e->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
            TrayIconMainClick();
    }
}

void TFormMain::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        BitBtnSend->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void TFormMain::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    appendDroppedFiles(paths);
    event->acceptProposedAction();
}

void TFormMain::appendDroppedFiles(const QStringList& paths) {
    for (const QString& path : paths)
        MemoSend->appendPlainText(Ansi::toUnicode(Ansi::fromUnicode(path)));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == PanelMsg || watched == PanelSend) && event->type() == QEvent::Resize)
        UpdateMinHeight();
    return QWidget::eventFilter(watched, event);
}

int TFormMain::minimumOuterHeight() const {
    int h = PanelBottom->height() + PanelSend->minimumHeight() + StatusBarMain->height() + kFrameAllowance;
    if (PanelMsg->isVisibleTo(this))
        h += PanelMsg->height();
    return h;
}

void TFormMain::UpdateMinHeight() {
    const int frame = qMax(0, frameGeometry().height() - geometry().height());
    setMinimumHeight(qMax(0, minimumOuterHeight() - frame));
}

bool TFormMain::isMessageViewShown() const {
    return PanelMsg->isVisibleTo(this);
}

QString TFormMain::statusText() const {
    return StatusBarMain ? StatusBarMain->panelText(0) : QString();
}

// ISendView

QByteArray TFormMain::messageText() const {
    return Ansi::fromUnicode(editorText(MemoSend));
}

QByteArray TFormMain::recipientText() const {
    return Ansi::fromUnicode(ComboBoxTarget->currentText());
}

void TFormMain::focusEditor() {
    MemoSend->setFocus();
}

void TFormMain::setStatusText(const QString& text) {
    qCDebug(lcStatus).noquote() << text;
    if (StatusBarMain)
        StatusBarMain->setPanelText(0, text);
}

void TFormMain::clearEditor() {
    // Emptying the editor after a send keeps the status text of that send.
    const QSignalBlocker blocker(MemoSend);
    MemoSend->clear();
}

void TFormMain::hideToTray() {
    hide();
}

void TFormMain::setMessageText(const QByteArray& text) {
    QString t = Ansi::toUnicode(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    MemoSend->setPlainText(t);
}

void TFormMain::setRecipientText(const QByteArray& text) {
    ComboBoxTarget->setEditText(Ansi::toUnicode(text));
}

void TFormMain::showWindow() {
    show();
    raise();
    activateWindow();
}

// IReceiveView

void TFormMain::setPaneText(const QByteArray& all) {
    RichEditMsg->setAnsiText(all);
}

void TFormMain::appendPaneText(const QByteArray& added) {
    RichEditMsg->appendAnsiText(added);
}

void TFormMain::showMessageView() {
    if (isVisible() && !isActiveWindow())
        hide();
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    applyView(true);
    raise();
}

bool TFormMain::showBalloon(const QString& text) {
    if (!TrayIconMain)
        return false;
    TrayIconMain->showMessage(QString(), text, QSystemTrayIcon::Information, 5000);
    return true;
}
