#include "common/TestMain.h"

#include "core/Ansi.h"
#include "core/AppTitle.h"
#include "core/BlockSequence.h"
#include "core/ByteSet.h"
#include "core/FileReplace.h"
#include "core/NameOrder.h"
#include "core/TextUtil.h"
#include "core/Timestamp.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <random>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

class TestCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void unicodeBoundary();
    void trim_data();
    void trim();
    void splitDelimited_data();
    void splitDelimited();
    void timestamp();
    void fileReplaceKeepsOldFileOnFailure();
    void fileReplaceFailedLastWrite();
    void fileReplaceLeftovers();
    void fileReplaceReason_data();
    void fileReplaceReason();
    void appTitle_data();
    void appTitle();
    void blockSequenceMatchesVector_data();
    void blockSequenceMatchesVector();
    void byteSetTellsApart_data();
    void byteSetTellsApart();
    void nameOrderIsTheCollation_data();
    void nameOrderIsTheCollation();
    void nameOrderRanksOnlyCharacterByCharacter_data();
    void nameOrderRanksOnlyCharacterByCharacter();
    void nameOrderSkipsPunctuationFirst_data();
    void nameOrderSkipsPunctuationFirst();
};

void TestCore::unicodeBoundary() {
    QCOMPARE(Ansi::fromUnicode(QStringLiteral("Grüße €5 ✓")), QByteArray("Gr\xfc\xdf" "e \x80" "5 ?"));
    QCOMPARE(Ansi::toUnicode(QByteArray("Gr\xfc\xdf" "e \x80")), QStringLiteral("Grüße €"));
    // Every byte sequence round-trips: the five unassigned bytes map one to one.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(Ansi::fromUnicode(Ansi::toUnicode(all)), all);
    QCOMPARE(Ansi::fromUnicode(QString::fromUtf8("\xF0\x9F\x98\x80")), QByteArray("?"));
}

void TestCore::trim_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("blanks") << QByteArray("  a b  ") << QByteArray("a b");
    QTest::newRow("controls") << QByteArray("\r\n\ta\x01") << QByteArray("a");
    QTest::newRow("empty") << QByteArray("  \t ") << QByteArray();
    QTest::newRow("high bytes stay") << QByteArray("\xa0x\xa0") << QByteArray("\xa0x\xa0");
}

void TestCore::trim() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(TextUtil::trim(in), out);
    QCOMPARE(TextUtil::trim(QString::fromLatin1(in)), QString::fromLatin1(out));
}

void TestCore::splitDelimited_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("items");
    using L = QList<QByteArray>;
    QTest::newRow("two names") << QByteArray("PC1, PC2") << L{"PC1", "PC2"};
    QTest::newRow("blanks around comma") << QByteArray(" PC1 , PC2 ") << L{"PC1", "PC2"};
    QTest::newRow("blank splits") << QByteArray("PC 1") << L{"PC", "1"};
    QTest::newRow("quoted") << QByteArray("\"PC 1\",PC2") << L{"PC 1", "PC2"};
    QTest::newRow("doubled quote") << QByteArray("\"a\"\"b\",c") << L{"a\"b", "c"};
    QTest::newRow("empty item") << QByteArray("a,,b") << L{"a", "", "b"};
    QTest::newRow("trailing comma") << QByteArray("PC1,PC2,") << L{"PC1", "PC2", ""};
    QTest::newRow("leading comma") << QByteArray(",a") << L{"", "a"};
    QTest::newRow("empty") << QByteArray("") << L{};
    QTest::newRow("only blanks") << QByteArray(" \t ") << L{};
    QTest::newRow("star") << QByteArray("PC1,*") << L{"PC1", "*"};
    QTest::newRow("nul ends") << QByteArray("a,b\0c", 5) << L{"a", "b"};
    QTest::newRow("unterminated quote") << QByteArray("\"abc") << L{"abc"};
}

void TestCore::splitDelimited() {
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, items);
    QCOMPARE(TextUtil::splitDelimited(text), items);
}

