#include "common/Fakes.h"
#include "common/TestMain.h"

#include "snippets/FormTextbausteine.h"
#include "snippets/SnippetExpansion.h"
#include "snippets/SnippetFile.h"
#include "snippets/SnippetGrid.h"
#include "snippets/SnippetStore.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TSnippetFile::Encoding)

using Encoding = TSnippetFile::Encoding;

namespace {

// "key=text" per row, joined by '|'.
QString describe(const QList<TSnippet>& rows) {
    QStringList out;
    for (const TSnippet& row : rows)
        out << row.key + QLatin1Char('=') + row.text;
    return out.join(QLatin1Char('|'));
}

QList<TSnippet> rowsOf(const QString& description) {
    QList<TSnippet> rows;
    if (description.isEmpty())
        return rows;
    for (const QString& line : description.split(QLatin1Char('|'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        rows.append({line.left(eq), line.mid(eq + 1)});
    }
    return rows;
}

QByteArray encoded(const QString& text, QStringEncoder::Encoding encoding) {
    QStringEncoder encoder(encoding, QStringEncoder::Flag::Stateless);
    return encoder(text);
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<unreadable>");
    return f.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Files of a folder, hidden ones included: a failed save leaves no stray file.
QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Runs `body` with writes limited to a few bytes per file (as on a full disk).
template <typename F> auto withTinyFileLimit(F body) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto result = body();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    return result;
}

const QString kLongKey62 = QString(62, QLatin1Char('k'));
const QString kLongKey63 = QString(63, QLatin1Char('k'));

// The snippets the expansion cases look keys up in.
QList<TSnippet> expansionSnippets() {
    return {{QStringLiteral("MFG"), QStringLiteral("Mit freundlichen Grüßen")},
            {QStringLiteral("mfg"), QStringLiteral("second match, never used")},
            {kLongKey62, QStringLiteral("62 Zeichen")},
            {kLongKey63, QStringLiteral("63 Zeichen")},
            {QStringLiteral("\tab"), QStringLiteral("mit Tab")},
            {QStringLiteral("leer"), QString()},
            {QStringLiteral("?"), QStringLiteral("Fragezeichen")},
            {QStringLiteral("eur"), QStringLiteral("5 € und 3 Ω")},
            {QStringLiteral("Grüße"), QStringLiteral("Viele Grüße")}};
}

} // namespace

class TestSnippets : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void reader_data();
    void reader();
    void writer_data();
    void writer();
    void loadBadFiles_data();
    void loadBadFiles();
    void manyLines();
    void storeKeepsEncodingOfLastLoad();
    void killDuringSaveLeavesOldOrNew();
    void lookup_data();
    void lookup();
    void expansion_data();
    void expansion();
    void expansionInEditor_data();
    void expansionInEditor();
    void unsavedRowExpandsAtOnce();
    void keyEdits_data();
    void keyEdits();
    void gridRows();
    void editorLayout();
    void saveFailure();
    void importAndExport();
    void importFailureKeepsGrid_data();
    void importFailureKeepsGrid();
    void exportFailure();
    void ctrlIShowsPath();
    void closeCommitsOpenEdit();
};

void TestSnippets::reader_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<Encoding>("encoding");
    const auto ansi = Encoding::Ansi;

    QTest::newRow("CR LF") << QByteArray("MFG=Mit freundlichen Gr\xfc\xdf" "en\r\nsg=Sehr geehrte\r\n")
                           << QStringLiteral("MFG=Mit freundlichen Grüßen|sg=Sehr geehrte") << ansi;
    QTest::newRow("LF") << QByteArray("a=1\nb=2\n") << QStringLiteral("a=1|b=2") << ansi;
    QTest::newRow("CR") << QByteArray("a=1\rb=2") << QStringLiteral("a=1|b=2") << ansi;
    QTest::newRow("LF CR is two breaks") << QByteArray("a=1\n\rb=2") << QStringLiteral("a=1|=|b=2") << ansi;
    QTest::newRow("no final break") << QByteArray("a=1\r\nb=2") << QStringLiteral("a=1|b=2") << ansi;
    QTest::newRow("empty file") << QByteArray() << QString() << ansi;
    QTest::newRow("line without = is an empty row")
        << QByteArray("a=1\r\nnur Text\r\n\r\nb=2\r\n") << QStringLiteral("a=1|=|=|b=2") << ansi;
    QTest::newRow("text holds =") << QByteArray("x=a=b\r\n") << QStringLiteral("x=a=b") << ansi;
    QTest::newRow("nothing trimmed") << QByteArray(" k \t= t \r\n") << QStringLiteral(" k \t= t ") << ansi;
    QTest::newRow("euro and unassigned byte")
        << QByteArray("e=\x80\x81\r\n") << QStringLiteral("e=€") + QChar(0x81) << ansi;
    QTest::newRow("text ends at NUL") << QByteArray("a=1\r\nb=2\0c=3\r\n", 15) << QStringLiteral("a=1|b=2") << ansi;
    QTest::newRow("NUL first") << QByteArray("\0a=1", 4) << QString() << ansi;

