#include "GroupPeer.h"
#include "common/Fakes.h"
#include "common/TestMain.h"

#include "groups/FormGroups.h"
#include "groups/GroupEditor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <optional>

namespace {

// Answers the name prompt from a queue; cancelled when it is empty.
class TFakePrompt : public IGroupNamePrompt {
  public:
    QQueue<std::optional<QString>> answers;
    QStringList asked; // the name the prompt started from, each time
    std::optional<QString> askGroupName(const QString& name) override {
        asked << name;
        return answers.isEmpty() ? std::nullopt : answers.dequeue();
    }
};

// An editor on a group file of its own, with the distribution and the target
// list of the program.
struct TEditorFixture {
    QTemporaryDir dir;
    TGroupPeer peer{dir.path()};
    TFakePrompt prompt;
    TGroupEditor editor{peer.boxes, prompt};
    QList<QByteArray> targets{"PC1", "PC2", "PC3"};

    TEditorFixture() { editor.SetGroupsFile(file()); }
    QString file() const { return peer.groups.groupsFile(); }
    // The start of an editing run on a file with these bytes (none: no file).
    bool open(const std::optional<QByteArray>& bytes) {
        if (bytes && !writeBytes(file(), *bytes))
            return false;
        editor.fillComputers("PC-TEST", targets);
        return editor.FormShow();
    }
    // The computer list, a ticked one marked with "*".
    QByteArray computers() const {
        QByteArrayList out;
        for (const TGroupEditor::TComputer& c : editor.computers())
            out << c.name + (c.ticked ? "*" : "");
        return out.join(' ');
    }
    int row(const QByteArray& computer) const {
        for (qsizetype i = 0; i < editor.computers().size(); ++i) {
            if (editor.computers().at(i).name == computer)
                return int(i);
        }
        return -1;
    }
    void tick(const QByteArray& computer, bool ticked = true) {
        editor.CheckListBoxComputersClickCheck(row(computer), ticked);
    }
    QByteArray members(const QByteArray& group) const { return editor.store()->membersText(group); }
};

// Types the text key by key, as a keyboard would (also characters beyond ASCII).
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

const QByteArray kTwoGroups = "[A]\r\nMembers=PC1,\r\n\r\n[B]\r\nMembers=PC2,\r\n\r\n";
const QString kDistributionQuestion = QStringLiteral(
    "Sollen die Gruppeneinstellungen auf allen erreichbaren Palavero-Computern überschrieben werden?");
const QString kSaveQuestion = QStringLiteral("Sollen die Änderungen gespeichert werden?");

} // namespace

class TestGroupEditor : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void nameFilter_data();
    void nameFilter();
    void nameFilterLeavesPasteAlone();
    void showGroupMembers_data();
    void showGroupMembers();
    void unreachableMemberStaysListed();
    void tickRewritesMembersInListOrder();
    void tickWithoutGroup();
    void newGroup();
    void rename_data();
    void rename();
    void deleteGroup();
    void saveAndClose_data();
    void saveAndClose();
    void saveFailure();
    void unreadableFileIsNotEdited();
    void groupsReceivedWhileOpen();

    void formCaptions_data();
    void formCaptions();
    void formLayout();
    void formShowsAndForwards();
};

// ---------------------------------------------------------------- name prompt

void TestGroupEditor::nameFilter_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key"); // pressed after typing; 0 for none
    QTest::addColumn<QString>("after");
    QTest::newRow("letters, digits, dash")
        << QString() << QStringLiteral("Team-7b") << 0 << QStringLiteral("Team-7b");
    QTest::newRow("umlauts and sharp s")
        << QString() << QStringLiteral("ÄÖÜäöüß") << 0 << QStringLiteral("ÄÖÜäöüß");
    QTest::newRow("blank, underscore, é, dot")
        << QStringLiteral("ab") << QStringLiteral(" _é.x") << 0 << QStringLiteral("abx");
    QTest::newRow("Backspace does not delete")
        << QStringLiteral("abc") << QString() << int(Qt::Key_Backspace) << QStringLiteral("abc");
    QTest::newRow("Enter") << QStringLiteral("abc") << QString() << int(Qt::Key_Return)
                           << QStringLiteral("abc");
    QTest::newRow("Escape") << QStringLiteral("abc") << QString() << int(Qt::Key_Escape)
                            << QStringLiteral("abc");
    QTest::newRow("Delete types nothing, so it works")
        << QStringLiteral("abc") << QString() << int(Qt::Key_Delete) << QStringLiteral("ab");
    QTest::newRow("set by the program: not filtered")
        << QStringLiteral("a b_é") << QStringLiteral("ä") << 0 << QStringLiteral("a b_éä");
}

