#pragma once

#include "app/CommandLine.h"
#include "messages/MessageReceiver.h"
#include "messages/MessageSender.h"
#include "settings/LiveSettings.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class IMessageBoxes;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QSystemTrayIcon;
class TDatagramHandler;
class TDesignPanel;
class TFormGroups;
class TFormKVInfo;
class TFormOptions;
class TGroupDistribution;
class TMessageLog;
class TMessageReceiver;
class TMessageSender;
class TPresence;
class TRichEditURL;
class TStatusBarPro;
class TTargetCombo;
class TTargetFocusRule;
class TTargetList;
class TUdpEndpoint;
struct TMessageState;
struct TPlatform;

// The program's main window. It owns the subsystems and wires them together;
// the logic lives in the subsystems, the window shows state and forwards.
class TFormMain : public QWidget, public ISendView, public IReceiveView {
    Q_OBJECT
public:
    TFormMain(TPlatform& platform, IMessageBoxes& boxes, const TCommandLine& commandLine, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The dialogs created after the main window (they live for the run).
    void setDialogs(TFormOptions* options, TFormGroups* groupEditor, TFormKVInfo* about);

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
    void BitBtnHideClick();
    void TimerTrayTimer();
    void Einstellungen1Click();
    void Einstellungen2Click();
    void Info1Click();
    void EingegangeneNachrichten1Click();
    void UpdateMinHeight();
    int minimumOuterHeight() const;
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
    void setPaneText(const QByteArray& all) override;
    void appendPaneText(const QByteArray& added) override;
    void showMessageView() override;
    bool showBalloon(const QString& text) override;

    // Reached by tests.
    bool isMessageViewShown() const;
    QString statusText() const;
    quint16 port() const { return FPort; }
    const QByteArray& computerName() const { return FComputerName; }
    TTargetList& targetList() { return *FTargetList; }
    TUdpEndpoint& endpoint() { return *FEndpoint; }
    TDatagramHandler& datagramHandler() { return *FHandler; }
    TPresence& presence() { return *FPresence; }
    TMessageState& messageState() { return *FState; }
    TMessageLog& messageLog() { return *FLog; }
    TMessageSender& messageSender() { return *FSender; }
    TMessageReceiver& messageReceiver() { return *FReceiver; }
    TGroupDistribution& groups() { return *FGroups; }
    QSystemTrayIcon* trayIcon() const { return TrayIconMain; }
    QTimer& trayTimer() { return TimerTray; }
    QString dataDirectory() const { return FDataDirectory; }
    QString groupsFile() const { return FGroupsFile; }
    QString snippetFile() const { return FSnippetFile; }

    // Designed controls.
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
    QTimer TimerTray;

Q_SIGNALS:
    void closing(); // the program is ending ("Beenden")

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TSettingsProxy;

    void buildLayout(int fontSize);
    void buildMenus();
    void wireSubsystems();
    void FormCreate();
    void FormShow();
    void FormHide();
    void applyView(bool messageView);

    TPlatform& FPlatform;
    IMessageBoxes& FBoxes;
    std::unique_ptr<TSettingsProxy> FSettings;
    QPointer<TFormOptions> FOptions;
    QPointer<TFormGroups> FGroupEditor;
    QPointer<TFormKVInfo> FAbout;

    // Main-window state.
    QSystemTrayIcon* TrayIconMain = nullptr;
    bool FClosing = false;
    bool FShowTrayIcon = true;
    bool FActivatedFromTray = false;
    quint16 FPort = 3030;
    QString FSnippetFile;
    QString FGroupsFile;
    QString FDataDirectory;
    QByteArray FComputerName;
    QString FUserName;

    std::unique_ptr<TTargetList> FTargetList;
    std::unique_ptr<TUdpEndpoint> FEndpoint;
    std::unique_ptr<TDatagramHandler> FHandler;
    std::unique_ptr<TPresence> FPresence;
    std::unique_ptr<TGroupDistribution> FGroups;
    std::unique_ptr<TMessageState> FState;
    std::unique_ptr<TMessageLog> FLog;
    std::unique_ptr<TMessageSender> FSender;
    std::unique_ptr<TMessageReceiver> FReceiver;
    std::unique_ptr<TTargetFocusRule> FFocusRule;
};