    const QString unicode = QStringLiteral("gr=Grüße Ω €\r\nx=1\r\n");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + unicode.toUtf8()
                                << QStringLiteral("gr=Grüße Ω €|x=1") << Encoding::Utf8;
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE") + encoded(unicode, QStringEncoder::Utf16LE)
                                    << QStringLiteral("gr=Grüße Ω €|x=1") << Encoding::Utf16LE;
    QTest::newRow("UTF-16 BE mark") << QByteArray("\xFE\xFF") + encoded(unicode, QStringEncoder::Utf16BE)
                                    << QStringLiteral("gr=Grüße Ω €|x=1") << Encoding::Utf16BE;
    QTest::newRow("UTF-16 NUL character ends the text")
        << QByteArray("\xFF\xFE" "a\0=\0" "1\0\0\0b\0", 12) << QStringLiteral("a=1") << Encoding::Utf16LE;
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF") << QString() << Encoding::Utf8;
    QTest::newRow("half a UTF-8 mark is Windows-1252")
        << QByteArray("\xEF\xBB=x") << QStringLiteral("ï»=x") << ansi;
    QTest::newRow("UTF-16 with an odd byte") << QByteArray("\xFF\xFE" "a\0=\0x", 7)
                                             << QStringLiteral("a=") + QChar(QChar::ReplacementCharacter)
                                             << Encoding::Utf16LE;
    QTest::newRow("bad UTF-8 after the mark") << QByteArray("\xEF\xBB\xBF" "a=\xC3(\r\n")
                                              << QStringLiteral("a=\uFFFD(") << Encoding::Utf8;
    QTest::newRow("a second mark is text") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "a=1")
                                           << QStringLiteral("\uFEFFa=1") << Encoding::Utf8;
}

void TestSnippets::reader() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, rows);
    QFETCH(Encoding, encoding);
    const TSnippetFile file = TSnippetFile::fromBytes(bytes);
    QCOMPARE(describe(file.rows), rows);
    QCOMPARE(file.encoding, encoding);
}

void TestSnippets::writer_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    const QString rows = QStringLiteral("MFG=Grüße €|=|Ω=x");
    QTest::newRow("Windows-1252, lost characters become ?")
        << rows << Encoding::Ansi << QByteArray("MFG=Gr\xfc\xdf" "e \x80\r\n=\r\n?=x\r\n");
    QTest::newRow("UTF-8 with mark") << rows << Encoding::Utf8
                                     << QByteArray("\xEF\xBB\xBF") +
                                            QStringLiteral("MFG=Grüße €\r\n=\r\nΩ=x\r\n").toUtf8();
    QTest::newRow("UTF-16 LE with mark")
        << rows << Encoding::Utf16LE
        << QByteArray("\xFF\xFE") + encoded(QStringLiteral("MFG=Grüße €\r\n=\r\nΩ=x\r\n"), QStringEncoder::Utf16LE);
    QTest::newRow("UTF-16 BE with mark")
        << rows << Encoding::Utf16BE
        << QByteArray("\xFE\xFF") + encoded(QStringLiteral("MFG=Grüße €\r\n=\r\nΩ=x\r\n"), QStringEncoder::Utf16BE);
    QTest::newRow("no rows") << QString() << Encoding::Ansi << QByteArray();
    QTest::newRow("no rows, UTF-8") << QString() << Encoding::Utf8 << QByteArray("\xEF\xBB\xBF");
}

void TestSnippets::writer() {
    QFETCH(QString, rows);
    QFETCH(Encoding, encoding);
    QFETCH(QByteArray, bytes);
    TSnippetFile file;
    file.rows = rowsOf(rows);
    file.encoding = encoding;
    QCOMPARE(file.toBytes(), bytes);
    if (encoding != Encoding::Ansi) {
        // The marked encodings keep every character: read back, the rows are the same.
        const TSnippetFile back = TSnippetFile::fromBytes(bytes);
        QCOMPARE(back.rows, file.rows);
        QCOMPARE(back.encoding, encoding);
    }
}