void TestGroupEditor::nameFilter() {
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, after);
    TFormNewGroup prompt;
    prompt.show();
    QVERIFY(QTest::qWaitForWindowExposed(&prompt));
    prompt.EditGroupName->setText(before);
    prompt.EditGroupName->setFocus();
    if (key == Qt::Key_Delete)
        prompt.EditGroupName->setCursorPosition(before.size() - 1);
    typeText(prompt.EditGroupName, typed);
    if (key)
        QTest::keyClick(prompt.EditGroupName, Qt::Key(key));
    QCOMPARE(prompt.EditGroupName->text(), after);
    QVERIFY(prompt.isVisible()); // neither Enter nor Escape closes it
    QTest::keyClick(&prompt, Qt::Key_Escape);
    QVERIFY(prompt.isVisible());
}

void TestGroupEditor::nameFilterLeavesPasteAlone() {
    TFormNewGroup prompt;
    prompt.show();
    QVERIFY(QTest::qWaitForWindowExposed(&prompt));
    QGuiApplication::clipboard()->setText(QStringLiteral("x y_é"));
    prompt.EditGroupName->setText(QStringLiteral("ab"));
    prompt.EditGroupName->setFocus();
    // Ctrl+V types a control character: nothing is pasted.
    QTest::keyClick(prompt.EditGroupName, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(prompt.EditGroupName->text(), QStringLiteral("ab"));
    // Pasted through the context menu, the text is taken as it is.
    prompt.EditGroupName->paste();
    QCOMPARE(prompt.EditGroupName->text(), QStringLiteral("abx y_é"));
}

// ---------------------------------------------------------------- editing

void TestGroupEditor::showGroupMembers_data() {
    QTest::addColumn<QList<QByteArray>>("targets");
    QTest::addColumn<QByteArray>("members");
    QTest::addColumn<QByteArray>("computers");
    QTest::newRow("unreachable member")
        << QList<QByteArray>{"PC1", "PC3"} << QByteArray("PC2,PC1,") << QByteArray("PC-TEST PC1* PC2* PC3");
    QTest::newRow("PC1 is not XPC1") << QList<QByteArray>{"PC1", "XPC1"} << QByteArray("XPC1,")
                                     << QByteArray("PC-TEST PC1 XPC1*");
    QTest::newRow("letter case counts")
        << QList<QByteArray>{"PC1"} << QByteArray("pc1,") << QByteArray("PC-TEST PC1 pc1*");
    QTest::newRow("this computer, blanks, empty names")
        << QList<QByteArray>{"PC1"} << QByteArray(" PC-TEST , ,,PC1") << QByteArray("PC-TEST* PC1*");
    QTest::newRow("group entries and blanks in the target list")
        << QList<QByteArray>{" <A>", "PC2 ", "<PC1>"} << QByteArray("PC2,") << QByteArray("PC-TEST PC2*");
    QTest::newRow("no member") << QList<QByteArray>{"PC1"} << QByteArray() << QByteArray("PC-TEST PC1");
}

void TestGroupEditor::showGroupMembers() {
    QFETCH(QList<QByteArray>, targets);
    QFETCH(QByteArray, members);
    QFETCH(QByteArray, computers);
    TEditorFixture f;
    f.targets = targets;
    QVERIFY(f.open("[A]\r\nMembers=" + members + "\r\n"));
    QCOMPARE(f.editor.groups(), QByteArrayList({"A"}));
    QCOMPARE(f.editor.selectedGroup(), 0);
    QCOMPARE(f.computers(), computers);
    QVERIFY(!f.editor.isModified());
}

void TestGroupEditor::unreachableMemberStaysListed() {
    TEditorFixture f;
    f.targets = {"PC1"};
    QVERIFY(f.open("[A]\r\nMembers=PC9,PC1,\r\n[B]\r\nMembers=PC1\r\n"));
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1* PC9*"));
    f.editor.ListBoxGroupsClick(1);
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1* PC9"));
    f.editor.ListBoxGroupsClick(-1);
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1 PC9"));
    // The next run starts from the target list again.
    f.editor.FormClose();
    QVERIFY(f.open("[B]\r\nMembers=PC1\r\n"));
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1*"));
}

void TestGroupEditor::tickRewritesMembersInListOrder() {
    TEditorFixture f;
    QVERIFY(f.open("[A]\r\nMembers=PC2,PC1,\r\n"));
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1* PC2* PC3"));
    f.tick("PC3");
    QCOMPARE(f.members("A"), QByteArray("PC1,PC2,PC3,"));
    QVERIFY(f.editor.isModified());
    f.tick("PC3", false);
    QCOMPARE(f.members("A"), QByteArray("PC1,PC2,"));
    f.tick("PC1", false);
    f.tick("PC2", false);
    QCOMPARE(f.members("A"), QByteArray());
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1 PC2 PC3"));
    QVERIFY(f.peer.boxes.boxes.isEmpty());
}

void TestGroupEditor::tickWithoutGroup() {
    TEditorFixture f;
    QVERIFY(f.open(std::nullopt));
    QCOMPARE(f.editor.selectedGroup(), -1);
    f.tick("PC2");
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1 PC2 PC3"));
    QCOMPARE(f.peer.boxes.texts(), QStringList{QStringLiteral("Bitte zuerst eine Gruppe auswählen!")});
    QVERIFY(!f.peer.boxes.boxes.first().question);
    QVERIFY(!f.editor.isModified());
    QVERIFY(f.editor.store()->isEmpty());
}

void TestGroupEditor::newGroup() {
    TEditorFixture f;
    QVERIFY(f.open(kTwoGroups));
    // Cancelled: nothing.
    f.editor.ButtonNewGroupClick();
    QCOMPARE(f.prompt.asked, QStringList{QString()});
    QCOMPARE(f.editor.groups(), QByteArrayList({"A", "B"}));
    QVERIFY(!f.editor.isModified());

    // Taken as entered, selected, nothing ticked; line breaks pasted into the
    // field do not reach the file.
    f.prompt.answers << QStringLiteral("Neu\r\n[X]") << QStringLiteral("Leer");
    f.editor.ButtonNewGroupClick();
    QCOMPARE(f.editor.groups(), QByteArrayList({"A", "B", "Neu[X]"}));
    QCOMPARE(f.editor.selectedGroup(), 2);
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1 PC2 PC3"));
    QVERIFY(f.editor.isModified());
    f.tick("PC3");
    // A group that never gets a tick is not written.
    f.editor.ButtonNewGroupClick();
    QCOMPARE(f.editor.groups(), QByteArrayList({"A", "B", "Neu[X]", "Leer"}));
    QVERIFY(f.editor.ButtonSaveClick());
    QCOMPARE(fileBytes(f.file()), kTwoGroups + "[Neu[X]]\r\nMembers=PC3,\r\n\r\n");
    f.editor.FormClose();
    QVERIFY(f.open(std::nullopt));
    QCOMPARE(f.editor.groups(), QByteArrayList({"A", "B", "Neu[X]"}));
    f.editor.ListBoxGroupsClick(2);
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1 PC2 PC3*"));

    // The name of an existing group shows that group's members.
    f.prompt.answers << QStringLiteral("a");
    f.editor.ButtonNewGroupClick();
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1* PC2 PC3"));
}

void TestGroupEditor::rename_data() {
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QByteArrayList>("listed");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("new name: section to the end")
        << QStringLiteral("C") << QByteArrayList{"C", "B"}
        << QByteArray("[B]\r\nMembers=PC2,\r\n\r\n[C]\r\nMembers=PC1,\r\n\r\n");
    QTest::newRow("onto an existing group")
        << QStringLiteral("B") << QByteArrayList{"B", "B"} << QByteArray("[B]\r\nMembers=PC1,\r\n\r\n");
    QTest::newRow("same name") << QStringLiteral("A") << QByteArrayList{"A", "B"}
                               << QByteArray("[B]\r\nMembers=PC2,\r\n\r\n[A]\r\nMembers=PC1,\r\n\r\n");
}

void TestGroupEditor::rename() {
    QFETCH(QString, newName);
    QFETCH(QByteArrayList, listed);
    QFETCH(QByteArray, written);
    TEditorFixture f;
    QVERIFY(f.open(kTwoGroups));
    // Cancelled, or nothing selected: nothing.
    f.editor.ListBoxGroupsDblClick();
    f.editor.ListBoxGroupsClick(-1);
    f.prompt.answers << newName;
    f.editor.ListBoxGroupsDblClick();
    QCOMPARE(f.prompt.asked, QStringList{QStringLiteral("A")});
    QVERIFY(!f.editor.isModified());

    f.editor.ListBoxGroupsClick(0);
    f.editor.ListBoxGroupsDblClick();
    QCOMPARE(f.prompt.asked.last(), QStringLiteral("A"));
    QCOMPARE(f.editor.groups(), listed);
    QCOMPARE(f.editor.selectedGroup(), 0);
    QVERIFY(f.editor.isModified());
    QVERIFY(f.editor.ButtonSaveClick());
    QCOMPARE(fileBytes(f.file()), written);
}

void TestGroupEditor::deleteGroup() {
    TEditorFixture f;
    QVERIFY(f.open(kTwoGroups));
    f.editor.ListBoxGroupsClick(1);
    f.peer.boxes.answers << false << true;
    f.editor.ButtonDeleteGroupClick();
    QCOMPARE(f.editor.groups(), QByteArrayList({"A", "B"}));
    QVERIFY(!f.editor.isModified());
    f.editor.ButtonDeleteGroupClick();
    QCOMPARE(f.peer.boxes.boxes.size(), 2);
    const TFakeMessageBoxes::Box& box = f.peer.boxes.boxes.last();
    QCOMPARE(box.caption, QStringLiteral("Gruppe löschen"));
    QCOMPARE(box.text, QStringLiteral("Soll die Gruppe B wirklich gelöscht werden?"));
    QCOMPARE(box.icon, IMessageBoxes::Icon::Question);
    QVERIFY(box.question);
    QCOMPARE(f.editor.groups(), QByteArrayList({"A"}));
    QCOMPARE(f.editor.selectedGroup(), -1);
    QCOMPARE(f.computers(), QByteArray("PC-TEST PC1 PC2 PC3"));
    QVERIFY(f.editor.isModified());
    // Nothing selected: nothing to delete.
    f.editor.ButtonDeleteGroupClick();
    QCOMPARE(f.peer.boxes.boxes.size(), 2);

    // The last group deleted and saved: an empty file.
    f.editor.ListBoxGroupsClick(0);
    f.peer.boxes.answers << true;
    f.editor.ButtonDeleteGroupClick();
    QVERIFY(f.editor.ButtonSaveClick());
    QCOMPARE(fileBytes(f.file()), QByteArray());
}

// Each step of `script`: tick (PC3 into the selected group A), save,
// close ("Schließen"), closebox (the window's close box). Answers go to the
// questions in order.
void TestGroupEditor::saveAndClose_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("distributed");
    const QByteArray before = "[A]\r\nMembers=PC1,\r\n\r\n";
    const QByteArray after = "[A]\r\nMembers=PC1,PC3,\r\n\r\n";
    QTest::newRow("close, no changes") << "close" << QList<bool>{} << QStringList{} << before << false;
    QTest::newRow("changes, close, No")
        << "tick close" << QList<bool>{false} << QStringList{kSaveQuestion} << before << false;
    QTest::newRow("changes, close, Yes, distribution No")
        << "tick close" << QList<bool>{true, false} << QStringList{kSaveQuestion, kDistributionQuestion}
        << after << false;
    QTest::newRow("changes, close, Yes, distribution Yes")
        << "tick close" << QList<bool>{true, true} << QStringList{kSaveQuestion, kDistributionQuestion}
        << after << true;
    QTest::newRow("changes, close box: no question")
        << "tick closebox" << QList<bool>{} << QStringList{} << before << false;
    QTest::newRow("save Yes, changes, close No: the saved file goes out")
        << "tick save tick close" << QList<bool>{true, false}
        << QStringList{kDistributionQuestion, kSaveQuestion} << after << true;
    QTest::newRow("save Yes, save No: the request stays")
        << "tick save save close" << QList<bool>{true, false}
        << QStringList{kDistributionQuestion, kDistributionQuestion} << after << true;
    QTest::newRow("save No, close") << "save close" << QList<bool>{false}
                                    << QStringList{kDistributionQuestion} << before << false;
}

