#include "GroupPeer.h"
#include "common/BadFiles.h"
#include "common/Fakes.h"
#include "common/TestMain.h"

#include "groups/GroupDistribution.h"
#include "groups/GroupFile.h"
#include "groups/GroupOps.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(TGroupFile::Encoding)

namespace {

// "name=member|member" per group, one line each, in store order.
QByteArray describe(const TGroupFile& file) {
    QByteArray out;
    for (const QByteArray& name : file.groupNames())
        out += name + '=' + file.members(name).join('|') + '\n';
    return out;
}

QByteArray utf16(const QString& text, QStringEncoder::Encoding enc) {
    QStringEncoder encoder(enc, QStringEncoder::Flag::Stateless);
    return encoder(text);
}

using TPeer = TGroupPeer;

const QByteArray kVertriebWritten = "[Vertrieb]\r\nMembers=PC1,PC2,\r\n\r\n";
const QByteArray kVertriebSent = "[Vertrieb]\nMembers=PC1,PC2,\n\n";

} // namespace

class TestGroups : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void reader_data();
    void reader();
    void lookups();
    void foldedNamesCompareAsNames();
    void writer_data();
    void writer();
    void bomRoundTrip_data();
    void bomRoundTrip();
    void editing();
    void loadStatus();

    void readFileText_data();
    void readFileText();
    void applyReceivedGroups();
    void applyReceivedGroupsFailureKeepsOldFile();

    void groupMembersText_data();
    void groupMembersText();
    void isGroupEntry_data();
    void isGroupEntry();

    void sendGroups_data();
    void sendGroups();
    void rebuildTargetList();
    void rebuildTargetListUnreadableFile_data();
    void rebuildTargetListUnreadableFile();
    void failedDistributionIsReportedOnce();
    void receiveGroups();
    void distributionRoundTrip();
};