void TestSnippets::loadBadFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    const int missing = int(TSnippetFile::LoadStatus::Missing);
    const int unreadable = int(TSnippetFile::LoadStatus::Unreadable);
    QTest::newRow("missing") << "missing" << missing << "Die Datei existiert nicht.";
    QTest::newRow("folder") << "folder" << unreadable << "Unter diesem Namen besteht ein Ordner.";
    QTest::newRow("pipe: no hang") << "fifo" << unreadable << "Unter diesem Namen besteht keine gewöhnliche Datei.";
    QTest::newRow("larger than 64 MiB") << "huge" << unreadable << "Die Datei ist größer als 67.108.864 Bytes.";
    QTest::newRow("binary") << "binary" << int(TSnippetFile::LoadStatus::Loaded) << QString();
}

void TestSnippets::loadBadFiles() {
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroTB.ini"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("huge")) {
        // A sparse file: its size counts, nothing is written or read.
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(TSnippetFile::kMaxFileSize + 1));
    } else if (kind == QLatin1String("binary")) {
        QByteArray bytes;
        for (int i = 0; i < 200000; ++i)
            bytes += char(1 + ((i * 7919) >> 3) % 255);
        bytes[150000] = '\0';
        QVERIFY(writeBytes(path, bytes));
    }
    TSnippetFile::LoadStatus found = TSnippetFile::LoadStatus::Loaded;
    QString why;
    const TSnippetFile file = TSnippetFile::load(path, &found, &why);
    QCOMPARE(int(found), status);
    QCOMPARE(why, reason);
    if (found != TSnippetFile::LoadStatus::Loaded) {
        QVERIFY(file.rows.isEmpty());
        QCOMPARE(file.encoding, Encoding::Ansi);
    } else {
        QVERIFY(!file.rows.isEmpty());
    }

    // The store at start: the same file is an empty store or its rows, silently.
    TSnippetStore store;
    store.setSnippetFile(path);
    store.setSnippets({{QStringLiteral("alt"), QStringLiteral("x")}});
    store.LoadSnippetFile();
    QCOMPARE(store.snippets(), file.rows);
}

void TestSnippets::manyLines() {
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "k" + QByteArray::number(i) + "=Text " + QByteArray::number(i) + "\r\n";
    const TSnippetFile file = TSnippetFile::fromBytes(bytes);
    QCOMPARE(file.rows.size(), 100000);
    QCOMPARE(file.rows.last(), (TSnippet{QStringLiteral("k99999"), QStringLiteral("Text 99999")}));
    QCOMPARE(file.toBytes(), bytes);
    TSnippetStore store;
    store.setSnippets(file.rows);
    QCOMPARE(store.LookupSnippet("K99999"), QByteArray("Text 99999"));
}

void TestSnippets::storeKeepsEncodingOfLastLoad() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroTB.ini"));
    const QByteArray utf16 = QByteArray("\xFF\xFE") + encoded(QStringLiteral("Ω=Omega\r\n"), QStringEncoder::Utf16LE);
    QVERIFY(writeBytes(path, utf16));
    TSnippetStore store;
    store.setSnippetFile(path);
    store.LoadSnippetFile();
    QCOMPARE(store.encoding(), Encoding::Utf16LE);
    QVERIFY(store.setData(store.index(store.newEntryRow(), 0), QStringLiteral("gr")));
    QVERIFY(store.setData(store.index(1, 1), QStringLiteral("Grüße")));
    QVERIFY(store.Save());
    QCOMPARE(fileBytes(path),
             QByteArray("\xFF\xFE") + encoded(QStringLiteral("Ω=Omega\r\ngr=Grüße\r\n"), QStringEncoder::Utf16LE));

    // An import of a file without a mark makes every later write Windows-1252.
    const QString plain = dir.filePath(QStringLiteral("plain.ini"));
    QVERIFY(writeBytes(plain, "a=\xe4\r\n"));
    QVERIFY(store.Import(plain));
    QCOMPARE(store.encoding(), Encoding::Ansi);
    QVERIFY(store.Save());
    QCOMPARE(fileBytes(path), QByteArray("a=\xe4\r\n"));

    // A start-up load of a missing file: empty, Windows-1252.
    QVERIFY(writeBytes(plain, "\xEF\xBB\xBF" "b=1\r\n"));
    QVERIFY(store.Import(plain));
    QCOMPARE(store.encoding(), Encoding::Utf8);
    store.setSnippetFile(dir.filePath(QStringLiteral("none.ini")));
    store.LoadSnippetFile();
    QCOMPARE(store.snippets().size(), 0);
    QCOMPARE(store.encoding(), Encoding::Ansi);
}