void TestCore::timestamp() {
    const QDateTime when(QDate(2014, 11, 24), QTime(9, 15, 2));
    QCOMPARE(Timestamp::text(when, QLocale(QLocale::German, QLocale::Germany)),
             QStringLiteral("24.11.2014 09:15:02"));
    const QString us = Timestamp::text(when, QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY2(us.startsWith(QStringLiteral("11/24/2014 ")), qPrintable(us));
    QVERIFY2(!us.contains(QLatin1String("UTC")) && us.contains(QLatin1String(":02")), qPrintable(us));
}

void TestCore::fileReplaceKeepsOldFileOnFailure() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.ini"));
    QVERIFY(FileReplace::write(path, "old"));
    QVERIFY(FileReplace::write(path, "new\r\n"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("new\r\n"));
    f.close();
    // A folder that does not exist cannot take the new file.
    QVERIFY(!FileReplace::write(dir.filePath(QStringLiteral("missing/store.ini")), "x"));
#ifdef Q_OS_UNIX
    if (::geteuid() != 0) {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!FileReplace::write(path, "lost"));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new\r\n"));
    }
#endif
}

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
} // namespace

// The file system refuses the bytes after the first few (a full disk, here a
// file size limit): the write that fails is the last one, which a buffered file
// leaves to its final flush. The old file stays whole, no new file remains, and
// the reason is the system's.
void TestCore::fileReplaceFailedLastWrite() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    const QByteArray old = "[Vertrieb]\r\nMembers=PC1,PC2,\r\n\r\n";
    QVERIFY(FileReplace::write(path, old));
#ifndef Q_OS_UNIX
    QSKIP("a file size limit is a POSIX means");
#else
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    QString reason;
    const bool written = FileReplace::write(path, QByteArray(200, 'x'), &reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(reason, QStringLiteral("Die Datei ist zu groß für den Datenträger."));
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("PalaveroGroups.ini")});
#endif
}

// Only files of the program's own naming that were written before this start
// go: the user's files that look alike, and a replace running now, stay.
void TestCore::fileReplaceLeftovers() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    const QStringList left = {QStringLiteral("PalaveroGroups.ini.Ab12Cd.palavero-neu"),
                              QStringLiteral("PalaveroGroups.ini.zzzzzz.palavero-neu")};
    const QStringList kept = {
        QStringLiteral("PalaveroGroups.ini"),        QStringLiteral("PalaveroGroups.ini.bak"),
        QStringLiteral("PalaveroGroups.ini.sicher"), QStringLiteral("PalaveroGroups.ini.backup"),
        QStringLiteral("PalaveroGroups.ini.Ab12Cd"), QStringLiteral("PalaveroGroups.ini.Ab-2Cd.palavero-neu"),
        QStringLiteral("PalaveroGroups.ini.Ab12Cde.palavero-neu"), QStringLiteral("PalaveroTB.ini.Ab12Cd.palavero-neu"),
        QStringLiteral("xPalaveroGroups.ini.Ab12Cd.palavero-neu")};
    const QString running = QStringLiteral("PalaveroGroups.ini.NeW123.palavero-neu");
    const QDateTime beforeStart = FileReplace::programStart().addSecs(-60);
    for (const QString& name : left + kept + QStringList{running}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write("x") == 1 && f.flush());
        if (name != running)
            QVERIFY(f.setFileTime(beforeStart, QFileDevice::FileModificationTime));
    }
    QCOMPARE(FileReplace::removeLeftovers(path), 2);
    QStringList expected = kept + QStringList{running};
    expected.sort();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    QCOMPARE(FileReplace::removeLeftovers(dir.filePath(QStringLiteral("missing/none.ini"))), 0);
    // A replace names its new file so, and leaves none behind.
    QVERIFY(FileReplace::write(path, "neu"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
}

void TestCore::fileReplaceReason_data() {
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << QStringLiteral("missing/store.ini")
                                    << QStringLiteral("Der Ordner existiert nicht.");
    QTest::newRow("a folder of that name") << QStringLiteral("folder")
                                           << QStringLiteral("Unter diesem Namen besteht ein Ordner.");
    QTest::newRow("a file as folder") << QStringLiteral("file/store.ini")
                                      << QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
}

void TestCore::fileReplaceReason() {
    QFETCH(QString, relativePath);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(FileReplace::write(dir.filePath(QStringLiteral("file")), "x"));
    QString got = QStringLiteral("untouched");
    QVERIFY(!FileReplace::write(dir.filePath(relativePath), "new", &got));
    QCOMPARE(got, reason);
    // Success leaves the reason alone.
    QVERIFY(FileReplace::write(dir.filePath(QStringLiteral("ok.ini")), "new", &got));
    QCOMPARE(got, reason);
}

void TestCore::appTitle_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown"); // tray tooltip and box captions
    QTest::newRow("windows style") << QStringLiteral("C:/Programme/NetMsg.exe") << QStringLiteral("Netmsg")
                                   << QStringLiteral("Netmsg");
    QTest::newRow("linux") << QStringLiteral("/usr/bin/palavero") << QStringLiteral("palavero")
                           << QStringLiteral("Palavero");
    QTest::newRow("two dots") << QStringLiteral("/x/PALAVERO.bin.old") << QStringLiteral("Palavero")
                              << QStringLiteral("Palavero");
}