void TestGroups::reader_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("groups");
    QTest::addColumn<TGroupFile::Encoding>("encoding");
    const auto ansi = TGroupFile::Encoding::Ansi;

    QTest::newRow("CR LF") << kVertriebWritten << QByteArray("Vertrieb=PC1|PC2\n") << ansi;
    QTest::newRow("LF") << kVertriebSent << QByteArray("Vertrieb=PC1|PC2\n") << ansi;
    QTest::newRow("CR") << QByteArray("[Vertrieb]\rMembers=PC1,PC2,\r\r[Technik]\rMembers=PC3\r")
                        << QByteArray("Vertrieb=PC1|PC2\nTechnik=PC3\n") << ansi;
    QTest::newRow("mixed line ends, no final break")
        << QByteArray("[A]\r\nMembers=X\n[B]\rMembers=Y") << QByteArray("A=X\nB=Y\n") << ansi;
    QTest::newRow("blanks around = and ,")
        << QByteArray("[Vertrieb]\r\nMembers = PC1 , PC2\r\n") << QByteArray("Vertrieb=PC1|PC2\n") << ansi;
    QTest::newRow("blank inside a value splits")
        << QByteArray("[Vertrieb]\r\nMembers=PC 1\r\n") << QByteArray("Vertrieb=PC|1\n") << ansi;
    QTest::newRow("line trimmed of blanks and controls")
        << QByteArray("\t [A] \x01\r\n \tMembers=X\x02 \r\n") << QByteArray("A=X\n") << ansi;
    QTest::newRow("section name trimmed")
        << QByteArray("[  Vertrieb \t]\nMembers=PC1") << QByteArray("Vertrieb=PC1\n") << ansi;
    QTest::newRow("comments") << QByteArray(
                                     "; Gruppen\r\n[A]\r\n;Members=X\r\n  ; Members=Z\r\nMembers=Y\r\n")
                              << QByteArray("A=Y\n") << ansi;
    QTest::newRow("lines before the first section")
        << QByteArray("Members=X\r\nfoo\r\n[A]\r\nMembers=Y\r\n") << QByteArray("A=Y\n") << ansi;
    QTest::newRow("duplicate section: first wins")
        << QByteArray("[A]\nMembers=X\n[B]\nMembers=Z\n[a]\nMembers=Y\nOther=1\n") << QByteArray("A=X\nB=Z\n")
        << ansi;
    QTest::newRow("duplicate section without key in first")
        << QByteArray("[A]\n[A]\nMembers=Y\n") << QByteArray("A=\n") << ansi;
    QTest::newRow("duplicate key: first wins")
        << QByteArray("[A]\nMembers=X\nmembers=Y\n") << QByteArray("A=X\n") << ansi;
    QTest::newRow("key name case ignored")
        << QByteArray("[A]\nMEMBERS=X,Y\n") << QByteArray("A=X|Y\n") << ansi;
    QTest::newRow("key without = is an empty value")
        << QByteArray("[A]\nMembers\nMembers=X\n") << QByteArray("A=\n") << ansi;
    QTest::newRow("value split at first =")
        << QByteArray("[A]\nMembers=X=Y\n") << QByteArray("A=X=Y\n") << ansi;
    QTest::newRow("missing Members key") << QByteArray("[A]\nOther=PC1\n") << QByteArray("A=\n") << ansi;
    QTest::newRow("unclosed bracket is a key")
        << QByteArray("[A]\n[B\nMembers=X\n") << QByteArray("A=X\n") << ansi;
    QTest::newRow("empty section name") << QByteArray("[]\nMembers=X\n") << QByteArray("=X\n") << ansi;
    QTest::newRow("quoted members") << QByteArray("[A]\nMembers=\"PC 1\",\"Q\"\"X\",PC2\n")
                                    << QByteArray("A=PC 1|Q\"X|PC2\n") << ansi;
    QTest::newRow("empty names dropped")
        << QByteArray("[A]\nMembers=,PC1,,PC2,\n") << QByteArray("A=PC1|PC2\n") << ansi;
    QTest::newRow("NUL ends the text")
        << QByteArray("[A]\nMembers=PC1\0,PC2\n[B]\nMembers=PC3\n", 36) << QByteArray("A=PC1\n") << ansi;
    QTest::newRow("NUL first") << QByteArray("\0[A]\n", 5) << QByteArray() << ansi;
    QTest::newRow("byte 26") << QByteArray("[A]\nMembers=PC1,\x1a\n[B]\nMembers=PC\x1aX\n\x1a")
                             << QByteArray("A=PC1\nB=PC|X\n") << ansi;
    QTest::newRow("empty file") << QByteArray() << QByteArray() << ansi;
    QTest::newRow("ANSI umlaut name")
        << QByteArray("[B\xfcro]\r\nMembers=PC1,\r\n") << QByteArray("B\xfcro=PC1\n") << ansi;
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF[B\xC3\xBCro]\r\nMembers=PC1,\r\n\r\n")
                               << QByteArray("B\xfcro=PC1\n") << TGroupFile::Encoding::Utf8;
    QTest::newRow("UTF-16 LE BOM") << QByteArray("\xFF\xFE") +
                                          utf16(QStringLiteral("[Büro]\r\nMembers=PC1,PC2,\r\n\r\n"),
                                                QStringEncoder::Utf16LE)
                                   << QByteArray("B\xfcro=PC1|PC2\n") << TGroupFile::Encoding::Utf16LE;
    QTest::newRow("UTF-16 BE BOM") << QByteArray("\xFE\xFF") + utf16(QStringLiteral("[Büro]\nMembers=PC1\n"),
                                                                     QStringEncoder::Utf16BE)
                                   << QByteArray("B\xfcro=PC1\n") << TGroupFile::Encoding::Utf16BE;
    QTest::newRow("UTF-16 LE with NUL character")
        << QByteArray("\xFF\xFE") + utf16(QStringLiteral("[A]\nMembers=X"), QStringEncoder::Utf16LE) +
               QByteArray("\0\0", 2) + utf16(QStringLiteral("\n[B]\n"), QStringEncoder::Utf16LE)
        << QByteArray("A=X\n") << TGroupFile::Encoding::Utf16LE;
    QTest::newRow("UTF-16 LE odd length")
        << QByteArray("\xFF\xFE[\0A\0]\0\n\0\n", 11) << QByteArray("A=\n") << TGroupFile::Encoding::Utf16LE;
}

