#include "common/Fakes.h"
#include "common/TestMain.h"

#include "app/DesignPanel.h"
#include "app/DisplayPlatform.h"
#include "app/FocusFrameStyle.h"
#include "app/VisualStyle.h"
#include "app/FormMain.h"
#include "app/StatusBarPro.h"
#include "app/TargetCombo.h"
#include "info/Pictures.h"
#include "messages/MessageReceiver.h"
#include "messages/MessageState.h"
#include "messages/RichEditURL.h"
#include "net/DatagramHandler.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/Platform.h"
#include "settings/FormOptions.h"
#include "settings/HotKeyEdit.h"
#include "settings/SettingsStore.h"
#include "snippets/FormTextbausteine.h"
#include "snippets/SnippetStore.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAbstractItemView>
#include <QCompleter>
#include <QIdentityProxyModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QSplitter>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

quint16 freePort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// Relative luminance of a colour as WCAG defines it.
double luminance(const QColor& c) {
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A main window on fake platform services, on loopback and a free port.
struct Fixture {
    TFakeMessageBoxes boxes;
    TPlatform platform;
    TFakeSystemInfo* system;
    std::unique_ptr<TFormMain> form;

    explicit Fixture(const QLocale& locale = QLocale(QLocale::German, QLocale::Germany), int fontSize = 9) {
        auto sys = std::make_unique<TFakeSystemInfo>();
        sys->root = TestSupport::userRoot() + QStringLiteral("/data");
        sys->locale = locale;
        system = sys.get();
        auto net = std::make_unique<TFakeNetworkInfo>();
        net->addresses = {{TIpAddress::localhost(), 8}};
        platform.systemInfo = std::move(sys);
        platform.networkInfo = std::move(net);
        platform.sessionMonitor = std::make_unique<TFakeSessionMonitor>();
        platform.firewall = std::make_unique<TFakeFirewall>();
        platform.desktop = std::make_unique<TFakeDesktop>();
        platform.autostart = std::make_unique<TFakeAutostart>();
        platform.sound = std::make_unique<TFakeSound>();
        platform.globalHotKey = std::make_unique<TFakeGlobalHotKey>();
        platform.screenSaver = std::make_unique<TFakeScreenSaver>();
        TCommandLine cl;
        cl.port = freePort();
        cl.fontSize = fontSize;
        form = std::make_unique<TFormMain>(platform, boxes, cl);
    }
    ~Fixture() {
        if (form)
            form->endpoint().close();
    }
    // The window in the message view (the pane shown), active, with the focus
    // in `control`; null when that cannot be had.
    QWidget* focusInMessageView(const QString& control) {
        form->EingegangeneNachrichten1Click();
        form->activateWindow();
        auto* target = form->findChild<QWidget*>(control);
        if (!target || !QTest::qWaitForWindowActive(form.get()))
            return nullptr;
        target->setFocus(Qt::TabFocusReason);
        return QTest::qWaitFor([target] { return target->hasFocus(); }) ? target : nullptr;
    }
    void startUp() {
        form->TimerStart.stop();
        form->TimerStartTimer();
        form->TimerStartUdp.stop();
        form->TimerStartUdpTimer();
    }
};

// The target list as the recipient box sees it, counting the rows it reads.
class TCountingModel : public QIdentityProxyModel {
public:
    mutable int reads = 0;
    QVariant data(const QModelIndex& index, int role) const override {
        ++reads;
        return QIdentityProxyModel::data(index, role);
    }
};

// Types into the focused box in an active window, key by key, as a user does.
void typeInto(QComboBox& box, const QString& text) {
    box.show();
    QApplication::setActiveWindow(&box);
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.setFocus();
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box.lineEdit(), Qt::Key_unknown, c, Qt::NoModifier);
}

QStringList captions(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isVisible() ? QString() : QStringLiteral(" (hidden)")));
    return out;
}

// Answers `dialog` the next time it is shown: `answer` runs once its modal loop is running.
void answerWhenShown(QDialog& dialog, std::function<void()> answer) {
    struct TAnswer : QObject {
        std::function<void()> answer;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                watched->removeEventFilter(this);
                QMetaObject::invokeMethod(watched, answer, Qt::QueuedConnection);
                deleteLater();
            }
            return false;
        }
    };
    auto* filter = new TAnswer;
    filter->answer = std::move(answer);
    dialog.installEventFilter(filter);
}

} // namespace

class TestFormMain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initialState();
    void fontSizeFromCommandLine_data();
    void fontSizeFromCommandLine();
    void hideButtonCaptionForSwissGerman_data();
    void hideButtonCaptionForSwissGerman();
    void startUpHidesAndPreparesData();
    void startUpLoadsSnippetsForF3();
    void viewTransitions();
    void closeBoxOnlyHides();
    void withoutTrayTheWindowShows();
    void menuKeyOpensTheTrayMenu_data();
    void menuKeyOpensTheTrayMenu();
    void minimumHeightRule();
    void menus();
    void droppedFilesAppendLines_data();
    void droppedFilesAppendLines();
    void editorKeepsNoBreakSpace();
    void dropIsCopy_data();
    void dropIsCopy();
    void enterGoesToTheFocusedControl_data();
    void enterGoesToTheFocusedControl();
    void receivedMessageShowsMessageView();
    void missingSoundSaidInTheStatusBar();
    void targetTextSurvivesNewPeers();
    void recipientChoiceFocus_data();
    void recipientChoiceFocus();
    void downFromEmptyRecipientBox_data();
    void downFromEmptyRecipientBox();
    void accessibleNames_data();
    void accessibleNames();
    void recipientCompletion_data();
    void recipientCompletion();
    void recipientCompletionLeavesDeletingAlone();
    void recipientBoxStaysPutWhilePeersJoin();
    void recipientBoxReadsNoRowsOnInsert();
    void screenSaverHotKeyFollowsTheOptionsDialog();
    void optionsDialogBuiltWhenFirstOpened();
    void versionLineReadable();
    void focusedButtonShowsFrame_data();
    void focusedButtonShowsFrame();
    void noTextClippedAtAnyFontSize_data();
    void noTextClippedAtAnyFontSize();
    void snippetEditorGivesTheFocusBackToTheEditor();
    void statusTextsFitTheirPanel_data();
    void statusTextsFitTheirPanel();
    void styleSheetSetWhenFirstShown_data();
    void styleSheetSetWhenFirstShown();
};

