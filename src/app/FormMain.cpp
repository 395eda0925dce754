#include "app/FormMain.h"
#include "settings/SettingsStore.h"

#include "app/DataDirectory.h"
#include "app/DesignPanel.h"
#include "app/FirewallStep.h"
#include "app/MainSubsystems.h"
#include "app/ScreenSaverShortcut.h"
#include "app/StatusBarPro.h"
#include "app/TargetCombo.h"
#include "app/TrayViews.h"
#include "core/Ansi.h"
#include "core/SwissGerman.h"
#include "core/Timestamp.h"
#include "groups/FormGroups.h"
#include "groups/GroupDistribution.h"
#include "info/FormKVInfo.h"
#include "info/VersionInfo.h"
#include "messages/MessageState.h"
#include "messages/RichEditURL.h"
#include "net/Datagram.h"
#include "net/DatagramHandler.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/Platform.h"
#include "settings/FormOptions.h"
#include "settings/LiveSettings.h"
#include "snippets/MainWindowSnippets.h"
#include "snippets/SnippetStore.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

Q_LOGGING_CATEGORY(lcStatus, "palavero.status", QtInfoMsg)

namespace {

// The main window is a window to screen readers (a frame), not a filler: as a
// plain widget it would get the role of a window's inner area.
QAccessibleInterface* accessibleMainWindow(const QString& className, QObject* object) {
    if (className != QLatin1String("TFormMain"))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

QString editorText(const QPlainTextEdit* edit) {
    // The raw text: toPlainText() would turn a no-break space into a blank.
    QString t = edit->document()->toRawText();
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    t.replace(QChar::LineSeparator, QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

} // namespace

TFormMain::TFormMain(TPlatform& platform, IMessageBoxes& boxes, const TCommandLine& commandLine, QWidget* parent)
    : QWidget(parent), FPlatform(platform), FBoxes(boxes) {
    setObjectName(QStringLiteral("FormMain"));
    QAccessible::installFactory(accessibleMainWindow);
    setWindowTitle(QStringLiteral("Palavero Lite"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAcceptDrops(true);

    FComputerName = Ansi::fromUnicode(platform.systemInfo->computerName());
    FUserName = platform.systemInfo->userName();
    FPort = commandLine.udpPort();
    // The live settings are the options dialog's controls; until it exists the
    // settings read at start (or, without a way to build it, the defaults).
    FSettings = std::make_unique<TLiveSettingsRef>([this]() -> const ILiveSettings* {
        if (FOptions)
            return FOptions.data();
        return FBuildOptions ? &FStartSettings : nullptr;
    });

    setupUi(this, commandLine.fontSize);
    // The longest status texts: the largest datagram received in any month
    // (the date may name it), the sender's and the logout text.
    QStringList widest = TMessageSender::StatusTexts() << TPresence::LogoutStatusText();
    for (int month = 1; month <= 12; ++month)
        widest << TDatagramHandler::ReceivedStatusText(
            Datagram::kBufferSize, Timestamp::text(QDateTime(QDate(2088, month, 28), QTime(20, 58, 58))));
    StatusBarMain->setFirstPanelTexts(widest);
    FViews = std::make_unique<TTrayViews>(*this, *this, platform.notifications.get());
    FViews->UpdateMinHeight();
    FSubsystems = std::make_unique<TMainSubsystems>(TMainSubsystems::TContext{
        platform, boxes, *FSettings, FComputerName, FUserName, FPort, *this, *this, [this] { return FSnippetFile; }});
    FSubsystems->wire(*this);
    connectControls();

    FormCreate();
}

TFormMain::~TFormMain() {
    FSubsystems->screenSaverShortcut->UnregisterScreenSaverHotKey();
}

void TFormMain::setDialogs(TFormOptions* options, std::function<TFormGroups*()> groupEditor,
                           std::function<TFormKVInfo*()> about) {
    FOptions = options;
    FGroupEditor = std::move(groupEditor);
    FAbout = std::move(about);
}

TSnippetStore& TFormMain::snippetStore() {
    return *FSubsystems->snippets;
}

void TFormMain::setOptionsBuilder(std::function<TFormOptions*()> build) {
    FBuildOptions = std::move(build);
}

TFormOptions* TFormMain::optionsDialog() {
    if (!FOptions && FBuildOptions) {
        FOptions = FBuildOptions();
        if (FOptions)
            FOptions->setValues(FStartSettings);
    }
    return FOptions;
}

void TFormMain::setSnippetEditor(std::function<TFormTextbausteine*()> editor) {
    FSubsystems->snippetHooks->setEditor(std::move(editor));
}

void TFormMain::connectControls() {
    connect(FSubsystems.get(), &TMainSubsystems::statusText, this, &TFormMain::setStatusText);
    connect(FSubsystems.get(), &TMainSubsystems::noticeText, this, [this](const QString& text) {
        qCDebug(lcStatus).noquote() << "notice:" << text;
        StatusBarMain->setPanelText(1, text);
    });
    connect(&TimerStart, &QTimer::timeout, this, &TFormMain::TimerStartTimer);
    connect(&TimerStartUdp, &QTimer::timeout, this, &TFormMain::TimerStartUdpTimer);
    connect(SendMessage1, &QAction::triggered, this, &TFormMain::SendMessage1Click);
    connect(PopupMenuTray, &QMenu::aboutToShow, this, [this] {
        if (!FMenuByKey)
            PopupMenuTrayPopup();
    });
    // F10, the desktop's key for a window's menu: the tray menu, so that every
    // command can be reached by keyboard (and without a tray).
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(Qt::Key_F10);
    addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, &TFormMain::MenuKeyPressed);
    connect(Einstellungen1, &QAction::triggered, this, &TFormMain::Einstellungen1Click);
    connect(Einstellungen2, &QAction::triggered, this, &TFormMain::Einstellungen2Click);
    connect(Info1, &QAction::triggered, this, &TFormMain::Info1Click);
    connect(MenuItemGroups, &QAction::triggered, this, &TFormMain::MenuItemGroupsClick);
    connect(Beenden1, &QAction::triggered, this, &TFormMain::Beenden1Click);
    connect(EingegangeneNachrichten1, &QAction::triggered, this, &TFormMain::EingegangeneNachrichten1Click);
    connect(EingegangeneNachrichten2, &QAction::triggered, this, &TFormMain::EingegangeneNachrichten1Click);
    connect(BitBtnHide, &QPushButton::clicked, this, &TFormMain::BitBtnHideClick);
    PanelMsg->installEventFilter(this);
    PanelSend->installEventFilter(this);
}

void TFormMain::FormCreate() {
    const QString version = GetVersionString(QString(), 2);
    LabelVersion->setText(QStringLiteral("Version ") + version + QStringLiteral(" (UDP Port ") +
                          QString::number(FPort) + QLatin1Char(')'));
    if (isSwissGerman(FPlatform.systemInfo->systemLocale()))
        BitBtnHide->setText(QStringLiteral("Schliessen"));
}

void TFormMain::TimerStartTimer() {
    TimerStart.stop();
    if (FPlatform.sessionMonitor)
        presence().attachSession(*FPlatform.sessionMonitor, *FPlatform.systemInfo);
    MemoSend->setFocus();
    // The window never shows itself at start; hiding a window that was never
    // shown raises no hide event, so the tray step of a hide runs here.
    if (isVisible())
        hide();
    else
        FViews->FormHide();
    if (FOptions)
        FOptions->LoadSettings();
    else if (FBuildOptions)
        TSettingsStore().load(FStartSettings);
    presence().AnnouncePresence(true);
    RegisterScreenSaverHotKey();
    FDataDirectory = TDataDirectory::prepare(FPlatform.systemInfo->dataRoot(), FBoxes);
    FSnippetFile = FDataDirectory + QStringLiteral("/PalaveroTB.ini");
    FGroupsFile = FDataDirectory + QStringLiteral("/PalaveroGroups.ini");
    groups().setGroupsFile(FGroupsFile);
    groups().RebuildTargetList();
    snippetStore().setSnippetFile(FSnippetFile);
    snippetStore().LoadSnippetFile();
    TFirewallStep::run(*FPlatform.firewall, FBoxes);
    TimerStartUdp.start();
    presence().startLonelinessTimer();
}

void TFormMain::TimerStartUdpTimer() {
    TimerStartUdp.stop();
    presence().TimerStartUdpTimer(FPort);
}

void TFormMain::Beenden1Click() {
    FClosing = true;
    datagramHandler().setClosing(true);
    close();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (FClosing) {
        presence().SendDisconnect();
        endpoint().close();
        FViews->removeTrayIcon();
        event->accept();
        Q_EMIT closing();
        return;
    }
    messageState().FPendingText.clear();
    messageReceiver().paneChanged();
    event->ignore();
    hide();
}

void TFormMain::WMShowRequest() {
    SendMessage1Click();
}

void TFormMain::SendMessage1Click() {
    FViews->SendMessage1Click();
}

void TFormMain::TrayIconMainClick() {
    FViews->TrayIconMainClick();
}

void TFormMain::TrayIconMainDblClick() {
    FViews->TrayIconMainDblClick();
}

void TFormMain::PopupMenuTrayPopup() {
    FViews->PopupMenuTrayPopup();
}

void TFormMain::MenuKeyPressed() {
    // Opened from the window, the menu leaves it shown.
    const QScopedValueRollback byKey(FMenuByKey, true);
    PopupMenuTray->popup(mapToGlobal(QPoint(0, 0)));
}

void TFormMain::BitBtnHideClick() {
    FViews->hideToTray();
    messageState().FPendingText.clear();
    messageReceiver().paneChanged();
}

void TFormMain::TimerTrayTimer() {
    FViews->TimerTrayTimer();
}

void TFormMain::Einstellungen1Click() {
    TFormOptions* options = optionsDialog();
    if (!options)
        return;
    if (options->exec() == QDialog::Accepted)
        RegisterScreenSaverHotKey();
}

void TFormMain::RegisterScreenSaverHotKey() {
    FSubsystems->screenSaverShortcut->RegisterScreenSaverHotKey();
}

void TFormMain::Einstellungen2Click() {
    if (isVisible()) {
        hide();
        QCoreApplication::processEvents();
    }
    Einstellungen1Click();
}

void TFormMain::Info1Click() {
    if (TFormKVInfo* about = FAbout ? FAbout() : nullptr)
        about->ShowInfo();
}

void TFormMain::MenuItemGroupsClick() {
    TFormGroups* editor = FGroupEditor ? FGroupEditor() : nullptr;
    if (!editor)
        return;
    editor->SetGroupsFile(FGroupsFile);
    editor->MenuItemGroupsClick(groups(), targetList().texts());
}

void TFormMain::EingegangeneNachrichten1Click() {
    setPaneText(messageState().FReceivedText);
    messageReceiver().paneChanged();
    FViews->showMessages();
}

void TFormMain::UpdateMinHeight() {
    FViews->UpdateMinHeight();
}

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FViews->FormShow();
}

void TFormMain::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FViews->FormHide();
}

void TFormMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const auto* e = static_cast<QWindowStateChangeEvent*>(event);
        // Only the user's restore (through the window manager) counts; the
        // program's own restore, e.g. for a received message, does not activate.
        if (event->spontaneous() && (e->oldState() & Qt::WindowMinimized) &&
            !(windowState() & Qt::WindowMinimized))
            FViews->restoredFromMinimized();
    }
}