void TestGroups::reader() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, groups);
    QFETCH(TGroupFile::Encoding, encoding);
    const TGroupFile file = TGroupFile::fromBytes(bytes);
    QCOMPARE(describe(file), groups);
    QCOMPARE(file.encoding(), encoding);

    // The same through a real file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("g.ini"));
    QVERIFY(writeBytes(path, bytes));
    TGroupFile::LoadStatus status = TGroupFile::LoadStatus::Missing;
    QCOMPARE(describe(TGroupFile::load(path, &status)), groups);
    QCOMPARE(status, TGroupFile::LoadStatus::Loaded);
}

void TestGroups::lookups() {
    const TGroupFile file =
        TGroupFile::fromBytes("[B\xdcRO]\r\nmembers= PC1, PC2 \r\nOther=x\r\n[Vertrieb]\r\nOther=y\r\n");
    QVERIFY(file.contains("b\xfcro"));
    QVERIFY(file.contains("VERTRIEB"));
    QVERIFY(!file.contains("Technik"));
    QCOMPARE(file.membersText("b\xfcro"), QByteArray("PC1, PC2"));
    QCOMPARE(file.members("B\xdcro"), QByteArrayList({"PC1", "PC2"}));
    QCOMPARE(file.value("vertrieb", "OTHER"), std::optional<QByteArray>("y"));
    QCOMPARE(file.value("vertrieb", "Members"), std::nullopt);
    QCOMPARE(file.value("Technik", "Members"), std::nullopt);
    QCOMPARE(file.membersText("Technik"), QByteArray());
    QVERIFY(file.members("Technik").isEmpty());
    // Names keep the letter case they were written with.
    QCOMPARE(file.groupNames(), QByteArrayList({"B\xdcRO", "Vertrieb"}));
}

// Lookups go by the folded name; it must tell names apart exactly as the
// comparison of names does, for every pair of Windows-1252 letters.
void TestGroups::foldedNamesCompareAsNames() {
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const QByteArray x = "G" + QByteArray(1, char(a));
            const QByteArray y = "g" + QByteArray(1, char(b));
            if (TGroupFile::sameName(x, y) != (TGroupFile::foldedName(x) == TGroupFile::foldedName(y)))
                QFAIL(qPrintable(QStringLiteral("bytes %1 and %2").arg(a).arg(b)));
        }
    }
    // A repeated name, in another letter case, is dropped whole; the first wins.
    TGroupFile file = TGroupFile::fromBytes("[\xc4rzte]\nMembers=A,\n[\xe4RZTE]\nMembers=B,\n[x]\n");
    QCOMPARE(file.groupNames(), QByteArrayList({"\xc4rzte", "x"}));
    QCOMPARE(file.members("\xe4rzte"), QByteArrayList({"A"}));
    QVERIFY(file.removeGroup("X"));
    QVERIFY(!file.contains("x"));
    file.setMembersText("Neu", "C,");
    QCOMPARE(file.members("NEU"), QByteArrayList({"C"}));
    QCOMPARE(file.members("\xc4RZTE"), QByteArrayList({"A"}));
}

void TestGroups::writer_data() {
    QTest::addColumn<QByteArrayList>("groups"); // "name=member,member"
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("Vertrieb") << QByteArrayList{"Vertrieb=PC1,PC2"} << kVertriebWritten;
    QTest::newRow("group without members")
        << QByteArrayList{"Leer="} << QByteArray("[Leer]\r\nMembers=\r\n\r\n");
    QTest::newRow("file order kept") << QByteArrayList{"Zeta=B", "Alpha=A"}
                                     << QByteArray(
                                            "[Zeta]\r\nMembers=B,\r\n\r\n[Alpha]\r\nMembers=A,\r\n\r\n");
    QTest::newRow("umlaut stays one byte")
        << QByteArrayList{"B\xfcro=PC\xe4"} << QByteArray("[B\xfcro]\r\nMembers=PC\xe4,\r\n\r\n");
    QTest::newRow("empty store") << QByteArrayList{} << QByteArray();
}