void TestCore::appTitle() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    QCOMPARE(AppTitle::fromExecutable(path), title);
    QCOMPARE(AppTitle::shown(path), shown);
}

void TestCore::blockSequenceMatchesVector_data() {
    QTest::addColumn<int>("inserts");
    QTest::addColumn<int>("eraseEvery"); // one range erase after so many inserts
    QTest::newRow("within one block") << 5 << 3;
    QTest::newRow("many splits") << 3000 << 0;
    QTest::newRow("splits and erases") << 3000 << 7;
    QTest::newRow("erased to nothing and refilled") << 200 << 1;
}

// Random inserts, range erases and sorted lookups against a std::vector doing the same.
void TestCore::blockSequenceMatchesVector() {
    QFETCH(int, inserts);
    QFETCH(int, eraseEvery);
    TBlockSequence<int, 4> blocks; // small blocks: many splits
    std::vector<int> plain;
    std::mt19937 random(7);
    const auto same = [&] {
        if (blocks.size() != plain.size())
            return false;
        std::vector<int> seen;
        blocks.forEach([&seen](int v) { seen.push_back(v); });
        for (size_t i = 0; i < plain.size(); ++i) {
            if (blocks[i] != plain[i])
                return false;
        }
        return seen == plain;
    };
    for (int n = 0; n < inserts; ++n) {
        // Sorted inserts where lowerBound says, as the target list does.
        const int value = int(random() % 1000);
        const size_t at = blocks.lowerBound(value, [](int e, int k) { return e < k; });
        QCOMPARE(at, size_t(std::lower_bound(plain.begin(), plain.end(), value) - plain.begin()));
        blocks.insert(at, value);
        plain.insert(plain.begin() + std::ptrdiff_t(at), value);
        if (eraseEvery && n % eraseEvery == 0 && !plain.empty()) {
            const size_t first = random() % plain.size();
            const size_t last = first + random() % (plain.size() - first + 1);
            blocks.erase(first, last);
            plain.erase(plain.begin() + std::ptrdiff_t(first), plain.begin() + std::ptrdiff_t(last));
        }
        if (n % 97 == 0 || n == inserts - 1)
            QVERIFY(same());
    }
    QCOMPARE(blocks.lowerBound(1000, [](int e, int k) { return e < k; }), blocks.size());
    blocks.push_back(2000);
    QCOMPARE(blocks[blocks.size() - 1], 2000);
    blocks.erase(0, blocks.size());
    QVERIFY(blocks.empty());
    QCOMPARE(blocks.lowerBound(5, [](int e, int k) { return e < k; }), size_t(0));
    blocks.clear();
}

