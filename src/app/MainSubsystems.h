#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ILiveSettings;
class IMessageBoxes;
class IReceiveView;
class ISendView;
class TDatagramHandler;
class TFormMainUi;
class TGroupDistribution;
class TMessageLog;
class TMessageReceiver;
class TMessageSender;
class TMainWindowSnippets;
class TSnippetStore;
class TPresence;
class TScreenSaverShortcut;
class TTargetFocusRule;
class TTargetList;
class TUdpEndpoint;
struct TMessageState;
struct TPlatform;

// The subsystems behind the main window, created and connected in one place:
// the target list, the UDP endpoint with the datagram dispatch, presence, the
// groups, the log, sending and receiving. The main window owns one of these
// and shows what they report.
class TMainSubsystems : public QObject {
    Q_OBJECT
public:
    struct TContext {
        TPlatform& platform;
        IMessageBoxes& boxes;
        const ILiveSettings& settings;
        QByteArray computerName;
        QString userName;
        quint16 port;
        ISendView& sendView;
        IReceiveView& receiveView;
        std::function<QString()> snippetFile;
    };

    explicit TMainSubsystems(const TContext& context);
    ~TMainSubsystems() override;

    // Connects the datagram path, the status texts and the controls and menu
    // items that act on a subsystem.
    void wire(TFormMainUi& ui);

    std::unique_ptr<TMessageState> state;
    std::unique_ptr<TTargetList> targetList;
    std::unique_ptr<TUdpEndpoint> endpoint;
    std::unique_ptr<TDatagramHandler> handler;
    std::unique_ptr<TPresence> presence;
    std::unique_ptr<TGroupDistribution> groups;
    std::unique_ptr<TMessageLog> log;
    std::unique_ptr<TMessageSender> sender;
    std::unique_ptr<TMessageReceiver> receiver;
    std::unique_ptr<TTargetFocusRule> focusRule;
    std::unique_ptr<TSnippetStore> snippets;
    std::unique_ptr<TMainWindowSnippets> snippetHooks; // made by wire()
    std::unique_ptr<TScreenSaverShortcut> screenSaverShortcut;

Q_SIGNALS:
    void statusText(const QString& text);
    // A lasting notice for the status bar's second panel; the empty text ends it.
    void noticeText(const QString& text);

private:
    void logTargetChanges();

    TPlatform& FPlatform;
    ISendView& FSendView;
};