void TestSnippets::killDuringSaveLeavesOldOrNew() {
    // A child saves two large contents in turn and is killed at some moment
    // of it: the file is always one of the two whole.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroTB.ini"));
    TSnippetFile a;
    TSnippetFile b;
    for (int i = 0; i < 40000; ++i) {
        a.rows.append({QStringLiteral("a%1").arg(i), QStringLiteral("Alter Text %1").arg(i)});
        b.rows.append({QStringLiteral("b%1").arg(i), QStringLiteral("Neuer Text %1").arg(i)});
    }
    const QByteArray aBytes = a.toBytes();
    const QByteArray bBytes = b.toBytes();
    QVERIFY(a.save(path));
    for (int round = 0; round < 8; ++round) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            for (;;) {
                b.save(path);
                a.save(path);
            }
        }
        ::usleep(3000 + round * 7000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const QByteArray now = fileBytes(path);
        QVERIFY2(now == aBytes || now == bBytes, qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
    }
}

void TestSnippets::lookup_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("letter case ignored") << QByteArray("mFg") << QByteArray("Mit freundlichen Gr\xfc\xdf" "en");
    QTest::newRow("first match wins") << QByteArray("mfg") << QByteArray("Mit freundlichen Gr\xfc\xdf" "en");
    QTest::newRow("umlaut key") << QByteArray("GR\xdc\xdf" "E") << QByteArray("Viele Gr\xfc\xdf" "e");
    QTest::newRow("whole key only") << QByteArray("MF") << QByteArray();
    QTest::newRow("unknown") << QByteArray("xyz") << QByteArray();
    QTest::newRow("empty text") << QByteArray("LEER") << QByteArray();
    QTest::newRow("text in Windows-1252") << QByteArray("eur") << QByteArray("5 \x80 und 3 ?");
}

void TestSnippets::lookup() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, text);
    TSnippetStore store;
    store.setSnippets(expansionSnippets());
    QCOMPARE(store.LookupSnippet(key), text);
}

void TestSnippets::expansion_data() {
    QTest::addColumn<QString>("before");   // '|' marks the caret
    QTest::addColumn<bool>("selection");
    QTest::addColumn<QString>("after");    // empty: nothing happens
    QTest::newRow("Gruß mfg") << "Gruß mfg|" << false << "Gruß Mit freundlichen Grüßen|";
    QTest::newRow("key in the middle") << "mfg| und mehr" << false << "Mit freundlichen Grüßen| und mehr";
    QTest::newRow("caret after a blank") << "Gruß mfg |" << false << "";
    QTest::newRow("caret at the start") << "|mfg" << false << "";
    QTest::newRow("empty text") << "|" << false << "";
    QTest::newRow("62 characters") << "x " + kLongKey62 + "|" << false << "x 62 Zeichen|";
    QTest::newRow("63 characters") << "x " + kLongKey63 + "|" << false << "";
    QTest::newRow("selection") << "Gruß mfg|" << true << "";
    QTest::newRow("after a line feed") << "Gruß\nmfg|" << false << "Gruß\nMit freundlichen Grüßen|";
    QTest::newRow("after a paragraph break") << QStringLiteral("Gruß\u2029mfg|") << false
                                             << QStringLiteral("Gruß\u2029Mit freundlichen Grüßen|");
    QTest::newRow("tab belongs to the key") << "Gruß\tmfg|" << false << "";
    QTest::newRow("key with a tab") << "x \tab|" << false << "x mit Tab|";
    QTest::newRow("CR belongs to the key") << "\rmfg|" << false << "";
    QTest::newRow("unknown key") << "Gruß xyz|" << false << "";
    QTest::newRow("snippet with empty text") << "leer|" << false << "";
    QTest::newRow("key lost in Windows-1252") << "Ω|" << false << "Fragezeichen|";
    QTest::newRow("text through Windows-1252") << "eur|" << false << "5 € und 3 ?|";
}

