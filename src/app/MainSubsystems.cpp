#include "app/MainSubsystems.h"

#include "app/DataDirectory.h"
#include "app/FormMainUi.h"
#include "app/ScreenSaverShortcut.h"
#include "app/TargetCombo.h"
#include "core/Ansi.h"
#include "groups/GroupDistribution.h"
#include "groups/GroupOps.h"
#include "messages/LinkFinder.h"
#include "messages/MessageLog.h"
#include "messages/MessageReceiver.h"
#include "messages/MessageSender.h"
#include "messages/MessageState.h"
#include "messages/RichEditURL.h"
#include "messages/TargetFocusRule.h"
#include "net/DatagramHandler.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/Platform.h"
#include "snippets/MainWindowSnippets.h"
#include "snippets/SnippetStore.h"

#include <QAction>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcTargets, "palavero.targets", QtInfoMsg)

TMainSubsystems::TMainSubsystems(const TContext& c) : FPlatform(c.platform), FSendView(c.sendView) {
    state = std::make_unique<TMessageState>();
    targetList = std::make_unique<TTargetList>(c.computerName);
    endpoint = std::make_unique<TUdpEndpoint>(*c.platform.networkInfo, c.boxes);
    // Every datagram goes to the program's port, also before the endpoint is configured on it.
    endpoint->setDestinationPort(c.port);
    handler = std::make_unique<TDatagramHandler>();
    presence = std::make_unique<TPresence>(c.computerName, c.userName, *endpoint, *targetList, c.boxes);
    presence->networkWatch().setChangeSource(c.platform.networkChanges.get());
    const auto sendDatagram = [this](const QByteArray& host, const QByteArray& text) {
        return endpoint->SendDatagram(host, text);
    };
    groups = std::make_unique<TGroupDistribution>(
        c.computerName, sendDatagram,
        [this](const QList<QByteArray>& entries) { targetList->replaceEntries(isGroupEntry, entries); },
        c.boxes);
    groups->setFailureReport([this](const QString& notice) { Q_EMIT noticeText(notice); });
    log = std::make_unique<TMessageLog>(
        c.settings, c.boxes, *c.platform.desktop,
        [this] { return TDataDirectory::pathFor(FPlatform.systemInfo->dataRoot()); }, *state);

    TSendServices services;
    services.computerName = c.computerName;
    services.snippetFile = c.snippetFile;
    services.addressOf = [this](const QByteArray& name) -> std::optional<QByteArray> {
        if (const TPalaveroRemoteData* data = targetList->find(name, Qt::CaseInsensitive))
            return data->FIPAddress;
        return std::nullopt;
    };
    services.isListedExact = [this](const QByteArray& name) {
        return targetList->find(name, Qt::CaseSensitive) != nullptr;
    };
    services.groupMembers = [this](const QByteArray& group) {
        return groupMembersText(groups->groupsFile(), group);
    };
    services.sendDatagram = sendDatagram;
    sender = std::make_unique<TMessageSender>(c.sendView, services, *log, c.boxes, *state);
    receiver = std::make_unique<TMessageReceiver>(c.receiveView, c.settings, *c.platform.sound, *log, *state);
    receiver->setLoadTest([this] { return endpoint->isFlooded(); });
    ISendView& view = c.sendView;
    focusRule = std::make_unique<TTargetFocusRule>([&view] { view.focusEditor(); });
    snippets = std::make_unique<TSnippetStore>();
    screenSaverShortcut =
        std::make_unique<TScreenSaverShortcut>(c.settings, *c.platform.globalHotKey, *c.platform.screenSaver);
}

TMainSubsystems::~TMainSubsystems() {
    FPlatform.sound->setUnavailableReport(nullptr);
}