void TestFormMain::initialState() {
    Fixture f;
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Palavero Lite"));
    QVERIFY(f.form->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.form->size(), QSize(574, 411));
    QCOMPARE(f.form->minimumWidth(), 440);
    // The test executable carries no version data: two blanks after "Version".
    QCOMPARE(f.form->LabelVersion->text(), QStringLiteral("Version  (UDP Port %1)").arg(f.form->port()));
    QCOMPARE(f.form->BitBtnHide->text(), QStringLiteral("S&chließen"));
    QCOMPARE(f.form->BitBtnSend->text(), QStringLiteral("&Senden"));
    QCOMPARE(f.form->BitBtnSendToAll->text(), QStringLiteral("An &alle"));
    QCOMPARE(f.form->computerName(), QByteArray("PC-TEST"));
    QVERIFY(f.form->TimerStart.isActive());
    QCOMPARE(f.form->TimerStart.interval(), 50);
    QCOMPARE(f.form->StatusBarMain->height(), 19);
    QCOMPARE(f.form->StatusBarMain->panel(0)->width(), 250);
}

void TestFormMain::fontSizeFromCommandLine_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("default") << 9;
    QTest::newRow("-f12") << 12;
}

void TestFormMain::fontSizeFromCommandLine() {
    QFETCH(int, size);
    // The program's style sheet is active, as it is in the program.
    QCoreApplication::setAttribute(Qt::AA_UseStyleSheetPropagationInWidgetStyles, true);
    qApp->setStyleSheet(Pictures::styleSheet());
    Fixture f(QLocale(QLocale::German, QLocale::Germany), size);
    f.form->SendMessage1Click();
    QCOMPARE(f.form->MemoSend->font().pointSize(), size);
    QCOMPARE(f.form->ComboBoxTarget->font().pointSize(), size);
    QCOMPARE(f.form->RichEditMsg->font().pointSize(), size);
    // The message pane keeps the font it was given; later changes of the window's font do not reach it.
    QFont bigger = f.form->font();
    bigger.setPointSize(size + 4);
    f.form->setFont(bigger);
    QCOMPARE(f.form->MemoSend->font().pointSize(), size + 4);
    QCOMPARE(f.form->RichEditMsg->font().pointSize(), size);
    qApp->setStyleSheet(QString());
}

void TestFormMain::hideButtonCaptionForSwissGerman_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("caption");
    QTest::newRow("de-CH") << QLocale(QLocale::German, QLocale::Switzerland) << QStringLiteral("Schliessen");
    QTest::newRow("de-LI") << QLocale(QLocale::German, QLocale::Liechtenstein) << QStringLiteral("Schliessen");
    QTest::newRow("de-AT") << QLocale(QLocale::German, QLocale::Austria) << QStringLiteral("S&chließen");
    QTest::newRow("fr-CH") << QLocale(QLocale::French, QLocale::Switzerland) << QStringLiteral("S&chließen");
}

void TestFormMain::hideButtonCaptionForSwissGerman() {
    QFETCH(QLocale, locale);
    QFETCH(QString, caption);
    Fixture f(locale);
    QCOMPARE(f.form->BitBtnHide->text(), caption);
}

void TestFormMain::startUpHidesAndPreparesData() {
    Fixture f;
    f.startUp(); // the window was never shown
    QVERIFY(!f.form->isVisible());
    QVERIFY(f.form->trayTimer().isActive());
    QCOMPARE(f.form->trayTimer().interval(), 4000);
    const QString dir = TestSupport::userRoot() + QStringLiteral("/data/Korvel/Palavero");
    QCOMPARE(f.form->dataDirectory(), dir);
    QCOMPARE(f.form->groupsFile(), dir + QStringLiteral("/PalaveroGroups.ini"));
    QCOMPARE(f.form->snippetFile(), dir + QStringLiteral("/PalaveroTB.ini"));
    QVERIFY(f.form->endpoint().isOpen());
    QVERIFY2(f.boxes.boxes.isEmpty(), qPrintable(f.boxes.texts().join('|')));
}

// The snippet file of the data directory is loaded at start; F3 in the editor
// expands from it, and from rows added later without a save.
void TestFormMain::startUpLoadsSnippetsForF3() {
    const QString dir = TestSupport::userRoot() + QStringLiteral("/data/Korvel/Palavero");
    QVERIFY(QDir().mkpath(dir));
    QFile file(dir + QStringLiteral("/PalaveroTB.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("MFG=Mit freundlichen Gr\xfc\xdf" "en\r\n");
    file.close();
    Fixture f;
    f.startUp();
    f.form->MemoSend->insertPlainText(QStringLiteral("Gruß "));
    QTest::keyClicks(f.form->MemoSend, QStringLiteral("mfg"));
    QTest::keyClick(f.form->MemoSend, Qt::Key_F3);
    QCOMPARE(f.form->messageText(), QByteArray("Gru\xdf Mit freundlichen Gr\xfc\xdf" "en"));

    f.form->snippetStore().setSnippets({{QStringLiteral("sg"), QStringLiteral("Sehr geehrte")}});
    f.form->MemoSend->insertPlainText(QStringLiteral("\n"));
    QTest::keyClicks(f.form->MemoSend, QStringLiteral("sg"));
    QTest::keyClick(f.form->MemoSend, Qt::Key_F3);
    QCOMPARE(f.form->messageText(), QByteArray("Gru\xdf Mit freundlichen Gr\xfc\xdf" "en\r\nSehr geehrte"));
    QVERIFY(file.remove());
}

void TestFormMain::viewTransitions() {
    Fixture f;
    f.startUp();
    TFormMain& w = *f.form;

    w.SendMessage1Click();
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMessageViewShown());

    w.EingegangeneNachrichten1Click();
    QVERIFY(w.isVisible());
    QVERIFY(w.isMessageViewShown());

    w.TrayIconMainClick(); // a click keeps the view
    QVERIFY(w.isMessageViewShown());

    w.TrayIconMainDblClick(); // a double click switches to the compose view
    QVERIFY(!w.isMessageViewShown());

    w.PopupMenuTrayPopup(); // opening the tray menu hides the window
    QVERIFY(!w.isVisible());

    w.TrayIconMainClick(); // from hidden: compose view
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMessageViewShown());

    w.messageState().FPendingText = "x";
    w.BitBtnHideClick();
    QVERIFY(!w.isVisible());
    QVERIFY(w.messageState().FPendingText.isEmpty());

    w.WMShowRequest();
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMessageViewShown());
}