void TestSnippets::expansion() {
    QFETCH(QString, before);
    QFETCH(bool, selection);
    QFETCH(QString, after);
    TSnippetStore store;
    store.setSnippets(expansionSnippets());
    const qsizetype caret = before.indexOf(QLatin1Char('|'));
    QString text = before;
    text.remove(caret, 1);
    const auto replacement = SnippetExpansion::expand(
        text, caret, selection, [&](const QByteArray& key) { return store.LookupSnippet(key); });
    if (after.isEmpty()) {
        QVERIFY(!replacement);
        return;
    }
    QVERIFY(replacement);
    text.replace(replacement->start, replacement->length, replacement->text);
    text.insert(replacement->start + replacement->text.size(), QLatin1Char('|'));
    QCOMPARE(text, after);
}

void TestSnippets::expansionInEditor_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::newRow("F3") << "Gruß mfg" << int(Qt::NoModifier) << "Gruß Mit freundlichen Grüßen" << 28;
    QTest::newRow("Shift+F3") << "mfg" << int(Qt::ShiftModifier) << "Mit freundlichen Grüßen" << 23;
    QTest::newRow("second line") << "Hallo\nmfg" << int(Qt::NoModifier) << "Hallo\nMit freundlichen Grüßen" << 29;
    QTest::newRow("unknown key") << "Gruß abc" << int(Qt::NoModifier) << "Gruß abc" << 8;
}

void TestSnippets::expansionInEditor() {
    QFETCH(QString, typed);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(int, caret);
    TSnippetStore store;
    store.setSnippets(expansionSnippets());
    QPlainTextEdit editor;
    TSnippetExpander expander(store, &editor);
    editor.setPlainText(typed);
    editor.moveCursor(QTextCursor::End);
    QSignalSpy changes(&editor, &QPlainTextEdit::textChanged);
    QTest::keyClick(&editor, Qt::Key_F3, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(editor.toPlainText(), text);
    QCOMPARE(editor.textCursor().position(), caret);
    QVERIFY(!editor.textCursor().hasSelection());
    QCOMPARE(changes.isEmpty(), text == typed);

    // One undo step brings the key back.
    if (text != typed) {
        editor.undo();
        QCOMPARE(editor.toPlainText(), typed);
    }

    // With the key selected, F3 changes nothing.
    editor.setPlainText(typed);
    editor.selectAll();
    QTest::keyClick(&editor, Qt::Key_F3);
    QCOMPARE(editor.toPlainText(), typed);
}

void TestSnippets::unsavedRowExpandsAtOnce() {
    QTemporaryDir dir;
    TSnippetStore store;
    store.setSnippetFile(dir.filePath(QStringLiteral("PalaveroTB.ini")));
    QPlainTextEdit editor;
    TSnippetExpander expander(store, &editor);
    editor.insertPlainText(QStringLiteral("Gruß "));
    QTest::keyClicks(&editor, QStringLiteral("neu"));
    QTest::keyClick(&editor, Qt::Key_F3);
    QCOMPARE(editor.toPlainText(), QStringLiteral("Gruß neu"));

    QVERIFY(store.setData(store.index(store.newEntryRow(), TSnippetStore::KeyColumn), QStringLiteral("NEU")));
    QVERIFY(store.setData(store.index(0, TSnippetStore::TextColumn), QStringLiteral("ganz neuer Text")));
    QTest::keyClick(&editor, Qt::Key_F3);
    QCOMPARE(editor.toPlainText(), QStringLiteral("Gruß ganz neuer Text"));
    QVERIFY(!QFile::exists(store.snippetFile()));

    // After a restart (a fresh load of the unsaved file) it is gone.
    TSnippetStore restarted;
    restarted.setSnippetFile(store.snippetFile());
    restarted.LoadSnippetFile();
    QCOMPARE(restarted.LookupSnippet("NEU"), QByteArray());
}

void TestSnippets::keyEdits_data() {
    QTest::addColumn<int>("row"); // -1: the new-entry row
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    QTest::newRow("new key") << 1 << "sg" << true << "";
    QTest::newRow("same key, other case, same row") << 0 << "Mfg" << true << "";
    QTest::newRow("duplicate, other case") << 1 << "mfg" << false << "Der Kurztext \"MFG\" ist bereits vorhanden.";
    QTest::newRow("duplicate in the new-entry row")
        << -1 << "LEER" << false << "Der Kurztext \"leer\" ist bereits vorhanden.";
    QTest::newRow("umlauts compared without case")
        << 0 << "GRÜSSE" << true << "";
    QTest::newRow("key with =") << 1 << "a=b" << false << "Ein Kurztext darf kein Gleichheitszeichen (=) enthalten.";
    QTest::newRow("empty keys may repeat") << 1 << "" << true << "";
}

void TestSnippets::keyEdits() {
    QFETCH(int, row);
    QFETCH(QString, key);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    TSnippetStore store;
    store.setSnippets({{QStringLiteral("MFG"), QStringLiteral("1")},
                       {QStringLiteral("x"), QStringLiteral("2")},
                       {QString(), QString()},
                       {QStringLiteral("leer"), QString()}});
    const QList<TSnippet> before = store.snippets();
    QSignalSpy refused(&store, &TSnippetStore::editRefused);
    const int newEntry = store.newEntryRow();
    const int target = row < 0 ? newEntry : row;
    QCOMPARE(store.setData(store.index(target, TSnippetStore::KeyColumn), key), accepted);
    if (accepted) {
        QVERIFY(refused.isEmpty());
        if (target < newEntry || !key.isEmpty())
            QCOMPARE(store.snippets().at(target).key, key);
    } else {
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.at(0).at(0).toString(), message);
        QCOMPARE(store.snippets(), before);
    }
}