void TMainSubsystems::wire(TFormMainUi& ui) {
    connect(endpoint.get(), &TUdpEndpoint::datagramReceived, handler.get(), &TDatagramHandler::HandleDatagram);
    connect(handler.get(), &TDatagramHandler::statusText, this, &TMainSubsystems::statusText);
    connect(presence.get(), &TPresence::statusText, this, &TMainSubsystems::statusText);
    // A missing audio output is said where the user looks, once.
    FPlatform.sound->setUnavailableReport([this](const QString& text) { Q_EMIT statusText(text); });
    presence->connectToHandler(*handler);
    connect(handler.get(), &TDatagramHandler::groupsReceived, this,
            [this](const QByteArray& payload) { groups->onGroupsReceived(payload); });
    connect(handler.get(), &TDatagramHandler::dataReceived, this,
            [this](const QByteArray& payload, const QByteArray& sender) {
                receiver->ShowReceivedMessage(payload, sender);
            });
    logTargetChanges();
    ui.ComboBoxTarget->setTargetModel(targetList.get());

    connect(ui.Anmelden1, &QAction::triggered, presence.get(), &TPresence::Anmelden1Click);
    connect(ui.MenuItemLogin, &QAction::triggered, presence.get(), &TPresence::Anmelden1Click);
    for (QAction* history : {ui.Historyndern1, ui.Historyndern2})
        connect(history, &QAction::triggered, this, [this] { log->OpenHistory(); });
    for (QAction* clear : {ui.Einganglschen1, ui.Historylschen1})
        connect(clear, &QAction::triggered, this, [this] { log->ConfirmClearHistory(); });

    connect(ui.BitBtnSend, &QPushButton::clicked, this, [this] { sender->BitBtnSendClick(); });
    connect(ui.BitBtnSendToAll, &QPushButton::clicked, this, [this] { sender->BitBtnSendToAllClick(); });
    connect(ui.Nachrichterneutsenden1, &QAction::triggered, this, [this] { sender->Nachrichterneutsenden1Click(); });
    connect(ui.MemoSend, &QPlainTextEdit::textChanged, this, [this] { sender->MemoSendChange(); });
    connect(ui.ComboBoxTarget, &TTargetCombo::clicked, this, [this] { focusRule->ComboBoxTargetClick(); });
    connect(ui.ComboBoxTarget, &TTargetCombo::keyPressed, this, [this] { focusRule->ComboBoxTargetKeyDown(); });
    connect(ui.ComboBoxTarget, &TTargetCombo::selected, this, [this] { focusRule->ComboBoxTargetSelect(); });
    connect(ui.RichEditMsg, &TRichEditURL::OnURLClick, this,
            [this](QObject*, const QString& url) { FPlatform.desktop->openUrl(LinkFinder::urlForOpening(url)); });

    snippetHooks = std::make_unique<TMainWindowSnippets>(
        *snippets, TMainWindowSnippets::TWindow{ui.MemoSend, [this] { FSendView.hideToTray(); },
                                                [this] { FSendView.showWindow(); }});
    connect(ui.extbausteine1, &QAction::triggered, snippetHooks.get(), &TMainWindowSnippets::extbausteine1Click);
    connect(ui.BitBtnTextbausteine, &QPushButton::clicked, snippetHooks.get(),
            &TMainWindowSnippets::BitBtnTextbausteineClick);
}

// Additions to and removals from the target list go to the logging category
// palavero.targets.
void TMainSubsystems::logTargetChanges() {
    connect(targetList.get(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        for (int row = first; row <= last; ++row) {
            const QByteArray text = targetList->textAt(row);
            const TPalaveroRemoteData* data = targetList->find(text, Qt::CaseSensitive);
            qCDebug(lcTargets).noquote() << "target added:" << Ansi::toUnicode(text)
                                         << (data ? QString::fromLatin1(data->FIPAddress) : QString());
        }
    });
    connect(targetList.get(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row)
                    qCDebug(lcTargets).noquote() << "target removed:" << Ansi::toUnicode(targetList->textAt(row));
            });
}