// No tray when the tray icon is first tried (offscreen has none): the window
// shows in the compose view, active, once; later tries leave it alone.
void TestFormMain::withoutTrayTheWindowShows() {
    Fixture f;
    f.startUp();
    TFormMain& w = *f.form;
    QVERIFY(!w.isVisible());
    w.TimerTrayTimer();
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMessageViewShown());
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTRY_VERIFY(w.MemoSend->hasFocus());
    QVERIFY(!w.trayIcon());
    QVERIFY(w.trayTimer().isActive()); // a tray may still come
    QCOMPARE(w.trayTimer().interval(), 2000);

    w.BitBtnHideClick();
    w.TimerTrayTimer();
    QVERIFY(!w.isVisible());
}

void TestFormMain::menuKeyOpensTheTrayMenu_data() {
    QTest::addColumn<QString>("control");
    QTest::newRow("editor") << "MemoSend";
    QTest::newRow("recipient box") << "ComboBoxTarget";
    QTest::newRow("send button") << "BitBtnSend";
    QTest::newRow("message pane") << "RichEditMsg";
}

// F10 anywhere in the window opens the tray menu at the window's top left; the
// window stays, and the menu's items work by keyboard.
void TestFormMain::menuKeyOpensTheTrayMenu() {
    QFETCH(QString, control);
    Fixture f;
    TFormMain& w = *f.form;
    QWidget* target = f.focusInMessageView(control);
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key_F10);
    QTRY_VERIFY(w.PopupMenuTray->isVisible());
    QCOMPARE(w.PopupMenuTray->pos(), w.mapToGlobal(QPoint(0, 0)));
    QVERIFY(w.isVisible());
    QSignalSpy closing(&w, &TFormMain::closing);
    QTest::keyClick(w.PopupMenuTray, Qt::Key_Up); // from the top up to the last item, "Beenden"
    QTest::keyClick(w.PopupMenuTray, Qt::Key_Return);
    QTRY_COMPARE(closing.count(), 1);
}

void TestFormMain::closeBoxOnlyHides() {
    Fixture f;
    f.startUp();
    QSignalSpy closing(f.form.get(), &TFormMain::closing);
    f.form->SendMessage1Click();
    f.form->messageState().FPendingText = "pending";
    QVERIFY(!f.form->close());
    QVERIFY(!f.form->isVisible());
    QVERIFY(f.form->messageState().FPendingText.isEmpty());
    QCOMPARE(closing.count(), 0);
    QVERIFY(f.form->endpoint().isOpen());

    f.form->Beenden1Click();
    QCOMPARE(closing.count(), 1);
    QVERIFY(!f.form->endpoint().isOpen());
}

void TestFormMain::minimumHeightRule() {
    Fixture f;
    f.startUp();
    TFormMain& w = *f.form;
    w.SendMessage1Click();
    QCOMPARE(w.minimumOuterHeight(), 200);
    w.EingegangeneNachrichten1Click();
    QTRY_VERIFY(w.PanelMsg->height() >= 100);
    QCOMPARE(w.minimumOuterHeight(), 200 + w.PanelMsg->height());
    w.SendMessage1Click();
    QCOMPARE(w.minimumOuterHeight(), 200);
}

void TestFormMain::menus() {
    Fixture f;
    QCOMPARE(captions(f.form->PopupMenuTray),
             (QStringList{"Nachricht schreiben", "Nachricht erneut senden", "-", "Eingegangene Nachrichten", "-",
                          "History", "History löschen", "-", "Textbausteine", "Gruppen", "-",
                          "Einstellungen", "Anmelden", "-", "Info", "-", "Beenden"}));
    QCOMPARE(captions(f.form->PopupMenuPanel),
             (QStringList{"Eingegangene Nachrichten", "-", "History", "History löschen", "-", "Einstellungen",
                          "Anmelden"}));
    QCOMPARE(captions(f.form->PopupMenuRE), QStringList{"Kopieren"});
    QCOMPARE(captions(f.form->PopupMenuMemo), (QStringList{"Kopieren", "Einfügen"}));
    QCOMPARE(f.form->PanelSend->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(f.form->MemoSend->contextMenuPolicy(), Qt::CustomContextMenu);
}

void TestFormMain::droppedFilesAppendLines_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const QString paths = QStringLiteral("/tmp/a.txt\n/tmp/Bericht ä.pdf\n/tmp/?.png");
    QTest::newRow("after text") << QStringLiteral("Siehe:") << QStringLiteral("Siehe:\n") + paths;
    QTest::newRow("empty editor") << QString() << paths;
    // A text that ends with a line break gets no empty line.
    QTest::newRow("after a line break") << QStringLiteral("Siehe:\n") << QStringLiteral("Siehe:\n") + paths;
    QTest::newRow("after an empty line")
        << QStringLiteral("Siehe:\n\n") << QStringLiteral("Siehe:\n\n") + paths;
}

void TestFormMain::droppedFilesAppendLines() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    Fixture f;
    f.form->MemoSend->setPlainText(before);
    f.form->appendDroppedFiles({QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/Bericht ä.pdf"),
                                QStringLiteral("/tmp/\u2713.png")});
    QCOMPARE(f.form->MemoSend->toPlainText(), after);
    if (before.isEmpty())
        QCOMPARE(f.form->messageText(), QByteArray("/tmp/a.txt\r\n/tmp/Bericht \xe4.pdf\r\n/tmp/?.png"));
}

void TestFormMain::editorKeepsNoBreakSpace() {
    Fixture f;
    f.form->MemoSend->setPlainText(QStringLiteral("10\u00a0kg\nzweite Zeile"));
    QCOMPARE(f.form->messageText(), QByteArray("10\xa0kg\r\nzweite Zeile"));
}

void TestFormMain::dropIsCopy_data() {
    QTest::addColumn<int>("offered");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("copy or move") << int(Qt::CopyAction | Qt::MoveAction) << true;
    QTest::newRow("move or link") << int(Qt::MoveAction | Qt::LinkAction) << false;
    QTest::newRow("copy only") << int(Qt::CopyAction) << true;
}