void TestGroups::writer() {
    QFETCH(QByteArrayList, groups);
    QFETCH(QByteArray, written);
    TGroupFile file;
    for (const QByteArray& g : groups) {
        const qsizetype eq = g.indexOf('=');
        const QByteArray members = g.mid(eq + 1);
        file.setMembers(g.left(eq), members.isEmpty() ? QByteArrayList() : members.split(','));
    }
    QCOMPARE(file.toBytes(), written);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    QVERIFY(writeBytes(path, "old contents that must go"));
    QVERIFY(file.save(path));
    QCOMPARE(fileBytes(path), written);
    QCOMPARE(QFileInfo(path).size(), qint64(written.size()));
    // What was written reads back as the same groups.
    QCOMPARE(describe(TGroupFile::load(path)), describe(file));
}

void TestGroups::bomRoundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("name");
    const QString text = QStringLiteral("[Büro]\r\nMembers=PC1,PC2,\r\n\r\n[Ärzte]\r\nMembers=\r\n\r\n");
    QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << QByteArray("B\xfcro");
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") + utf16(text, QStringEncoder::Utf16LE)
                               << QByteArray("B\xfcro");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") + utf16(text, QStringEncoder::Utf16BE)
                               << QByteArray("B\xfcro");
    QTest::newRow("ANSI") << QByteArray("[B\xfcro]\r\nMembers=PC1,PC2,\r\n\r\n[\xc4rzte]\r\nMembers=\r\n\r\n")
                          << QByteArray("B\xfcro");
}

void TestGroups::bomRoundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    QVERIFY(writeBytes(path, bytes));
    TGroupFile file = TGroupFile::load(path);
    QCOMPARE(file.groupNames(), QByteArrayList({name, "\xc4rzte"}));
    QCOMPARE(file.members(name), QByteArrayList({"PC1", "PC2"}));
    // Written back unchanged: byte for byte, mark included.
    QVERIFY(file.save(path));
    QCOMPARE(fileBytes(path), bytes);
    // A change keeps the encoding.
    file.setMembers("\xc4rzte", {"PC\xe4"});
    QVERIFY(file.save(path));
    const TGroupFile again = TGroupFile::load(path);
    QCOMPARE(again.encoding(), file.encoding());
    QCOMPARE(again.members("\xe4rzte"), QByteArrayList({"PC\xe4"}));
    QVERIFY(fileBytes(path).startsWith(bytes.left(2)));
}

void TestGroups::editing() {
    TGroupFile file = TGroupFile::fromBytes("[A]\r\nMembers=X,\r\nOther=1\r\n[B]\r\n[C]\r\nMembers=Z,\r\n");
    // Overwriting keeps the section in its place; the key is found in any letter case.
    file.setMembersText("a", "Y,");
    file.setMembers("B", {"PC1", "PC2"});
    QCOMPARE(file.groupNames(), QByteArrayList({"A", "B", "C"}));
    QCOMPARE(file.toBytes(), QByteArray("[A]\r\nMembers=Y,\r\n\r\n[B]\r\nMembers=PC1,PC2,\r\n\r\n"
                                        "[C]\r\nMembers=Z,\r\n\r\n"));
    // Renaming is erase and re-create: the section moves to the end.
    const QByteArray members = file.membersText("A");
    QVERIFY(file.removeGroup("A"));
    file.setMembersText("Neu", members);
    QCOMPARE(file.groupNames(), QByteArrayList({"B", "C", "Neu"}));
    QVERIFY(!file.removeGroup("A"));
    // Renaming onto an existing group overwrites that group's members in place.
    const QByteArray neu = file.membersText("Neu");
    QVERIFY(file.removeGroup("Neu"));
    file.setMembersText("b", neu);
    QCOMPARE(file.groupNames(), QByteArrayList({"B", "C"}));
    QCOMPARE(file.members("B"), QByteArrayList({"Y"}));
    QVERIFY(file.removeGroup("B"));
    QVERIFY(file.removeGroup("c"));
    QVERIFY(file.isEmpty());
    QCOMPARE(file.toBytes(), QByteArray());
    QCOMPARE(TGroupFile::memberListText({}), QByteArray());
    QCOMPARE(TGroupFile::memberListText({"PC2", "PC1"}), QByteArray("PC2,PC1,"));
}