void TFormMain::keyPressEvent(QKeyEvent* event) {
    // A Return that no control took (focused buttons and the message pane take
    // their own): the window's default button. The keypad's Enter counts too.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        BitBtnSend->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

namespace {

// Dropped files are copied, never moved: a source that proposed a move (and
// would delete its file) is told that the drop took a copy. A drag that offers
// no copy, or no local file, is refused.
bool acceptAsCopy(QDropEvent* event) {
    if (!(event->possibleActions() & Qt::CopyAction) || !event->mimeData()->hasUrls())
        return false;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::none_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    acceptAsCopy(event);
}

void TFormMain::dragMoveEvent(QDragMoveEvent* event) {
    acceptAsCopy(event);
}

void TFormMain::dropEvent(QDropEvent* event) {
    if (!acceptAsCopy(event))
        return;
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    appendDroppedFiles(paths);
}

void TFormMain::appendDroppedFiles(const QStringList& paths) {
    // Each path on a line of its own after the text there; a text that ends
    // with a line break gets no empty line.
    QTextCursor cursor(MemoSend->document());
    cursor.movePosition(QTextCursor::End);
    for (const QString& path : paths) {
        if (cursor.block().length() > 1) // the last line holds text
            cursor.insertBlock();
        cursor.insertText(Ansi::toUnicode(Ansi::fromUnicode(path)));
    }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == PanelMsg || watched == PanelSend) && event->type() == QEvent::Resize)
        FViews->UpdateMinHeight();
    return QWidget::eventFilter(watched, event);
}