void TestGroupEditor::saveAndClose() {
    QFETCH(QString, script);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, questions);
    QFETCH(QByteArray, written);
    QFETCH(bool, distributed);
    TEditorFixture f;
    QVERIFY(writeBytes(f.file(), "[A]\r\nMembers=PC1,\r\n\r\n"));
    for (bool answer : answers)
        f.peer.boxes.answers << answer;
    int shown = 0;
    RunGroupEditing(f.editor, f.peer.groups, f.targets, [&] {
        ++shown;
        for (const QString& step : script.split(QLatin1Char(' '))) {
            if (step == QLatin1String("tick"))
                f.tick("PC3", !f.editor.computers().at(f.row("PC3")).ticked);
            else if (step == QLatin1String("save"))
                QVERIFY(f.editor.ButtonSaveClick());
            else if (step == QLatin1String("close"))
                QVERIFY(f.editor.ButtonCloseClick());
        }
    });
    QCOMPARE(shown, 1);
    QCOMPARE(f.peer.boxes.texts(), questions);
    QVERIFY(f.editor.store() == nullptr);
    QCOMPARE(fileBytes(f.file()), written);
    QCOMPARE(f.peer.sent.size(), distributed ? 1 : 0);
    if (distributed)
        QCOMPARE(f.peer.sent.first(),
                 std::make_pair(QByteArray("*"),
                                QByteArray("PC-TEST:KVPALAVEROGROUPS:") + "[A]\nMembers=PC1,PC3,\n\n"));
    QVERIFY(!f.editor.isDistributionRequested());
    QCOMPARE(f.peer.targets.texts(), QByteArrayList({"<A>"}));

    // The next run starts from the file: nothing unsaved, no question.
    f.peer.boxes.boxes.clear();
    RunGroupEditing(f.editor, f.peer.groups, f.targets, [&] {
        QVERIFY(!f.editor.isModified());
        QVERIFY(f.editor.ButtonCloseClick());
    });
    QVERIFY(f.peer.boxes.boxes.isEmpty());
    QCOMPARE(f.peer.sent.size(), distributed ? 1 : 0);
}