void TestFormMain::dropIsCopy() {
    // Whatever the source proposes, a file drop is answered as a copy, so that
    // no file manager deletes the file; a source that cannot copy is refused.
    QFETCH(int, offered);
    QFETCH(bool, accepted);
    Fixture f;
    QMimeData mime;
    const QString path = TestSupport::userRoot() + QStringLiteral("/Brief.txt");
    mime.setUrls({QUrl::fromLocalFile(path)});
    const auto actions = Qt::DropActions(offered);
    QDragEnterEvent enter(QPoint(10, 10), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    enter.setDropAction(Qt::MoveAction);
    enter.ignore();
    QCoreApplication::sendEvent(f.form.get(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(QPointF(10, 10), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    drop.setDropAction(Qt::MoveAction);
    drop.ignore();
    QCoreApplication::sendEvent(f.form.get(), &drop);
    QCOMPARE(drop.isAccepted(), accepted);
    if (accepted) {
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(f.form->MemoSend->toPlainText(), path);
    } else {
        QCOMPARE(f.form->MemoSend->toPlainText(), QString());
    }
}

void TestFormMain::enterGoesToTheFocusedControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("pressed"); // the button that Enter clicks, empty for none
    const int ret = Qt::Key_Return;
    const int enter = Qt::Key_Enter;
    QTest::newRow("recipient box") << "ComboBoxTarget" << ret << "BitBtnSend";
    QTest::newRow("recipient box, keypad") << "ComboBoxTarget" << enter << "BitBtnSend";
    QTest::newRow("editor: a new line") << "MemoSend" << ret << "";
    QTest::newRow("Senden") << "BitBtnSend" << ret << "BitBtnSend";
    QTest::newRow("Schließen") << "BitBtnHide" << ret << "BitBtnHide";
    QTest::newRow("Schließen, keypad") << "BitBtnHide" << enter << "BitBtnHide";
    QTest::newRow("An alle") << "BitBtnSendToAll" << ret << "BitBtnSendToAll";
    QTest::newRow("Textbausteine") << "BitBtnTextbausteine" << ret << "BitBtnTextbausteine";
    QTest::newRow("message pane") << "RichEditMsg" << ret << "";
    QTest::newRow("message pane, keypad") << "RichEditMsg" << enter << "";
}

void TestFormMain::enterGoesToTheFocusedControl() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(QString, pressed);
    Fixture f;
    TFormMain& w = *f.form;
    QWidget* target = f.focusInMessageView(control);
    QVERIFY(target);
    QStringList clicked;
    for (QPushButton* b : {w.BitBtnSend, w.BitBtnHide, w.BitBtnSendToAll, w.BitBtnTextbausteine})
        QObject::connect(b, &QPushButton::clicked, &w, [&clicked, b] { clicked << b->objectName(); });
    const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(target, Qt::Key(key), modifiers);
    QCOMPARE(clicked, pressed.isEmpty() ? QStringList() : QStringList{pressed});
}

void TestFormMain::receivedMessageShowsMessageView() {
    Fixture f;
    f.startUp();
    TFormMain& w = *f.form;
    // With an empty editor the sender is preset: the reply case.
    w.messageReceiver().ShowReceivedMessage("Erste", "PC-03");
    QCOMPARE(w.ComboBoxTarget->currentText(), QStringLiteral("PC-03"));
    // A draft keeps the recipient it is written to.
    w.ComboBoxTarget->setEditText(QStringLiteral("<Büro>"));
    w.MemoSend->setPlainText(QStringLiteral("halb geschrieben"));
    w.messageReceiver().ShowReceivedMessage("Hallo <b>du</b>", "PC-04");
    QTRY_VERIFY(w.isVisible());
    QVERIFY(w.isMessageViewShown());
    QCOMPARE(w.ComboBoxTarget->currentText(), QStringLiteral("<Büro>"));
    QCOMPARE(w.MemoSend->toPlainText(), QStringLiteral("halb geschrieben"));
    QVERIFY(w.RichEditMsg->toPlainText().contains(QStringLiteral("Hallo <b>du</b>")));
    QVERIFY(w.RichEditMsg->toPlainText().startsWith(QStringLiteral("Nachricht von PC-03 (")));
    QVERIFY(w.RichEditMsg->toPlainText().contains(QStringLiteral("Nachricht von PC-04 (")));
}

// The arrival signal that cannot sound says so in the status bar, after the
// received bytes, where the user sees it.
void TestFormMain::missingSoundSaidInTheStatusBar() {
    Fixture f;
    static_cast<TFakeSound&>(*f.platform.sound).unavailable = QStringLiteral("Kein Ton: Audiomodul fehlt");
    f.startUp();
    TFormMain& w = *f.form;
    w.datagramHandler().HandleDatagram("PC-03:KVPALAVERODATA:Hallo");
    QCOMPARE(w.statusText(), QStringLiteral("Kein Ton: Audiomodul fehlt"));
}

void TestFormMain::targetTextSurvivesNewPeers() {
    Fixture f;
    TFormMain& w = *f.form;
    w.ComboBoxTarget->setEditText(QStringLiteral("PC-9"));
    w.targetList().AddRemoteComputer("PC-1", "10.0.0.1");
    w.targetList().AddRemoteComputer("PC-2", "10.0.0.2");
    QCOMPARE(w.ComboBoxTarget->currentText(), QStringLiteral("PC-9"));
    QCOMPARE(w.ComboBoxTarget->count(), 2);
    w.targetList().RemoveRemoteComputer("PC-1");
    QCOMPARE(w.ComboBoxTarget->currentText(), QStringLiteral("PC-9"));
}

void TestFormMain::recipientChoiceFocus_data() {
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("mouse choice moves the focus to the editor") << true;
    QTest::newRow("keyboard choice keeps it in the box") << false;
}

void TestFormMain::recipientChoiceFocus() {
    QFETCH(bool, byMouse);
    Fixture f;
    f.startUp();
    TFormMain& w = *f.form;
    w.targetList().AddRemoteComputer("PC-1", "10.0.0.1");
    w.SendMessage1Click();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.ComboBoxTarget->setFocus();
    QTRY_VERIFY(w.ComboBoxTarget->hasFocus());
    auto chooseByMouse = [&] {
        w.ComboBoxTarget->showPopup();
        QAbstractItemView* list = w.ComboBoxTarget->view();
        QTRY_VERIFY(list->isVisible());
        const QRect item = list->visualRect(list->model()->index(0, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    };
    if (byMouse) {
        chooseByMouse();
    } else {
        // After a mouse choice, a key pressed in the box and the choice it makes.
        chooseByMouse();
        w.ComboBoxTarget->setFocus();
        QTRY_VERIFY(w.ComboBoxTarget->hasFocus());
        QTest::keyClick(w.ComboBoxTarget->lineEdit(), Qt::Key_Down);
        w.ComboBoxTarget->setCurrentIndex(0);
        Q_EMIT w.ComboBoxTarget->activated(0);
    }
    QCOMPARE(w.ComboBoxTarget->currentText(), QStringLiteral("PC-1"));
    if (byMouse)
        QTRY_VERIFY(w.MemoSend->hasFocus());
    else
        QVERIFY(w.ComboBoxTarget->hasFocus());
}

void TestFormMain::downFromEmptyRecipientBox_data() {
    QTest::addColumn<QStringList>("peers");
    QTest::addColumn<QString>("first"); // in display order
    QTest::newRow("one peer") << QStringList{"PC-1"} << "PC-1";
    QTest::newRow("three peers") << QStringList{"PC-3", "pc-2", "PC-1"} << "PC-1";
}

void TestFormMain::downFromEmptyRecipientBox() {
    QFETCH(QStringList, peers);
    QFETCH(QString, first);
    Fixture f;
    f.startUp();
    TFormMain& w = *f.form;
    for (const QString& peer : peers)
        w.targetList().AddRemoteComputer(peer.toLatin1(), "10.0.0.1");
    w.SendMessage1Click();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.ComboBoxTarget->setFocus();
    QTRY_VERIFY(w.ComboBoxTarget->hasFocus());
    QCOMPARE(w.ComboBoxTarget->currentText(), QString());

    QTest::keyClick(w.ComboBoxTarget->lineEdit(), Qt::Key_Down);
    QCOMPARE(w.ComboBoxTarget->currentText(), first);
    QVERIFY(w.ComboBoxTarget->hasFocus()); // a keyboard choice keeps the focus
    if (peers.size() > 1) {
        QTest::keyClick(w.ComboBoxTarget->lineEdit(), Qt::Key_Down);
        QCOMPARE(w.ComboBoxTarget->currentText(), w.targetList().data(w.targetList().index(1)).toString());
    }
}

void TestFormMain::accessibleNames_data() {
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("name");
    QTest::newRow("recipient box") << "ComboBoxTarget" << "Empfänger";
    QTest::newRow("editor") << "MemoSend" << "Nachricht";
    QTest::newRow("message pane") << "RichEditMsg" << "Empfangene Nachrichten";
    QTest::newRow("status bar") << "StatusBarMain" << "Status";
    QTest::newRow("send button") << "BitBtnSend" << "Senden";
}

void TestFormMain::accessibleNames() {
    QFETCH(QString, object);
    QFETCH(QString, name);
    Fixture f;
    // The window itself is a window (a frame), not a window's inner area.
    QCOMPARE(QAccessible::queryAccessibleInterface(f.form.get())->role(), QAccessible::Window);
    QWidget* widget = f.form->findChild<QWidget*>(object);
    QVERIFY(widget);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
}

void TestFormMain::recipientCompletion_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("completed");
    QTest::newRow("prefix") << "PC-1" << "PC-1";
    QTest::newRow("letter case ignored") << "pc-2" << "pc-20";
    QTest::newRow("group") << "<te" << "<Team>";
    QTest::newRow("umlaut") << QStringLiteral("\u00e4") << QStringLiteral("\u00c4rger");
    QTest::newRow("no such name") << "zz" << "zz";
}

// The recipient box completes typed text inline from the target list, letter
// case ignored, keeping what the user typed.
void TestFormMain::recipientCompletion() {
    QFETCH(QString, typed);
    QFETCH(QString, completed);
    TTargetList list("PC-TEST");
    for (const QByteArray name : {"PC-1", "PC-20", "PC-3", "<Team>", "Beta", "\xc4rger", "alpha", "Zeta", "1"})
        list.AddRemoteComputer(name, "10.0.0.1");
    TTargetCombo box;
    box.setTargetModel(&list);
    typeInto(box, typed);
    QCOMPARE(box.currentText().toLower(), completed.toLower());
    QCOMPARE(box.currentText().left(typed.size()), typed);
    // The completed entry is current: Down and Up move to its neighbours in list order.
    const int row = box.findText(completed, Qt::MatchFixedString);
    QCOMPARE(box.currentIndex(), row);
    if (row < 0)
        return;
    QVERIFY(row + 1 < box.count());
    QTest::keyClick(box.lineEdit(), Qt::Key_Down);
    QCOMPARE(box.currentText(), box.itemText(row + 1));
    QTest::keyClick(box.lineEdit(), Qt::Key_Up);
    QTest::keyClick(box.lineEdit(), Qt::Key_Up);
    QCOMPARE(box.currentText(), box.itemText(std::max(row - 1, 0)));
}

// Backspace takes back the completed rest and completes nothing again, so a
// name that is the start of another can be typed.
void TestFormMain::recipientCompletionLeavesDeletingAlone() {
    TTargetList list("PC-TEST");
    for (const QByteArray name : {"PC-2", "PC-20", "PC-200"})
        list.AddRemoteComputer(name, "10.0.0.1");
    TTargetCombo box;
    box.setTargetModel(&list);
    typeInto(box, QStringLiteral("PC-20"));
    QCOMPARE(box.currentText(), QStringLiteral("PC-20"));
    typeInto(box, QStringLiteral("0"));
    QCOMPARE(box.currentText(), QStringLiteral("PC-200"));
    QTest::keyClick(box.lineEdit(), Qt::Key_Backspace);
    QTest::keyClick(box.lineEdit(), Qt::Key_Backspace);
    QCOMPARE(box.currentText(), QStringLiteral("PC-2"));
    QCOMPARE(box.currentCompletion(), QString());
}

// A peer joining costs the box about the same whatever the list's length: the
// default completer read every row again on each insert while the typed text
// matched no entry.
void TestFormMain::recipientBoxReadsNoRowsOnInsert() {
    TTargetList list("PC-TEST");
    TCountingModel counting;
    counting.setSourceModel(&list);
    TTargetCombo box;
    box.setTargetModel(&counting);
    for (int i = 0; i < 2000; ++i)
        list.AddRemoteComputer("PC-" + QByteArray::number(i * 7 % 2000), "10.0.0.1");
    typeInto(box, QStringLiteral("x")); // a name no peer has, yet
    counting.reads = 0;
    for (int i = 0; i < 100; ++i)
        list.AddRemoteComputer("NEW-" + QByteArray::number(i), "10.0.0.2");
    // A binary search's worth of rows per insert, not the 2 000 of a full pass.
    QVERIFY2(counting.reads < 100 * 50, qPrintable(QString::number(counting.reads)));
    // Completion still sees every entry.
    box.clearEditText();
    typeInto(box, QStringLiteral("new-9"));
    QCOMPARE(box.currentText(), QStringLiteral("new-9"));
    QCOMPARE(box.currentCompletion(), QStringLiteral("NEW-9"));
}

// Peers joining above the entry the user chose neither move it in the box nor
// repaint the box each time (each connect lets pending events run); Up and
// Down still move on from the chosen entry.
void TestFormMain::recipientBoxStaysPutWhilePeersJoin() {
    TTargetList list("PC-TEST");
    for (const QByteArray name : {"PC-50", "PC-60", "PC-70"})
        list.AddRemoteComputer(name, "10.0.0.1");
    TTargetCombo box;
    box.setTargetModel(&list);
    box.show();
    QApplication::setActiveWindow(&box);
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.setFocus();
    QTest::keyClick(box.lineEdit(), Qt::Key_Down);
    QTest::keyClick(box.lineEdit(), Qt::Key_Down);
    QCOMPARE(box.currentText(), QStringLiteral("PC-60"));
    QCoreApplication::processEvents();

    struct TPaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    box.installEventFilter(&counter);
    QSignalSpy moved(&box, &QComboBox::currentIndexChanged);
    const auto join = [&list](int i) {
        list.AddRemoteComputer("PC-0" + QByteArray::number(i).rightJustified(2, '0'), "10.0.0.2");
        QCoreApplication::processEvents();
    };
    join(0); // the box lets go of its current row here, once
    const int paintsBefore = counter.paints;
    const int movesBefore = int(moved.count());
    for (int i = 1; i < 100; ++i)
        join(i);
    QVERIFY2(counter.paints - paintsBefore <= 1, qPrintable(QString::number(counter.paints - paintsBefore)));
    QCOMPARE(moved.count(), movesBefore);
    QCOMPARE(box.currentText(), QStringLiteral("PC-60"));
    QTest::keyClick(box.lineEdit(), Qt::Key_Down);
    QCOMPARE(box.currentText(), QStringLiteral("PC-70"));
    list.AddRemoteComputer("PC-01", "10.0.0.3");
    QTest::keyClick(box.lineEdit(), Qt::Key_Up);
    QTest::keyClick(box.lineEdit(), Qt::Key_Up);
    QCOMPARE(box.currentText(), QStringLiteral("PC-50"));
}

// The options dialog is built the first time it is opened; until then the
// settings read at start are in force, and the dialog's controls take them over.
void TestFormMain::optionsDialogBuiltWhenFirstOpened() {
    const QString settingsFile = TSettingsStore::defaultFilePath();
    QVERIFY(QDir().mkpath(QFileInfo(settingsFile).path()));
    {
        QFile file(settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\nSound=0\nSaveHistory=2\nUseScreenSaverShortcut=1\nScreenSaverShortcutKey=49235\n");
    }
    Fixture f;
    std::unique_ptr<TFormOptions> options;
    int built = 0;
    bool shownAsRead = false;
    f.form->setOptionsBuilder([&] {
        ++built;
        options = std::make_unique<TFormOptions>(*f.platform.autostart, f.boxes, QStringLiteral("/opt/palavero/palavero"));
        return options.get();
    });
    auto& hotKey = static_cast<TFakeGlobalHotKey&>(*f.platform.globalHotKey);
    f.startUp();
    QCOMPARE(built, 0);
    QCOMPARE(hotKey.registered.size(), 1);
    QCOMPARE(int(hotKey.registered.first().virtualKey), 0x53);

    // The first opening builds it with what was read; Cancel keeps a change in force.
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(options && options->isVisible());
        shownAsRead = !options->CheckBoxBeep->isChecked() && options->CheckBoxHistory->isChecked() &&
                      options->CheckBoxScreensaver->isChecked() && options->HotKeyScreensaver->shortcutCode() == 49235;
        options->CheckBoxBeep->setChecked(true);
        options->BitBtn1->click();
    });
    f.form->Einstellungen1Click();
    QCOMPARE(built, 1);
    QVERIFY(shownAsRead);
    QVERIFY(options->beepEnabled());
    answerWhenShown(*options, [&] { options->BitBtn1->click(); });
    f.form->Einstellungen1Click();
    QCOMPARE(built, 1);
    QFile::remove(settingsFile);
}

void TestFormMain::screenSaverHotKeyFollowsTheOptionsDialog() {
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("Palavero.conf"));
    {
        QFile file(settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\nUseScreenSaverShortcut=1\nScreenSaverShortcutKey=49235\n");
    }
    Fixture f;
    TFormOptions options(*f.platform.autostart, f.boxes, QStringLiteral("/opt/palavero/palavero"), nullptr,
                         settingsFile);
    f.form->setDialogs(&options, nullptr, nullptr);
    auto& hotKey = static_cast<TFakeGlobalHotKey&>(*f.platform.globalHotKey);
    auto& screenSaver = static_cast<TFakeScreenSaver&>(*f.platform.screenSaver);
    using TRegistration = TFakeGlobalHotKey::Registration;
    const auto registered = [&] {
        QList<QPair<int, int>> out;
        for (const TRegistration& r : std::as_const(hotKey.registered))
            out << qMakePair(int(r.modifiers), int(r.virtualKey));
        return out;
    };
    const QList<QPair<int, int>> ctrlAltS{{0x0003, 0x53}};
    const QList<QPair<int, int>> ctrlF11{{0x0002, 0x7A}};

    // At start, once the settings are loaded.
    QVERIFY(registered().isEmpty());
    f.startUp();
    QCOMPARE(registered(), ctrlAltS);
    hotKey.press(0x0003, 0x53);
    QCOMPARE(screenSaver.activations, 1);

    // Changed, then Cancel: the registered combination stays.
    answerWhenShown(options, [&] {
        options.HotKeyScreensaver->setShortcutCode(16506);
        options.BitBtn1->click();
    });
    f.form->Einstellungen1Click();
    QCOMPARE(registered(), ctrlAltS);

    // OK through the panel's menu item, without further changes: what the controls hold.
    answerWhenShown(options, [&] { options.BitBtnOk->click(); });
    f.form->Einstellungen2Click();
    QCOMPARE(registered(), ctrlF11);

    // Ticked off and OK: removed.
    answerWhenShown(options, [&] {
        options.CheckBoxScreensaver->setChecked(false);
        options.BitBtnOk->click();
    });
    f.form->Einstellungen1Click();
    QVERIFY(registered().isEmpty());
    hotKey.press(0x0002, 0x7A);
    QCOMPARE(screenSaver.activations, 1);

    // On again; the end of the program removes it.
    answerWhenShown(options, [&] {
        options.CheckBoxScreensaver->setChecked(true);
        options.BitBtnOk->click();
    });
    f.form->Einstellungen1Click();
    QCOMPARE(registered(), ctrlF11);
    f.form->endpoint().close();
    f.form.reset();
    QVERIFY(registered().isEmpty());
    QVERIFY(f.boxes.boxes.isEmpty());
}

// The version line has no box of its own: its text stands on the panel and is readable there.
void TestFormMain::versionLineReadable() {
    Fixture f;
    QLabel* label = f.form->LabelVersion;
    const QImage image = f.form->PanelBottom->grab(label->geometry()).toImage();
    // The colour of most pixels is the one behind the text.
    QHash<QRgb, int> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++pixels[image.pixel(x, y)];
    const QRgb behind = std::max_element(pixels.cbegin(), pixels.cend()).key();
    QCOMPARE(QColor(behind), QColor(248, 251, 255));
    const QColor text = label->palette().color(QPalette::WindowText);
    QVERIFY2(contrastRatio(text, QColor(behind)) >= 3.0, qPrintable(QStringLiteral("%1 on %2: %3:1")
                                                                       .arg(text.name(), QColor(behind).name())
                                                                       .arg(contrastRatio(text, QColor(behind)))));
}

void TestFormMain::focusedButtonShowsFrame_data() {
    QTest::addColumn<QString>("button");
    for (const char* name : {"BitBtnSend", "BitBtnHide", "BitBtnSendToAll", "BitBtnTextbausteine"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// A button with the keyboard focus is told apart at a glance under the
// program's style: a frame in a colour of at least 3:1 against the button face
// runs round it, and no such frame is on the button without the focus.
void TestFormMain::focusedButtonShowsFrame() {
    QFETCH(QString, button);
    const QString systemStyle = qApp->style()->name();
    qApp->setStyle(new TFocusFrameStyle);
    qApp->setStyleSheet(Pictures::styleSheet());
    Fixture f;
    f.form->SendMessage1Click();
    QApplication::setActiveWindow(f.form.get());
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QPushButton* target = f.form->findChild<QPushButton*>(button);
    QVERIFY(target);
    const QColor frame = TFocusFrameStyle::frameColor();
    // The share of the frame's colour on the ring inside the button.
    const auto ringInFrameColour = [&] {
        const QImage image = target->grab().toImage();
        const QRect ring = TFocusFrameStyle::frameRect(image.rect());
        int onRing = 0, inColour = 0;
        for (int y = ring.top(); y <= ring.bottom(); ++y)
            for (int x = ring.left(); x <= ring.right(); ++x) {
                if (x != ring.left() && x != ring.right() && y != ring.top() && y != ring.bottom())
                    continue;
                ++onRing;
                inColour += QColor(image.pixel(x, y)) == frame;
            }
        return double(inColour) / onRing;
    };
    f.form->MemoSend->setFocus();
    QTRY_VERIFY(!target->hasFocus());
    QCOMPARE(ringInFrameColour(), 0.0);
    target->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(target->hasFocus());
    QVERIFY2(ringInFrameColour() > 0.95, qPrintable(QString::number(ringInFrameColour())));
    const QColor face = target->grab().toImage().pixel(target->width() / 2, 5);
    QVERIFY2(contrastRatio(frame, face) >= 3.0,
             qPrintable(QStringLiteral("%1 on %2").arg(frame.name(), face.name())));
    qApp->setStyleSheet(QString());
    qApp->setStyle(systemStyle);
}

void TestFormMain::noTextClippedAtAnyFontSize_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("narrowest");
    for (const int size : {6, 9, 14, 20}) {
        QTest::addRow("-f%d", size) << size << false;
        QTest::addRow("-f%d at the minimum width", size) << size << true;
    }
}

// Every button and label of the window shows its whole text, no two of them
// overlap, and each lies inside its panel, from the smallest font to a large
// one and from the window's minimum width up; the status bar keeps the
// system's font.
void TestFormMain::noTextClippedAtAnyFontSize() {
    QFETCH(int, size);
    QFETCH(bool, narrowest);
    QCoreApplication::setAttribute(Qt::AA_UseStyleSheetPropagationInWidgetStyles, true);
    qApp->setStyleSheet(Pictures::styleSheet());
    Fixture f(QLocale(QLocale::German, QLocale::Germany), size);
    f.form->SendMessage1Click();
    if (narrowest)
        f.form->resize(f.form->minimumWidth(), f.form->height());
    if (narrowest)
        QTRY_COMPARE(f.form->width(), f.form->minimumWidth());
    QVERIFY(f.form->width() >= f.form->minimumWidth());
    QCoreApplication::processEvents();

    QList<QWidget*> texts;
    for (QWidget* w : f.form->findChildren<QWidget*>()) {
        if (w->isVisible() && (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)))
            texts << w;
    }
    QVERIFY(texts.size() >= 5);
    for (QWidget* w : std::as_const(texts)) {
        const QString name = w->objectName();
        QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(),
                 qPrintable(QStringLiteral("%1: %2x%3 for %4x%5").arg(name).arg(w->width()).arg(w->height())
                                .arg(w->sizeHint().width()).arg(w->sizeHint().height())));
        QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(name));
        for (QWidget* other : std::as_const(texts)) {
            if (other != w && other->parentWidget() == w->parentWidget())
                QVERIFY2(!w->geometry().intersects(other->geometry()),
                         qPrintable(name + QStringLiteral(" overlaps ") + other->objectName()));
        }
    }
    QCOMPARE(f.form->StatusBarMain->font().pointSizeF(), QGuiApplication::font().pointSizeF());
    qApp->setStyleSheet(QString());
}

// Opened by its button in the main window and closed, the snippet editor leaves
// the focus in the message editor, so a blank typed next is text, not a press
// of the button.
void TestFormMain::snippetEditorGivesTheFocusBackToTheEditor() {
    Fixture f;
    TFormMain& w = *f.form;
    std::unique_ptr<TFormTextbausteine> editor;
    w.setSnippetEditor([&] {
        if (!editor)
            editor = std::make_unique<TFormTextbausteine>(w.snippetStore(), f.boxes, &w);
        return editor.get();
    });
    f.startUp();
    w.SendMessage1Click();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.BitBtnTextbausteine->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(w.BitBtnTextbausteine->hasFocus());
    int opened = 0;
    QObject::connect(w.BitBtnTextbausteine, &QPushButton::clicked, &w, [&] { ++opened; });
    QTimer::singleShot(0, &w, [&] {
        QTRY_VERIFY(editor && editor->isVisible());
        editor->reject();
    });
    QTest::keyClick(w.BitBtnTextbausteine, Qt::Key_Space);
    QCOMPARE(opened, 1);
    QTRY_VERIFY(w.isVisible());
    QApplication::setActiveWindow(&w);
    QTRY_VERIFY(w.MemoSend->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(opened, 1);
    QCOMPARE(w.MemoSend->toPlainText(), QStringLiteral(" "));
}

void TestFormMain::statusTextsFitTheirPanel_data() {
    QTest::addColumn<qreal>("points"); // the system's font
    for (const qreal points : {7.0, 9.0, 10.0, 12.0, 16.0})
        QTest::addRow("%gpt", points) << points;
}

// Each status text, written by the path that writes it, fits the first panel
// at the system's font size, including the widest: the received bytes of the
// largest datagram with date and time.
void TestFormMain::statusTextsFitTheirPanel() {
    QFETCH(qreal, points);
    const QFont systemFont = QGuiApplication::font();
    QFont font = systemFont;
    font.setPointSizeF(points);
    QGuiApplication::setFont(font);
    Fixture f;
    QGuiApplication::setFont(systemFont);
    TFormMain& w = *f.form;
    f.startUp(); // the session events reach presence from here on
    w.SendMessage1Click();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QLabel* panel = w.StatusBarMain->panel(0);
    QCOMPARE(panel->font().pointSizeF(), points);

    QStringList texts;
    const auto note = [&] { texts << w.statusText(); };
    w.datagramHandler().setClock([] { return QDateTime(QDate(2026, 12, 28), QTime(20, 48, 58)); });
    w.datagramHandler().HandleDatagram(QByteArray(8192, 'x'));
    note();
    w.setStatusText(TMessageSender::SendStatusText(false, 8092));
    note();
    w.setStatusText(TMessageSender::NoRecipientText());
    note();
    w.setStatusText(DisplayPlatform::waylandStatusText());
    note();
    static_cast<TFakeSound&>(*f.platform.sound).unavailable = QStringLiteral("Kein Ton: Audiomodul fehlt");
    w.datagramHandler().HandleDatagram("PC-03:KVPALAVERODATA:Hallo");
    note();
    Q_EMIT f.platform.sessionMonitor->sessionEnding();
    note();
    QCOMPARE(texts.last(), QStringLiteral("Sending Logout Message"));
    QVERIFY2(texts.first().startsWith(QStringLiteral("8192 Bytes empfangen ")), qPrintable(texts.first()));
    QVERIFY(w.isVisible());
    const QFontMetrics metrics(panel->font());
    for (const QString& text : std::as_const(texts)) {
        QVERIFY2(metrics.horizontalAdvance(text) + 2 <= panel->width(),
                 qPrintable(QStringLiteral("%1: %2 of %3 pixels").arg(text).arg(metrics.horizontalAdvance(text) + 2).arg(panel->width())));
        QVERIFY2(metrics.height() <= panel->height(), qPrintable(QStringLiteral("%1 high in %2 (bar %3)").arg(metrics.height()).arg(panel->height()).arg(w.StatusBarMain->height())));
    }
    QVERIFY(panel->width() >= TStatusBarPro::kFirstPanelWidth);
}

PALAVERO_TEST_MAIN(TestFormMain)
#include "tst_formmain.moc"

void TestFormMain::styleSheetSetWhenFirstShown_data() {
    QTest::addColumn<QString>("shown");
    QTest::newRow("main window") << QStringLiteral("window");
    QTest::newRow("box") << QStringLiteral("dialog");
    QTest::newRow("tray menu") << QStringLiteral("menu");
}

// The program's style sheet is not set while nothing is shown (widgets being
// built, a menu handed to the tray), and is set before the first window, box or
// menu is laid out.
void TestFormMain::styleSheetSetWhenFirstShown() {
    QFETCH(QString, shown);
    qApp->setStyleSheet(QString());
    const QString sheet = QStringLiteral("QPushButton { padding: 11px; }");
    auto* style = new TVisualStyle(*qApp, sheet);
    const std::unique_ptr<TVisualStyle> owned(style);

    Fixture f; // the main window, built and not shown
    QPushButton loose(QStringLiteral("Lose"));
    (void)loose.sizeHint(); // polished without a parent, not shown
    QMenu menu;
    menu.addAction(QStringLiteral("Eintrag"));
    menu.ensurePolished();
    QCOMPARE(qApp->styleSheet(), QString());

    if (shown == QLatin1String("window")) {
        f.form->show();
        QCOMPARE(qApp->styleSheet(), sheet);
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    } else if (shown == QLatin1String("dialog")) {
        QDialog box;
        box.show();
        QCOMPARE(qApp->styleSheet(), sheet);
    } else {
        QObject::connect(&menu, &QMenu::aboutToShow, style, &TVisualStyle::apply);
        menu.popup(QPoint(10, 10));
        QCOMPARE(qApp->styleSheet(), sheet);
        menu.hide();
    }
    // Set once: a later sheet of the program's own stays.
    qApp->setStyleSheet(QString());
    QDialog later;
    later.show();
    QCOMPARE(qApp->styleSheet(), QString());
}