// Subsystems, for tests.

TTargetList& TFormMain::targetList() { return *FSubsystems->targetList; }
TUdpEndpoint& TFormMain::endpoint() { return *FSubsystems->endpoint; }
TDatagramHandler& TFormMain::datagramHandler() { return *FSubsystems->handler; }
TPresence& TFormMain::presence() { return *FSubsystems->presence; }
TMessageState& TFormMain::messageState() { return *FSubsystems->state; }
TMessageLog& TFormMain::messageLog() { return *FSubsystems->log; }
TMessageSender& TFormMain::messageSender() { return *FSubsystems->sender; }
TMessageReceiver& TFormMain::messageReceiver() { return *FSubsystems->receiver; }
TGroupDistribution& TFormMain::groups() { return *FSubsystems->groups; }
QSystemTrayIcon* TFormMain::trayIcon() const { return FViews->trayIcon(); }
QTimer& TFormMain::trayTimer() { return FViews->trayTimer(); }

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
    FViews->showWindow();
}

// IReceiveView

bool TFormMain::hasDraft() const {
    return !MemoSend->document()->isEmpty();
}

void TFormMain::setPaneText(const QByteArray& all) {
    RichEditMsg->setAnsiText(all);
}

void TFormMain::appendPaneText(const QByteArray& added) {
    const qsizetype start = RichEditMsg->shownText().size();
    RichEditMsg->appendAnsiText(added);
    RichEditMsg->revealFrom(start);
}

bool TFormMain::replacePaneHead(const QByteArray& oldHead, const QByteArray& newHead) {
    return RichEditMsg->replaceAnsiHead(oldHead, newHead);
}

void TFormMain::showMessageView() {
    FViews->showMessageView();
}

bool TFormMain::showBalloon(const QString& title, const QString& firstLine) {
    return FViews->showBalloon(title, firstLine);
}