void TestGroupEditor::saveFailure() {
    TEditorFixture f;
    const QString folder = f.dir.filePath(QStringLiteral("später"));
    const QString path = folder + QStringLiteral("/PalaveroGroups.ini");
    f.editor.SetGroupsFile(path);
    QVERIFY(f.open(std::nullopt));
    f.prompt.answers << QStringLiteral("Neu");
    f.editor.ButtonNewGroupClick();
    f.tick("PC1");
    QVERIFY(!f.editor.ButtonSaveClick());
    QCOMPARE(f.peer.boxes.boxes.size(), 1);
    QCOMPARE(f.peer.boxes.boxes.first().text,
             QStringLiteral("Die Gruppendatei kann nicht gespeichert werden: ") + path +
                 QStringLiteral("\r\nDer Ordner existiert nicht."));
    QCOMPARE(f.peer.boxes.boxes.first().icon, IMessageBoxes::Icon::Error);
    QVERIFY(f.editor.isModified());
    QVERIFY(!f.editor.isDistributionRequested());
    // Through "Schließen": the window stays open, with the changes.
    f.peer.boxes.answers << true;
    QVERIFY(!f.editor.ButtonCloseClick());
    QCOMPARE(f.peer.boxes.texts().size(), 3);
    QVERIFY(f.editor.isModified());
    // Once the file can be written, the same store is saved.
    QVERIFY(QDir().mkpath(folder));
    f.peer.boxes.answers << true << false;
    QVERIFY(f.editor.ButtonCloseClick());
    QCOMPARE(fileBytes(path), QByteArray("[Neu]\r\nMembers=PC1,\r\n\r\n"));
    QVERIFY(!f.editor.isModified());
}