void TestGroups::loadStatus() {
    QTemporaryDir dir;
    TGroupFile::LoadStatus status = TGroupFile::LoadStatus::Loaded;
    QVERIFY(TGroupFile::load(dir.filePath(QStringLiteral("missing.ini")), &status).isEmpty());
    QCOMPARE(status, TGroupFile::LoadStatus::Missing);
    // A folder where the file should be exists but cannot be read as a file.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    QVERIFY(TGroupFile::load(dir.filePath(QStringLiteral("folder.ini")), &status).isEmpty());
    QCOMPARE(status, TGroupFile::LoadStatus::Unreadable);
}

void TestGroups::readFileText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("CR LF becomes LF") << kVertriebWritten << kVertriebSent;
    QTest::newRow("lone CR removed") << QByteArray("a\rb\r") << QByteArray("ab");
    QTest::newRow("LF kept") << QByteArray("a\nb\n") << QByteArray("a\nb\n");
    QTest::newRow("cut at byte 0") << QByteArray("[A]\r\nM=1\0[B]\r\n", 14) << QByteArray("[A]\nM=1");
    QTest::newRow("cut at byte 26") << QByteArray("[A]\r\n\x1a[B]\0") << QByteArray("[A]\n");
    QTest::newRow("byte 0 first") << QByteArray("\0abc", 4) << QByteArray();
    QTest::newRow("BOM kept as bytes")
        << QByteArray("\xEF\xBB\xBF[A]\r\n") << QByteArray("\xEF\xBB\xBF[A]\n");
    QTest::newRow("umlauts kept") << QByteArray("[B\xfcro]\r\n") << QByteArray("[B\xfcro]\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray();
}

void TestGroups::readFileText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("g.ini"));
    QVERIFY(writeBytes(path, bytes));
    QCOMPARE(ReadFileText(path), text);
    QCOMPARE(ReadFileText(dir.filePath(QStringLiteral("missing.ini"))), QByteArray());
    QCOMPARE(ReadFileText(dir.path()), QByteArray());
}

void TestGroups::applyReceivedGroups() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    // Created when missing, exact bytes: LF stays LF, nothing is checked.
    QVERIFY(ApplyReceivedGroups(path, kVertriebSent));
    QCOMPARE(fileBytes(path), kVertriebSent);
    // Replaces a longer old file entirely.
    QVERIFY(writeBytes(path, QByteArray(5000, 'x')));
    const QByteArray odd("no ini at all\n\xfc\r\n\x1a tail", 22);
    QVERIFY(ApplyReceivedGroups(path, odd));
    QCOMPARE(fileBytes(path), odd);
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"PalaveroGroups.ini"});
}

void TestGroups::applyReceivedGroupsFailureKeepsOldFile() {
    QTemporaryDir dir;
    // The folder is a regular file: nothing can be created in it.
    const QString notAFolder = dir.filePath(QStringLiteral("plain"));
    QVERIFY(writeBytes(notAFolder, "plain file"));
    QVERIFY(!ApplyReceivedGroups(notAFolder + QStringLiteral("/PalaveroGroups.ini"), kVertriebSent));
    QCOMPARE(fileBytes(notAFolder), QByteArray("plain file"));
    // The path is a folder.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    QVERIFY(!ApplyReceivedGroups(dir.filePath(QStringLiteral("folder.ini")), kVertriebSent));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder.ini"))).isDir());

    // A write that fails halfway (file size limit, which holds for root too)
    // leaves the old file whole.
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    QVERIFY(writeBytes(path, kVertriebWritten));
    rlimit old{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool applied = ApplyReceivedGroups(path, QByteArray(100000, 'y'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    QVERIFY(!applied);
    QCOMPARE(fileBytes(path), kVertriebWritten);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"PalaveroGroups.ini", "plain"}));
}