void TestCore::byteSetTellsApart_data() {
    QTest::addColumn<QByteArray>("listed");
    QTest::addColumn<QByteArray>("other");
    QTest::newRow("short names") << QByteArray("PC-01") << QByteArray("PC-02");
    QTest::newRow("letter case") << QByteArray("buero") << QByteArray("BUERO");
    QTest::newRow("trailing zero byte") << QByteArray("ab") << QByteArray("ab\0", 3);
    QTest::newRow("zero bytes only") << QByteArray("\0", 1) << QByteArray("\0\0", 2);
    QTest::newRow("empty and zero byte") << QByteArray("") << QByteArray("\0", 1);
    QTest::newRow("15 and 16 bytes") << QByteArray("ABCDEFGHIJKLMNO") << QByteArray("ABCDEFGHIJKLMNO\0", 16);
    QTest::newRow("long names") << QByteArray("Arbeitsplatz-Buchhaltung-01") << QByteArray("Arbeitsplatz-Buchhaltung-02");
    QTest::newRow("umlauts") << QByteArray("B\xfcro") << QByteArray("B\xfcro ");
}

// Names that differ in any byte, or only in length, are different members, on
// both sides of the length where the hashing changes.
void TestCore::byteSetTellsApart() {
    QFETCH(QByteArray, listed);
    QFETCH(QByteArray, other);
    TByteSet set;
    QVERIFY(set.insert(listed));
    QVERIFY(!set.insert(listed));
    QVERIFY(set.contains(listed));
    QVERIFY(!set.contains(other));
    QVERIFY(set.insert(other));
    QCOMPARE(set.size(), 2);
    QVERIFY(set.remove(listed));
    QVERIFY(!set.contains(listed));
    QVERIFY(set.contains(other));
    QVERIFY(!set.remove(listed));
    // A copy of the bytes (no shared data) is the same member.
    QVERIFY(set.contains(QByteArray(other.constData(), other.size())));
    const size_t seed = 12345;
    QCOMPARE(TByteSet::hash(listed, seed), TByteSet::hash(QByteArray(listed.constData(), listed.size()), seed));
}

namespace {

QStringList randomNames(const QString& alphabet, int count, int maxLength, unsigned seed) {
    std::mt19937 random(seed);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QString name;
        const int length = int(random() % unsigned(maxLength + 1));
        for (int j = 0; j < length; ++j)
            name += alphabet.at(qsizetype(random() % unsigned(alphabet.size())));
        names << name;
    }
    return names;
}

QString printableAscii() {
    QString chars;
    for (char16_t c = TNameOrder::kFirstRanked; c <= TNameOrder::kLastRanked; ++c)
        chars += QChar(c);
    return chars;
}

// The reference order: the German collation ignoring case and punctuation,
// then, for names equal so, the one that weighs punctuation.
struct TGermanNames {
    QCollator skipping = TNameOrder::germanCollator(true);
    QCollator full = TNameOrder::germanCollator(false);
    int compare(const QString& a, const QString& b) const {
        const int first = skipping.compare(a, b);
        return first != 0 ? first : full.compare(a, b);
    }
};

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

void TestCore::nameOrderIsTheCollation_data() {
    QTest::addColumn<QStringList>("names");
    const QString ascii = printableAscii();
    // Every name of up to two characters: each pair of characters, and each
    // character against a name it begins.
    QStringList shortNames{QString()};
    for (const QChar a : ascii) {
        shortNames << QString(a);
        for (const QChar b : ascii)
            shortNames << QString(a) + b;
    }
    QTest::newRow("all names of one and two characters") << shortNames;
    QTest::newRow("computer names") << randomNames(QStringLiteral("PCpc-_.0123456789"), 3000, 8, 1);
    QTest::newRow("any printable characters") << randomNames(ascii, 3000, 12, 2);
    // Names beyond ASCII meet ASCII names: these compare by the sort key.
    QTest::newRow("umlauts, sharp s and accents among ASCII")
        << randomNames(QStringLiteral("aAoOuUsSeEäÄöÖüÜßéÉ -<>"), 3000, 6, 3);
}