void TestSnippets::gridRows() {
    TSnippetStore store;
    TSnippetGrid grid(store);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    QCOMPARE(store.rowCount(), 1); // the new-entry row only

    // A key typed into the new-entry row, Tab, a text: one snippet, in that row.
    const QModelIndex entry = store.index(0, TSnippetStore::KeyColumn);
    grid.setCurrentIndex(entry);
    grid.edit(entry);
    QTest::keyClicks(grid.indexWidget(entry), QStringLiteral("neu"));
    QTest::keyClick(grid.indexWidget(entry), Qt::Key_Tab);
    const QModelIndex text = store.index(0, TSnippetStore::TextColumn);
    QCOMPARE(grid.currentIndex(), text);
    QVERIFY(grid.indexWidget(text));
    QTest::keyClicks(grid.indexWidget(text), QStringLiteral("Text"));
    grid.commitOpenEditor();
    QCOMPARE(describe(store.snippets()), QStringLiteral("neu=Text"));
    QCOMPARE(store.rowCount(), 2);

    // Nothing entered leaves the new-entry row empty; a line break becomes a blank.
    QVERIFY(!store.setData(store.index(1, TSnippetStore::KeyColumn), QString()));
    QVERIFY(store.setData(store.index(1, TSnippetStore::TextColumn), QStringLiteral("zwei\r\nZeilen")));
    QCOMPARE(describe(store.snippets()), QStringLiteral("neu=Text|=zwei  Zeilen"));

    // Insert adds an empty row before the current one; Ctrl+Del removes the current row.
    grid.setCurrentIndex(store.index(1, TSnippetStore::KeyColumn));
    QTest::keyClick(&grid, Qt::Key_Insert);
    QCOMPARE(describe(store.snippets()), QStringLiteral("neu=Text|=|=zwei  Zeilen"));
    QVERIFY(grid.isEditing());
    QTest::keyClicks(grid.indexWidget(store.index(1, TSnippetStore::KeyColumn)), QStringLiteral("x"));
    grid.commitOpenEditor();
    QCOMPARE(describe(store.snippets()), QStringLiteral("neu=Text|x=|=zwei  Zeilen"));
    grid.setCurrentIndex(store.index(2, TSnippetStore::TextColumn));
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(describe(store.snippets()), QStringLiteral("neu=Text|x="));
    QCOMPARE(grid.currentIndex(), store.index(2, TSnippetStore::TextColumn));
    // The new-entry row cannot be removed.
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(describe(store.snippets()), QStringLiteral("neu=Text|x="));
}