void TestGroups::groupMembersText_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<std::optional<QByteArray>>("members");
    QTest::newRow("no file") << false << QByteArray("Vertrieb") << std::optional<QByteArray>();
    QTest::newRow("group") << true << QByteArray("Vertrieb") << std::optional<QByteArray>("PC1 , PC2,");
    QTest::newRow("letter case ignored")
        << true << QByteArray("vERTRIEB") << std::optional<QByteArray>("PC1 , PC2,");
    QTest::newRow("first occurrence") << true << QByteArray("Technik") << std::optional<QByteArray>("T1");
    QTest::newRow("no Members key") << true << QByteArray("Leer") << std::optional<QByteArray>("");
    QTest::newRow("missing group") << true << QByteArray("Fehlt") << std::optional<QByteArray>("");
}

void TestGroups::groupMembersText() {
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, group);
    QFETCH(std::optional<QByteArray>, members);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    if (fileExists) {
        QVERIFY(writeBytes(path, "[Vertrieb]\r\nMembers =  PC1 , PC2, \t\r\n[Technik]\r\nmembers=T1\r\n"
                                 "Members=T2\r\n[technik]\r\nMembers=T3\r\n[Leer]\r\n"));
    }
    QCOMPARE(::groupMembersText(path, group), members);
}

void TestGroups::isGroupEntry_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("group");
    QTest::newRow("group") << QByteArray("<Vertrieb>") << true;
    QTest::newRow("blanks before") << QByteArray(" \t<Vertrieb>") << true;
    QTest::newRow("only <") << QByteArray("<") << true;
    QTest::newRow("computer") << QByteArray("Vertrieb") << false;
    QTest::newRow("all") << QByteArray("*") << false;
    QTest::newRow("< later") << QByteArray("PC<1>") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestGroups::isGroupEntry() {
    QFETCH(QByteArray, text);
    QFETCH(bool, group);
    QCOMPARE(::isGroupEntry(text), group);
    QCOMPARE(::isGroupEntry(groupEntryText(text)), true);
}

void TestGroups::sendGroups_data() {
    QTest::addColumn<std::optional<QByteArray>>("file");
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("Vertrieb") << std::optional<QByteArray>(kVertriebWritten)
                              << QByteArray("PC-TEST:KVPALAVEROGROUPS:") + kVertriebSent;
    QTest::newRow("no file") << std::optional<QByteArray>() << QByteArray("PC-TEST:KVPALAVEROGROUPS:");
    QTest::newRow("empty file") << std::optional<QByteArray>("") << QByteArray("PC-TEST:KVPALAVEROGROUPS:");
    QTest::newRow("cut at byte 26") << std::optional<QByteArray>("[A]\r\n\x1a[B]\r\n")
                                    << QByteArray("PC-TEST:KVPALAVEROGROUPS:[A]\n");
}

void TestGroups::sendGroups() {
    QFETCH(std::optional<QByteArray>, file);
    QFETCH(QByteArray, datagram);
    QTemporaryDir dir;
    TPeer peer(dir.path());
    if (file)
        QVERIFY(writeBytes(peer.groups.groupsFile(), *file));
    QVERIFY(peer.groups.SendGroups());
    QCOMPARE(peer.sent.size(), 1);
    QCOMPARE(peer.sent.at(0).first, QByteArray("*"));
    QCOMPARE(peer.sent.at(0).second, datagram);
    QCOMPARE(TGroupDistribution::groupsDatagram("PC-TEST", ReadFileText(peer.groups.groupsFile())), datagram);
    // A refused send is passed on; nothing else is tried.
    peer.sendResult = false;
    QVERIFY(!peer.groups.SendGroups());
    QCOMPARE(peer.sent.size(), 2);
    QVERIFY(peer.boxes.boxes.isEmpty());
}