// The order of keys is the German collation's order ignoring case and at first punctuation, for every
// pair of names: sorted by the collation, each name compares with the next
// as the collation compares them.
void TestCore::nameOrderIsTheCollation() {
    QFETCH(QStringList, names);
    const TGermanNames german;
    std::stable_sort(names.begin(), names.end(),
                     [&german](const QString& a, const QString& b) { return german.compare(a, b) < 0; });
    TNameOrder order;
    std::vector<TNameOrder::Key> keys;
    for (const QString& name : names)
        keys.push_back(order.key(name));
    for (size_t i = 1; i < keys.size(); ++i) {
        const QString& before = names[qsizetype(i - 1)];
        const QString& after = names[qsizetype(i)];
        const int expected = sign(german.compare(before, after));
        QVERIFY2(sign(order.compare(keys[i - 1], keys[i])) == expected,
                 qPrintable(QStringLiteral("\"%1\" against \"%2\"").arg(before, after)));
        QCOMPARE(sign(order.compare(keys[i], keys[i - 1])), -expected);
    }
    QCOMPARE(keys.front().text(), names.front());
}

void TestCore::nameOrderRanksOnlyCharacterByCharacter_data() {
    QTest::addColumn<bool>("skipPunctuation");
    QTest::newRow("German, every character counts") << false;
    // "a-b" and "ab" are one name to it: the hyphen has no rank.
    QTest::newRow("punctuation skipped") << true;
}

void TestCore::nameOrderRanksOnlyCharacterByCharacter() {
    QFETCH(bool, skipPunctuation);
    const std::optional<TNameOrder::Ranks> ranks = TNameOrder::rankCharacters(TNameOrder::germanCollator(skipPunctuation));
    QVERIFY(ranks.has_value());
    const auto rank = [&ranks](char c) { return int((*ranks)[size_t(c - TNameOrder::kFirstRanked)]); };
    QCOMPARE(rank('a'), rank('A'));
    QVERIFY(rank('9') < rank('a'));
    QVERIFY(rank('a') < rank('b'));
    if (skipPunctuation) {
        QCOMPARE(rank('-'), 0);
        QCOMPARE(rank('\''), 0);
    } else {
        QVERIFY(rank('-') < rank('0'));
        QVERIFY(std::all_of(ranks->cbegin(), ranks->cend(), [](char r) { return r > 0; }));
    }
}

void TestCore::nameOrderSkipsPunctuationFirst_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("office names") << QStringList{"PC05", "PC-04", "PC03"} << QStringList{"PC03", "PC-04", "PC05"};
    QTest::newRow("hyphen breaks the tie") << QStringList{"PC-10", "PC-2", "PC1", "PC2"}
                                           << QStringList{"PC1", "PC-10", "PC-2", "PC2"};
    QTest::newRow("apostrophe") << QStringList{"Os'car", "Otto", "Oscar", "Olga"}
                                << QStringList{"Olga", "Os'car", "Oscar", "Otto"};
    QTest::newRow("umlauts and hyphens") << QStringList{"B\u00fcro-2", "Buero", "B\u00fcro1", "Bus"}
                                         << QStringList{"Buero", "B\u00fcro1", "B\u00fcro-2", "Bus"};
}

void TestCore::nameOrderSkipsPunctuationFirst() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    TNameOrder order;
    std::vector<TNameOrder::Key> keys;
    for (const QString& name : names)
        keys.push_back(order.key(name));
    std::sort(keys.begin(), keys.end(),
              [&order](const TNameOrder::Key& a, const TNameOrder::Key& b) { return order.compare(a, b) < 0; });
    QStringList got;
    for (const TNameOrder::Key& key : keys)
        got << key.text();
    QCOMPARE(got, sorted);
}

PALAVERO_TEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