void TestGroupEditor::unreadableFileIsNotEdited() {
    TEditorFixture f;
    QVERIFY(QDir().mkpath(f.file()));
    f.peer.targets.AddRemoteComputer("<Alt>", QByteArray());
    bool shown = false;
    RunGroupEditing(f.editor, f.peer.groups, f.targets, [&] { shown = true; });
    QVERIFY(!shown);
    QCOMPARE(f.peer.boxes.texts(),
             QStringList{QStringLiteral("Die Gruppendatei kann nicht gelesen werden: ") + f.file() +
                         QStringLiteral("\r\nUnter diesem Namen besteht ein Ordner.")});
    QVERIFY(f.editor.store() == nullptr);
    QCOMPARE(f.peer.targets.texts(), QByteArrayList({"<Alt>"}));
    QVERIFY(f.peer.sent.isEmpty());
}

void TestGroupEditor::groupsReceivedWhileOpen() {
    // A distribution from a peer replaces the file under the open editor; the
    // editor keeps its copy, and its "Speichern" writes that copy over it.
    TEditorFixture f;
    QVERIFY(writeBytes(f.file(), "[A]\r\nMembers=PC1,\r\n\r\n"));
    f.peer.boxes.answers << true << false;
    RunGroupEditing(f.editor, f.peer.groups, f.targets, [&] {
        f.peer.groups.onGroupsReceived("[X]\nMembers=PC9,\n\n");
        QCOMPARE(f.peer.targets.texts(), QByteArrayList({"<X>"}));
        QCOMPARE(f.editor.groups(), QByteArrayList({"A"}));
        f.tick("PC2");
        QVERIFY(f.editor.ButtonCloseClick());
    });
    QCOMPARE(fileBytes(f.file()), QByteArray("[A]\r\nMembers=PC1,PC2,\r\n\r\n"));
    QCOMPARE(f.peer.targets.texts(), QByteArrayList({"<A>"}));
}