void TestGroups::rebuildTargetList() {
    QTemporaryDir dir;
    TPeer peer(dir.path());
    peer.targets.AddRemoteComputer("<Alt>", "");
    peer.targets.AddRemoteComputer("Vertrieb", "10.0.0.7");
    // Missing file: no groups, so no group entries; computers stay.
    peer.groups.RebuildTargetList();
    QCOMPARE(peer.targets.texts(), QByteArrayList({"Vertrieb"}));

    QVERIFY(writeBytes(peer.groups.groupsFile(),
                       "[Zeta]\r\nMembers=A,\r\n\r\n[Vertrieb]\r\nMembers=PC1,\r\n\r\n[Alpha]\r\n\r\n"));
    peer.groups.RebuildTargetList();
    // A group and a computer of the same name side by side.
    QCOMPARE(peer.targets.texts(), QByteArrayList({"<Alpha>", "<Vertrieb>", "<Zeta>", "Vertrieb"}));
    for (const QByteArray& text : peer.targets.texts())
        QCOMPARE(peer.targets.find(text, Qt::CaseSensitive)->FIPAddress,
                 ::isGroupEntry(text) ? QByteArray() : QByteArray("10.0.0.7"));
    // The file shrinks: the entries of the groups that went go too.
    QVERIFY(writeBytes(peer.groups.groupsFile(), "[Neu]\r\nMembers=X,\r\n\r\n"));
    peer.groups.RebuildTargetList();
    QCOMPARE(peer.targets.texts(), QByteArrayList({"<Neu>", "Vertrieb"}));
    QVERIFY(peer.boxes.boxes.isEmpty());
    QVERIFY(peer.sent.isEmpty());
}

void TestGroups::rebuildTargetListUnreadableFile_data() {
    BadFiles::addRows(TGroupFile::kMaxFileSize);
}

// A group file that is no regular file, or too large, is not read: nothing
// waits or grows, and the box gives the reason.
void TestGroups::rebuildTargetListUnreadableFile() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    TPeer peer(dir.path());
    peer.targets.AddRemoteComputer("<Alt>", "");
    QVERIFY(BadFiles::make(kind, peer.groups.groupsFile(), TGroupFile::kMaxFileSize));
    peer.groups.RebuildTargetList();
    // Nothing is known of the file, so the entries stay as they are.
    QCOMPARE(peer.targets.texts(), QByteArrayList({"<Alt>"}));
    QCOMPARE(peer.boxes.texts(), QStringList{QStringLiteral("Die Gruppendatei kann nicht gelesen werden: ") +
                                             peer.groups.groupsFile() + QStringLiteral("\r\n") + reason});
    QCOMPARE(peer.boxes.boxes.at(0).icon, IMessageBoxes::Icon::Error);
    // Nor do a distribution and a script's group read it.
    QCOMPARE(ReadFileText(peer.groups.groupsFile()), QByteArray());
    QCOMPARE(::groupMembersText(peer.groups.groupsFile(), "Alt"), std::optional<QByteArray>(QByteArray()));
}

// A received distribution that cannot be stored is said once in the status
// bar, with the reason, until one is stored again.
void TestGroups::failedDistributionIsReportedOnce() {
    QTemporaryDir dir;
    TPeer peer(dir.path());
    QStringList notices;
    peer.groups.setFailureReport([&notices](const QString& notice) { notices << notice; });
    QVERIFY(QDir().mkpath(peer.groups.groupsFile()));
    peer.groups.onGroupsReceived(kVertriebSent);
    peer.groups.onGroupsReceived(kVertriebSent);
    QCOMPARE(notices,
             QStringList{QStringLiteral("Empfangene Gruppen nicht gespeichert: Unter diesem Namen besteht ein Ordner.")});
    // The rebuild after each says that the file cannot be read, and does not crash.
    QCOMPARE(peer.boxes.boxes.size(), 2);
    QVERIFY(QDir().rmdir(peer.groups.groupsFile()));
    peer.groups.onGroupsReceived(kVertriebSent);
    QCOMPARE(notices.size(), 2);
    QCOMPARE(notices.last(), QString());
    QCOMPARE(fileBytes(peer.groups.groupsFile()), kVertriebSent);
    QCOMPARE(peer.targets.texts(), QByteArrayList({"<Vertrieb>"}));
}