void TestSnippets::editorLayout() {
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    QCOMPARE(form.windowTitle(), QStringLiteral("Textbausteine"));
    QCOMPARE(form.size(), QSize(576, 342));
    QCOMPARE(store.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Kurztext"));
    QCOMPARE(store.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Textbaustein"));
    QCOMPARE(form.ValueListEditorTB->columnWidth(0), 150);
    QCOMPARE(form.PanelBottom->height(), 41);
    QCOMPARE(form.BitBtnSave->text(), QStringLiteral("Speichern"));
    QCOMPARE(form.BitBtnClose->text(), QStringLiteral("S&chließen"));
    QCOMPARE(form.statusText(), QStringLiteral("Kurztext + F3  im Hauptfenster"));
    QStringList menu;
    for (QAction* a : form.PopupMenuDB->actions())
        menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(menu, QStringList({"Import", "Export", "-", "Schließen"}));

    // "S&chließen" and "Schließen" close with the Cancel result and keep the rows.
    store.setSnippets({{QStringLiteral("a"), QStringLiteral("1")}});
    form.show();
    form.BitBtnClose->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    form.show();
    form.Schlien1->trigger();
    QVERIFY(!form.isVisible());
    QCOMPARE(store.LookupSnippet("A"), QByteArray("1"));
    QVERIFY(boxes.boxes.isEmpty());
}

void TestSnippets::saveFailure() {
    QTemporaryDir dir;
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    store.setSnippets({{QStringLiteral("MFG"), QStringLiteral("Grüße")}});

    // The folder is missing.
    const QString missing = dir.filePath(QStringLiteral("weg/PalaveroTB.ini"));
    store.setSnippetFile(missing);
    form.BitBtnSave->click();
    QCOMPARE(boxes.texts(), QStringList(QStringLiteral("Fehler beim Speichern der Textbausteine: ") + missing +
                                        QStringLiteral("\r\nDer Ordner existiert nicht.")));
    QCOMPARE(boxes.boxes.at(0).icon, IMessageBoxes::Icon::None);
    QCOMPARE(describe(store.snippets()), QStringLiteral("MFG=Grüße"));

    // The disk is full in the middle of the write: the old file stays whole, no stray file.
    const QString path = dir.filePath(QStringLiteral("PalaveroTB.ini"));
    QVERIFY(writeBytes(path, "alt=1\r\n"));
    store.setSnippetFile(path);
    store.setSnippets({{QStringLiteral("MFG"), QString(100, QLatin1Char('x'))}});
    boxes.boxes.clear();
    withTinyFileLimit([&] {
        form.BitBtnSaveClick();
        return 0;
    });
    QCOMPARE(boxes.texts(), QStringList(QStringLiteral("Fehler beim Speichern der Textbausteine: ") + path +
                                        QStringLiteral("\r\nDie Datei ist zu groß für den Datenträger.")));
    QCOMPARE(fileBytes(path), QByteArray("alt=1\r\n"));
    QCOMPARE(filesIn(dir.path()), QStringList(QStringLiteral("PalaveroTB.ini")));

    // A save that works shows nothing.
    boxes.boxes.clear();
    form.BitBtnSaveClick();
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(fileBytes(path), "MFG=" + QByteArray(100, 'x') + "\r\n");
}

void TestSnippets::importAndExport() {
    QTemporaryDir dir;
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    QList<TFormTextbausteine::FileDialogKind> asked;
    QString chosen;
    form.setFileChooser([&](QWidget* parent, TFormTextbausteine::FileDialogKind kind) {
        asked << kind;
        [&] { QCOMPARE(parent, &form); }();
        return chosen;
    });
    store.setSnippetFile(dir.filePath(QStringLiteral("PalaveroTB.ini")));
    store.setSnippets({{QStringLiteral("alt"), QStringLiteral("1")}});

    const QString in = dir.filePath(QStringLiteral("in.ini"));
    QVERIFY(writeBytes(in, QByteArray("\xEF\xBB\xBF") + QStringLiteral("Ω=Omega\r\nmfg=Grüße\r\n").toUtf8()));
    // Cancelled: nothing happens.
    form.Import1->trigger();
    QCOMPARE(describe(store.snippets()), QStringLiteral("alt=1"));
    chosen = in;
    form.Import1->trigger();
    QCOMPARE(describe(store.snippets()), QStringLiteral("Ω=Omega|mfg=Grüße"));
    QCOMPARE(store.LookupSnippet("MFG"), QByteArray("Gr\xfc\xdf" "e"));
    QVERIFY(!QFile::exists(store.snippetFile())); // only "Speichern" writes the snippet file

    const QString out = dir.filePath(QStringLiteral("out.ini"));
    chosen = out;
    form.Export1->trigger();
    QCOMPARE(fileBytes(out), fileBytes(in)); // in the encoding of the import
    QCOMPARE(asked, (QList<TFormTextbausteine::FileDialogKind>{TFormTextbausteine::FileDialogKind::Open,
                                                              TFormTextbausteine::FileDialogKind::Open,
                                                              TFormTextbausteine::FileDialogKind::Save}));
    QVERIFY(boxes.boxes.isEmpty());
}

void TestSnippets::importFailureKeepsGrid_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "weg.ini" << "Die Datei existiert nicht.";
    QTest::newRow("folder") << "ordner.ini" << "Unter diesem Namen besteht ein Ordner.";
}

void TestSnippets::importFailureKeepsGrid() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ordner.ini")));
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    const QString path = dir.filePath(name);
    form.setFileChooser([&](QWidget*, TFormTextbausteine::FileDialogKind) { return path; });
    const QByteArray utf8 = QByteArray("\xEF\xBB\xBF") + "a=1\r\n";
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("PalaveroTB.ini")), utf8));
    store.setSnippetFile(dir.filePath(QStringLiteral("PalaveroTB.ini")));
    store.LoadSnippetFile();

    form.Import1Click();
    QCOMPARE(boxes.texts(), QStringList(QStringLiteral("Fehler beim Importieren der Textbausteine: ") + path +
                                        QStringLiteral("\r\n") + reason));
    QCOMPARE(describe(store.snippets()), QStringLiteral("a=1"));
    QCOMPARE(store.encoding(), Encoding::Utf8);
    QCOMPARE(store.LookupSnippet("A"), QByteArray("1"));
}