// ---------------------------------------------------------------- the window

void TestGroupEditor::formCaptions_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("close");
    QTest::newRow("de-DE") << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("Schließen");
    QTest::newRow("de-AT") << QLocale(QLocale::German, QLocale::Austria) << QStringLiteral("Schließen");
    QTest::newRow("de-CH") << QLocale(QLocale::German, QLocale::Switzerland) << QStringLiteral("Schliessen");
    QTest::newRow("de-LI") << QLocale(QLocale::German, QLocale::Liechtenstein)
                           << QStringLiteral("Schliessen");
    QTest::newRow("fr-CH") << QLocale(QLocale::French, QLocale::Switzerland) << QStringLiteral("Schließen");
}

void TestGroupEditor::formCaptions() {
    QFETCH(QLocale, locale);
    QFETCH(QString, close);
    TFakeMessageBoxes boxes;
    TFormGroups form(boxes, locale);
    QCOMPARE(form.windowTitle(), QStringLiteral("Gruppen"));
    QCOMPARE(form.ButtonClose->text(), close);
    QCOMPARE(form.ButtonNewGroup->text(), QStringLiteral("Neue Gruppe"));
    QCOMPARE(form.ButtonDeleteGroup->text(), QStringLiteral("Gruppe löschen"));
    QCOMPARE(form.ButtonSave->text(), QStringLiteral("Speichern"));
    const QAbstractItemModel* header = form.HeaderControlGroups->model();
    QCOMPARE(header->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Gruppen"));
    QCOMPARE(header->headerData(1, Qt::Horizontal).toString(), QString());
    QCOMPARE(header->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Computer"));
    TFormNewGroup& prompt = form.formNewGroup();
    QCOMPARE(prompt.windowTitle(), QStringLiteral("Neue Gruppe"));
    QCOMPARE(prompt.ButtonOk->text(), QStringLiteral("Ok"));
    QCOMPARE(prompt.ButtonCancel->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(prompt.parentWidget(), &form);
    // Every caption fits its button.
    for (QPushButton* b : form.findChildren<QPushButton*>())
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 12 <= b->width(), qPrintable(b->text()));
}

void TestGroupEditor::formLayout() {
    TFakeMessageBoxes boxes;
    TFormGroups form(boxes, QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(form.size(), QSize(484, 293));
    QCOMPARE(form.minimumSize(), QSize(484, 211));
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(601, 300);
    QTRY_COMPARE(form.width(), 601);
    const int half = (601 - 24) / 2;
    QCOMPARE(form.ListBoxGroups->width(), half - 6);
    QCOMPARE(form.PanelCenter->geometry(),
             QRect(half, form.PanelCenter->y(), 24, form.PanelCenter->height()));
    QCOMPARE(form.HeaderControlGroups->sectionSize(0), half);
    QCOMPARE(form.HeaderControlGroups->sectionSize(1), 24);
    QCOMPARE(form.HeaderControlGroups->sectionSize(2), half);
    QCOMPARE(form.CheckListBoxComputers->geometry().right(), 601 - 4);
    QCOMPARE(form.PanelBottom->geometry(), QRect(0, 300 - 51, 601, 51));
    QCOMPARE(form.ButtonClose->geometry().right(), 601 - 9);
    QVERIFY(form.ButtonSave->geometry().right() < form.ButtonClose->x());
    QVERIFY(form.ButtonDeleteGroup->geometry().right() < form.ButtonSave->x());
}

void TestGroupEditor::formShowsAndForwards() {
    QTemporaryDir dir;
    TGroupPeer peer(dir.path());
    TFormGroups form(peer.boxes, QLocale(QLocale::German, QLocale::Germany));
    form.SetGroupsFile(peer.groups.groupsFile());
    QVERIFY(writeBytes(form.groupsFile(), "[A]\r\nMembers=PC2,\r\n\r\n[B\xfcro]\r\nMembers=\r\n\r\n"));
    TGroupEditor& editor = form.editor();
    editor.fillComputers("PC-TEST", {"PC1", "PC2"});
    QVERIFY(editor.FormShow());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.ListBoxGroups->count(), 2);
    QCOMPARE(form.ListBoxGroups->item(1)->text(), QStringLiteral("Büro"));
    QCOMPARE(form.ListBoxGroups->currentRow(), 0);
    auto ticks = [&] {
        QString out;
        for (int i = 0; i < form.CheckListBoxComputers->count(); ++i) {
            const QListWidgetItem* item = form.CheckListBoxComputers->item(i);
            out += item->text() +
                   (item->checkState() == Qt::Checked ? QStringLiteral("* ") : QStringLiteral(" "));
        }
        return out.trimmed();
    };
    QCOMPARE(ticks(), QStringLiteral("PC-TEST PC1 PC2*"));

    // A tick in the list reaches the store.
    form.CheckListBoxComputers->item(1)->setCheckState(Qt::Checked);
    QCOMPARE(editor.store()->membersText("A"), QByteArray("PC1,PC2,"));
    // Choosing the other group shows its members.
    form.ListBoxGroups->setCurrentRow(1);
    QCOMPARE(editor.selectedGroup(), 1);
    QCOMPARE(ticks(), QStringLiteral("PC-TEST PC1 PC2"));
    // Nothing selected: a tick is refused and taken back.
    form.ListBoxGroups->clearSelection();
    QCOMPARE(editor.selectedGroup(), -1);
    form.CheckListBoxComputers->item(0)->setCheckState(Qt::Checked);
    QCOMPARE(ticks(), QStringLiteral("PC-TEST PC1 PC2"));
    QCOMPARE(peer.boxes.texts(), QStringList{QStringLiteral("Bitte zuerst eine Gruppe auswählen!")});

    // A double click on a group renames it; "Neue Gruppe" adds one.
    TFakePrompt prompt;
    editor.setNamePrompt(prompt);
    prompt.answers << QStringLiteral("Technik") << QStringLiteral("Neu");
    const QRect second = form.ListBoxGroups->visualItemRect(form.ListBoxGroups->item(1));
    QTest::mouseClick(form.ListBoxGroups->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(form.ListBoxGroups->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(prompt.asked, QStringList{QStringLiteral("Büro")});
    QCOMPARE(form.ListBoxGroups->item(1)->text(), QStringLiteral("Technik"));
    form.ButtonNewGroup->click();
    QCOMPARE(form.ListBoxGroups->count(), 3);
    QCOMPARE(form.ListBoxGroups->currentItem()->text(), QStringLiteral("Neu"));
    QVERIFY(editor.isModified());

    // Escape and Enter do not close it; "Schließen" does, after the question.
    QTest::keyClick(form.ListBoxGroups, Qt::Key_Escape);
    QTest::keyClick(form.ListBoxGroups, Qt::Key_Return);
    QVERIFY(form.isVisible());
    peer.boxes.answers << false;
    form.ButtonClose->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(peer.boxes.texts().last(), kSaveQuestion);
    QCOMPARE(fileBytes(form.groupsFile()),
             QByteArray("[A]\r\nMembers=PC2,\r\n\r\n[B\xfcro]\r\nMembers=\r\n\r\n"));
}

PALAVERO_TEST_MAIN(TestGroupEditor)
#include "tst_groupeditor.moc"