void TestGroups::receiveGroups() {
    QTemporaryDir dir;
    TPeer peer(dir.path());
    QVERIFY(writeBytes(peer.groups.groupsFile(), "[Lokal]\r\nMembers=L1,\r\n\r\n"));
    peer.groups.RebuildTargetList();
    QCOMPARE(peer.targets.texts(), QByteArrayList({"<Lokal>"}));

    // An empty payload is ignored: the local groups stay.
    peer.groups.onGroupsReceived(QByteArray());
    QCOMPARE(fileBytes(peer.groups.groupsFile()), QByteArray("[Lokal]\r\nMembers=L1,\r\n\r\n"));

    // A payload replaces the file silently; the entry of the group that only
    // this computer had goes with it.
    peer.groups.onGroupsReceived(kVertriebSent);
    QCOMPARE(fileBytes(peer.groups.groupsFile()), kVertriebSent);
    QCOMPARE(peer.targets.texts(), QByteArrayList({"<Vertrieb>"}));
    QVERIFY(peer.boxes.boxes.isEmpty());
    QVERIFY(peer.sent.isEmpty());
    QCOMPARE(::groupMembersText(peer.groups.groupsFile(), "Lokal"), std::optional<QByteArray>(""));
}

void TestGroups::distributionRoundTrip() {
    QTemporaryDir senderDir;
    QTemporaryDir receiverDir;
    TPeer sender(senderDir.path(), "PC-A");
    TPeer receiver(receiverDir.path(), "PC-B");

    // The sender's editor saves Vertrieb with PC1 and PC2.
    TGroupFile store;
    store.setMembers("Vertrieb", {"PC1", "PC2"});
    QVERIFY(store.save(sender.groups.groupsFile()));
    QCOMPARE(fileBytes(sender.groups.groupsFile()), kVertriebWritten);

    // It travels with LF line ends.
    QVERIFY(sender.groups.SendGroups());
    QCOMPARE(sender.sent.size(), 1);
    const QByteArray datagram = sender.sent.at(0).second;
    const QByteArray prefix = QByteArray("PC-A:") + kGroupsKeyword;
    QVERIFY(datagram.startsWith(prefix));
    const QByteArray payload = datagram.mid(prefix.size());
    QCOMPARE(payload, kVertriebSent);

    // The receiver stores it so, and lists the group.
    QVERIFY(writeBytes(receiver.groups.groupsFile(), "[Lokal]\r\nMembers=X,\r\n\r\n"));
    receiver.groups.onGroupsReceived(payload);
    QCOMPARE(fileBytes(receiver.groups.groupsFile()), kVertriebSent);
    QCOMPARE(receiver.targets.texts(), QByteArrayList({"<Vertrieb>"}));

    // Both files read as the group Vertrieb with PC1 and PC2.
    for (const QString& path : {sender.groups.groupsFile(), receiver.groups.groupsFile()}) {
        const TGroupFile file = TGroupFile::load(path);
        QCOMPARE(file.groupNames(), QByteArrayList({"Vertrieb"}));
        QCOMPARE(file.members("Vertrieb"), QByteArrayList({"PC1", "PC2"}));
        QCOMPARE(::groupMembersText(path, "<Vertrieb>").value_or("?"), QByteArray(""));
        QCOMPARE(::groupMembersText(path, "Vertrieb"), std::optional<QByteArray>("PC1,PC2,"));
    }

    // The receiver distributing it on sends the same payload.
    QVERIFY(receiver.groups.SendGroups());
    QCOMPARE(receiver.sent.at(0).second, QByteArray("PC-B:") + kGroupsKeyword + kVertriebSent);
}

PALAVERO_TEST_GUILESS_MAIN(TestGroups)
#include "tst_groups.moc"