void TestSnippets::exportFailure() {
    QTemporaryDir dir;
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    const QString path = dir.filePath(QStringLiteral("ordner.ini"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ordner.ini")));
    form.setFileChooser([&](QWidget*, TFormTextbausteine::FileDialogKind) { return path; });
    store.setSnippets({{QStringLiteral("a"), QStringLiteral("1")}});
    form.Export1Click();
    QCOMPARE(boxes.texts(), QStringList(QStringLiteral("Fehler beim Exportieren der Textbausteine: ") + path +
                                        QStringLiteral("\r\nUnter diesem Namen besteht ein Ordner.")));
    QCOMPARE(describe(store.snippets()), QStringLiteral("a=1"));
}

void TestSnippets::ctrlIShowsPath() {
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    store.setSnippetFile(QStringLiteral("/daten/Korvel/Palavero/PalaveroTB.ini"));
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(form.statusText(), QStringLiteral("Kurztext + F3  im Hauptfenster"));
    // Also while a cell is being edited: the window sees the key first.
    const QModelIndex cell = store.index(0, 0);
    form.ValueListEditorTB->setCurrentIndex(cell);
    form.ValueListEditorTB->edit(cell);
    QWidget* editor = form.ValueListEditorTB->indexWidget(cell);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(form.statusText(), QStringLiteral("/daten/Korvel/Palavero/PalaveroTB.ini"));
    QVERIFY(store.snippets().isEmpty()); // the key typed nothing into the cell
    form.ValueListEditorTB->commitOpenEditor();
    QVERIFY(store.snippets().isEmpty());
    // It stays, also over a close and a new show.
    form.reject();
    form.show();
    QCOMPARE(form.statusText(), QStringLiteral("/daten/Korvel/Palavero/PalaveroTB.ini"));
}

void TestSnippets::closeCommitsOpenEdit() {
    TSnippetStore store;
    TFakeMessageBoxes boxes;
    TFormTextbausteine form(store, boxes);
    store.setSnippets({{QStringLiteral("MFG"), QStringLiteral("1")}});
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Typed into the new-entry row, then closed with the keyboard (Alt+C): the row counts.
    const QModelIndex key = store.index(store.newEntryRow(), TSnippetStore::KeyColumn);
    form.ValueListEditorTB->setCurrentIndex(key);
    form.ValueListEditorTB->edit(key);
    QTest::keyClicks(form.ValueListEditorTB->indexWidget(key), QStringLiteral("sg"));
    form.reject();
    QCOMPARE(describe(store.snippets()), QStringLiteral("MFG=1|sg="));

    // A duplicate typed and closed: refused, the message comes once the edit is over.
    form.show();
    const QModelIndex second = store.index(1, TSnippetStore::KeyColumn);
    form.ValueListEditorTB->setCurrentIndex(second);
    form.ValueListEditorTB->edit(second);
    form.ValueListEditorTB->indexWidget(second)->setProperty("text", QStringLiteral("mfg"));
    form.reject();
    QCOMPARE(describe(store.snippets()), QStringLiteral("MFG=1|sg="));
    QTRY_COMPARE(boxes.texts(), QStringList(QStringLiteral("Der Kurztext \"MFG\" ist bereits vorhanden.")));
}

PALAVERO_TEST_MAIN(TestSnippets)
#include "tst_snippets.moc"
