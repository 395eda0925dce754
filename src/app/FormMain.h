#pragma once

#include "app/CommandLine.h"
#include "app/FormMainUi.h"
#include "messages/MessageReceiver.h"
#include "messages/MessageSender.h"
#include "settings/LiveSettings.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class IMessageBoxes;
class QSystemTrayIcon;
class TDatagramHandler;
class TFormGroups;
class TFormKVInfo;
class TFormOptions;
class TFormTextbausteine;
class TGroupDistribution;
class TLiveSettingsRef;
class TMainSubsystems;
class TMessageLog;
class TPresence;
class TSnippetStore;
class TTargetList;
class TTrayViews;
class TUdpEndpoint;
struct TMessageState;
struct TPlatform;

// The program's main window. It owns the subsystems and wires them together;
// the logic lives in the subsystems, the layout in TFormMainUi, the views and
// the tray in TTrayViews. The window shows state and forwards.
class TFormMain : public QWidget, public TFormMainUi, public ISendView, public IReceiveView {
    Q_OBJECT
public:
    TFormMain(TPlatform& platform, IMessageBoxes& boxes, const TCommandLine& commandLine, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The dialogs created after the main window (they live for the run).
    // The group editor and the about box are asked for when first needed; the
    // functions build them then (and return the same window afterwards).
    void setDialogs(TFormOptions* options, std::function<TFormGroups*()> groupEditor,
                    std::function<TFormKVInfo*()> about);
    // Instead of a dialog made beforehand: the options dialog is built by the
    // function when it is first opened. Until then the settings read at start
    // are the live settings; the dialog's controls take them over when it is built.
    void setOptionsBuilder(std::function<TFormOptions*()> build);
    // The live snippets, and their editor (created after the main window, with it as parent).
    TSnippetStore& snippetStore();
    void setSnippetEditor(std::function<TFormTextbausteine*()> editor);

    // Start-up and exit.
    void TimerStartTimer();
    void TimerStartUdpTimer();
    void Beenden1Click();
    void WMShowRequest();

    // Views and tray.
    void SendMessage1Click();
    void TrayIconMainClick();
    void TrayIconMainDblClick();
    void PopupMenuTrayPopup();
    // F10: the tray menu at the window's top left.
    void MenuKeyPressed();
    void BitBtnHideClick();
    void TimerTrayTimer();
    void Einstellungen1Click();
    void Einstellungen2Click();
    // The screen-saver hot key from the live settings (at start and after OK in "Einstellungen").
    void RegisterScreenSaverHotKey();
    void Info1Click();
    void MenuItemGroupsClick();
    void EingegangeneNachrichten1Click();
    void UpdateMinHeight();
    void appendDroppedFiles(const QStringList& paths);

    // ISendView
    QByteArray messageText() const override;
    QByteArray recipientText() const override;
    void focusEditor() override;
    void setStatusText(const QString& text) override;
    void clearEditor() override;
    void hideToTray() override;
    void setMessageText(const QByteArray& text) override;
    void setRecipientText(const QByteArray& text) override;
    void showWindow() override;
    // IReceiveView
    bool hasDraft() const override;
    void setPaneText(const QByteArray& all) override;
    void appendPaneText(const QByteArray& added) override;
    bool replacePaneHead(const QByteArray& oldHead, const QByteArray& newHead) override;
    void showMessageView() override;
    bool showBalloon(const QString& title, const QString& firstLine) override;

    // Reached by tests.
    QString statusText() const;
    quint16 port() const { return FPort; }
    const QByteArray& computerName() const { return FComputerName; }
    TTargetList& targetList();
    TUdpEndpoint& endpoint();
    TDatagramHandler& datagramHandler();
    TPresence& presence();
    TMessageState& messageState();
    TMessageLog& messageLog();
    TMessageSender& messageSender();
    TMessageReceiver& messageReceiver();
    TGroupDistribution& groups();
    QSystemTrayIcon* trayIcon() const;
    QTimer& trayTimer();
    QString dataDirectory() const { return FDataDirectory; }
    QString groupsFile() const { return FGroupsFile; }
    QString snippetFile() const { return FSnippetFile; }

Q_SIGNALS:
    void closing(); // the program is ending ("Beenden")

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectControls();
    void FormCreate();

    TPlatform& FPlatform;
    IMessageBoxes& FBoxes;
    QPointer<TFormOptions> FOptions;
    std::function<TFormOptions*()> FBuildOptions;
    TSettingsValues FStartSettings; // the live settings while the dialog is not built
    TFormOptions* optionsDialog();
    std::function<TFormGroups*()> FGroupEditor;
    std::function<TFormKVInfo*()> FAbout;
    std::unique_ptr<TLiveSettingsRef> FSettings;

    // Main-window state.
    bool FClosing = false;
    bool FMenuByKey = false; // the tray menu is being opened by F10
    quint16 FPort = 3030;
    QString FSnippetFile;
    QString FGroupsFile;
    QString FDataDirectory;
    QByteArray FComputerName;
    QString FUserName;

    std::unique_ptr<TTrayViews> FViews;
    std::unique_ptr<TMainSubsystems> FSubsystems;
};
