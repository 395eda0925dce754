#include "common/Fakes.h"
#include "common/TestMain.h"

#include "info/ClickLabel.h"
#include "info/ElfNote.h"
#include "info/FormKVInfo.h"
#include "info/Pictures.h"
#include "info/VersionInfo.h"
#include "info/VersionResource.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString FileVersion = QStringLiteral("2.6.12.142");

// A small ELF file image holding one note, in any class and byte order; the note can be
// reached through the section headers, the program headers, or both.
struct ElfImage {
    bool is64 = true;
    bool bigEndian = false;
    bool withSections = true;
    bool withSegments = true;

    void put(QByteArray& out, int offset, quint64 value, int width) const {
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (bigEndian ? width - 1 - i : i);
            out[offset + i] = char((value >> shift) & 0xFF);
        }
    }

    QByteArray note(const QByteArray& owner, quint32 type, const QByteArray& descriptor) const {
        QByteArray out(12, '\0');
        put(out, 0, quint64(owner.size() + 1), 4);
        put(out, 4, quint64(descriptor.size()), 4);
        put(out, 8, type, 4);
        out += owner;
        out += '\0';
        while (out.size() % 4)
            out += '\0';
        out += descriptor;
        while (out.size() % 4)
            out += '\0';
        return out;
    }

    QByteArray build(const QByteArray& notes) const {
        const int w = is64 ? 8 : 4;
        const int noteOffset = 0x100;
        const int shOffset = noteOffset + int(notes.size() + 7) / 8 * 8;
        const int shEntSize = is64 ? 64 : 40;
        const int phOffset = shOffset + 2 * shEntSize;
        const int phEntSize = is64 ? 56 : 32;
        QByteArray out(phOffset + phEntSize, '\0');
        out.replace(0, 4, "\x7f"
                          "ELF");
        out[4] = char(is64 ? 2 : 1);
        out[5] = char(bigEndian ? 2 : 1);
        out[6] = 1;
        put(out, 16, 2, 2);  // ET_EXEC
        put(out, 18, 62, 2); // machine
        put(out, 20, 1, 4);
        put(out, is64 ? 32 : 28, withSegments ? phOffset : 0, w);
        put(out, is64 ? 40 : 32, withSections ? shOffset : 0, w);
        put(out, is64 ? 52 : 40, is64 ? 64 : 52, 2);
        put(out, is64 ? 54 : 42, phEntSize, 2);
        put(out, is64 ? 56 : 44, withSegments ? 1 : 0, 2);
        put(out, is64 ? 58 : 46, shEntSize, 2);
        put(out, is64 ? 60 : 48, withSections ? 2 : 0, 2);
        out.replace(noteOffset, notes.size(), notes);
        // Section 1: SHT_NOTE (section 0 stays the null section).
        const int sh = shOffset + shEntSize;
        put(out, sh + 4, 7, 4);
        put(out, sh + (is64 ? 24 : 16), noteOffset, w);
        put(out, sh + (is64 ? 32 : 20), quint64(notes.size()), w);
        // Program header 0: PT_NOTE.
        put(out, phOffset, 4, 4);
        put(out, phOffset + (is64 ? 8 : 4), noteOffset, w);
        put(out, phOffset + (is64 ? 32 : 16), quint64(notes.size()), w);
        return out;
    }
};

VersionResource::Contents programContents() {
    VersionResource::StringTable table;
    table.key = QStringLiteral("040904e4");
    table.strings = {{QStringLiteral("CompanyName"), QStringLiteral("Korvel Software")},
                     {QStringLiteral("FileVersion"), FileVersion},
                     {QStringLiteral("ProductName"), QStringLiteral("Palavero")},
                     {QStringLiteral("ProductVersion"), QStringLiteral("2.6")}};
    VersionResource::Contents contents;
    contents.stringTables = {table};
    contents.translations = {{0x0409, 0x04E4}};
    return contents;
}

QByteArray versionNote(const ElfImage& elf, const VersionResource::Contents& contents) {
    return elf.note(ElfNote::VersionOwner, ElfNote::VersionType, VersionResource::build(contents));
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray ownExecutable() {
    QFile file(QCoreApplication::applicationFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ownVersion_data();
    void ownVersion();
    void keyNames_data();
    void keyNames();
    void filesWithoutVersion_data();
    void filesWithoutVersion();
    void missingFile();
    void craftedFiles_data();
    void craftedFiles();
    void truncatedExecutable();
    void hugeFile();
    void strippedExecutable();
    void randomAndDamagedImages();
    void resourceLayout();

    void aboutBoxLayout_data();
    void aboutBoxLayout();
    void aboutBoxWindow();
    void aboutBoxLinksOpenTheirCaption_data();
    void aboutBoxLinksOpenTheirCaption();
    void aboutBoxCloseAndShowAgain();
    void aboutBoxIgnoresVisualStyle();
    void pictures();
};

// ---------------------------------------------------------------- version reader

void TestInfo::ownVersion_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 company") << 0 << QStringLiteral("Korvel Software");
    QTest::newRow("1 description") << 1 << QStringLiteral("Palavero Lite LAN-Messenger");
    QTest::newRow("2 file version") << 2 << FileVersion;
    QTest::newRow("3 internal name") << 3 << QStringLiteral("Palavero");
    QTest::newRow("4 copyright") << 4 << QStringLiteral("Copyright (C) 2014-2026 Korvel Software");
    QTest::newRow("5 trademarks, not present") << 5 << QString();
    QTest::newRow("6 original file name") << 6 << QStringLiteral("palavero");
    QTest::newRow("7 product name") << 7 << QStringLiteral("Palavero");
    QTest::newRow("8 product version") << 8 << QStringLiteral("2.6");
    QTest::newRow("9 comments, not present") << 9 << QString();
    QTest::newRow("10 means file version") << 10 << FileVersion;
    QTest::newRow("-1 means file version") << -1 << FileVersion;
    QTest::newRow("large means file version") << 1000 << FileVersion;
}

void TestInfo::ownVersion() {
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(GetVersionString(QString(), index), expected);
    QCOMPARE(ReadVersionString(QCoreApplication::applicationFilePath(), index), expected);
    // A relative name of the same file reads the same.
    const QString relative = QDir::current().relativeFilePath(QCoreApplication::applicationFilePath());
    QCOMPARE(GetVersionString(relative, index), expected);
}

void TestInfo::keyNames_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("key");
    const char* keys[] = {"CompanyName",      "FileDescription", "FileVersion",    "InternalName",
                          "LegalCopyright",   "LegalTrademarks", "OriginalFilename", "ProductName",
                          "ProductVersion",   "Comments"};
    for (int i = 0; i < 10; ++i)
        QTest::addRow("%d", i) << i << QString::fromLatin1(keys[i]);
    QTest::newRow("10") << 10 << QStringLiteral("FileVersion");
    QTest::newRow("-1") << -1 << QStringLiteral("FileVersion");
}

void TestInfo::keyNames() {
    QFETCH(int, index);
    QFETCH(QString, key);
    QCOMPARE(VersionKeyName(index), key);
}

void TestInfo::filesWithoutVersion_data() {
    QTest::addColumn<QByteArray>("content"); // written to a file; "<dir>" makes a folder instead
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text file") << QByteArray("KVPALAVERODATA:hello\r\n");
    QTest::newRow("only the magic") << QByteArray("\x7f"
                                                  "ELF");
    QTest::newRow("bad class") << QByteArray("\x7f"
                                             "ELF\x07\x01\x01") +
                                      QByteArray(100, '\0');
    QTest::newRow("header without tables") << QByteArray("\x7f"
                                                         "ELF\x02\x01\x01") +
                                                  QByteArray(100, '\0');
    ElfImage elf;
    QTest::newRow("other owner") << elf.build(elf.note("Palaver", ElfNote::VersionType,
                                                       VersionResource::build(programContents())));
    QTest::newRow("other type") << elf.build(elf.note(ElfNote::VersionOwner, 2, VersionResource::build(programContents())));
    QTest::newRow("owner prefix only") << elf.build(elf.note("PalaveroX", ElfNote::VersionType,
                                                             VersionResource::build(programContents())));
    QTest::newRow("a folder") << QByteArray("<dir>");
}

void TestInfo::filesWithoutVersion() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path;
    if (content == "<dir>") {
        path = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkpath(path));
    } else {
        path = writeFile(dir, QStringLiteral("file"), content);
        QVERIFY(!path.isEmpty());
    }
    for (int index : {0, 2, 7, 8, 10}) {
        QCOMPARE(ReadVersionString(path, index), QString());
        QCOMPARE(GetVersionString(path, index), QString());
    }
}

void TestInfo::missingFile() {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no-such-program"));
    QCOMPARE(GetVersionString(missing, 2), QString());
    QCOMPARE(ReadVersionString(missing, 2), QString());
    // A system program built without our note has no version strings either.
    for (const char* name : {"/bin/true", "/usr/bin/true"}) {
        if (QFile::exists(QLatin1String(name)))
            QCOMPARE(GetVersionString(QLatin1String(name), 2), QString());
    }
}

void TestInfo::craftedFiles_data() {
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    struct Layout {
        const char* name;
        bool is64, bigEndian, sections, segments;
    };
    const Layout layouts[] = {{"64-bit little-endian", true, false, true, true},
                              {"64-bit big-endian", true, true, true, true},
                              {"32-bit little-endian", false, false, true, true},
                              {"32-bit big-endian", false, true, true, true},
                              {"sections only", true, false, true, false},
                              {"segments only", true, false, false, true},
                              {"32-bit segments only", false, true, false, true}};
    for (const Layout& layout : layouts) {
        ElfImage elf{layout.is64, layout.bigEndian, layout.sections, layout.segments};
        QTest::addRow("%s: file version", layout.name) << elf.build(versionNote(elf, programContents())) << 2
                                                       << FileVersion;
        QTest::addRow("%s: product version", layout.name)
            << elf.build(versionNote(elf, programContents())) << 8 << QStringLiteral("2.6");
    }

    ElfImage elf;
    {
        // Another note before ours is skipped.
        const QByteArray notes = elf.note("GNU", 3, QByteArray(20, '\x11')) + versionNote(elf, programContents());
        QTest::newRow("after a build-id note") << elf.build(notes) << 2 << FileVersion;
    }
    {
        // The string table sits under a translation that is not the listed one.
        auto contents = programContents();
        contents.stringTables[0].key = QStringLiteral("040704b0");
        QTest::newRow("table not under the translation") << elf.build(versionNote(elf, contents)) << 2 << QString();
    }
    {
        auto contents = programContents();
        contents.translations.clear();
        QTest::newRow("no translation") << elf.build(versionNote(elf, contents)) << 2 << QString();
    }
    {
        // Only the first translation is consulted.
        auto contents = programContents();
        VersionResource::StringTable german;
        german.key = QStringLiteral("040704b0");
        german.strings = {{QStringLiteral("FileVersion"), QStringLiteral("9.9")}};
        contents.stringTables.append(german);
        contents.translations = {{0x0407, 0x04B0}, {0x0409, 0x04E4}};
        QTest::newRow("first of two translations") << elf.build(versionNote(elf, contents)) << 2
                                                   << QStringLiteral("9.9");
        QTest::newRow("key only in the other table") << elf.build(versionNote(elf, contents)) << 7 << QString();
    }
    {
        auto contents = programContents();
        contents.stringTables[0].strings.append({QStringLiteral("Comments"), QString()});
        QTest::newRow("zero-length value") << elf.build(versionNote(elf, contents)) << 9 << QString();
    }
    {
        auto contents = programContents();
        contents.stringTables[0].strings.append(
            {QStringLiteral("LegalTrademarks"), QStringLiteral("Palavero\u2122 \u00e4\u00f6\u00fc")});
        QTest::newRow("non-ASCII text") << elf.build(versionNote(elf, contents)) << 5
                                        << QStringLiteral("Palavero\u2122 \u00e4\u00f6\u00fc");
    }
}

void TestInfo::craftedFiles() {
    QFETCH(QByteArray, image);
    QFETCH(int, index);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("crafted"), image);
    QVERIFY(!path.isEmpty());
    QCOMPARE(ReadVersionString(path, index), expected);
    QCOMPARE(GetVersionString(path, index), expected);
}

void TestInfo::truncatedExecutable() {
    const QByteArray whole = ownExecutable();
    QVERIFY(whole.size() > 1000);
    QTemporaryDir dir;
    // Cut inside the headers: nothing can be found.
    for (int length : {1, 4, 16, 40, 52, 63, 64, 200}) {
        const QString path = writeFile(dir, QStringLiteral("cut%1").arg(length), whole.left(length));
        QCOMPARE(ReadVersionString(path, 2), QString());
    }
    // Cut anywhere else: either the note is still reachable (through the program headers)
    // and reads correctly, or the text is empty; never anything else.
    const QString path = dir.filePath(QStringLiteral("cut"));
    for (int step = 1; step <= 64; ++step) {
        const qsizetype length = whole.size() * step / 65;
        QVERIFY(!writeFile(dir, QStringLiteral("cut"), whole.left(length)).isEmpty());
        const QString text = ReadVersionString(path, 2);
        QVERIFY2(text.isEmpty() || text == FileVersion, qPrintable(QStringLiteral("%1 bytes: %2").arg(length).arg(text)));
    }
    QVERIFY(!writeFile(dir, QStringLiteral("cut"), whole.left(whole.size() - 1)).isEmpty());
    const QString text = ReadVersionString(path, 2);
    QVERIFY(text.isEmpty() || text == FileVersion);
}

void TestInfo::hugeFile() {
    // A sparse 3 GiB file whose section headers sit at its far end (all empty): only the
    // headers and the note area are read, never the whole file, and the note is still found
    // through the program headers.
    QTemporaryDir dir;
    ElfImage elf;
    const QByteArray image = elf.build(versionNote(elf, programContents()));
    const QString path = writeFile(dir, QStringLiteral("huge"), image);
    QFile file(path);
    const qint64 size = qint64(3) << 30;
    if (!file.open(QIODevice::ReadWrite) || !file.resize(size))
        QSKIP("no sparse files here");
    // Move the section headers to the end and make them as many as the format allows.
    QByteArray header = image.left(64);
    elf.put(header, 40, quint64(size - 65535 * 64), 8);
    elf.put(header, 60, 65535, 2);
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(header), qint64(64));
    file.close();
    QCOMPARE(ReadVersionString(path, 2), FileVersion);
    QCOMPARE(GetVersionString(path, 8), QStringLiteral("2.6"));
}

void TestInfo::strippedExecutable() {
    // Packaging strips the program the way Debian does; the version note must survive.
    const QString strip = QStandardPaths::findExecutable(QStringLiteral("strip"));
    if (strip.isEmpty())
        QSKIP("strip is not installed");
    QTemporaryDir dir;
    const QString stripped = dir.filePath(QStringLiteral("palavero"));
    QProcess process;
    process.start(strip, {QStringLiteral("--remove-section=.comment"), QStringLiteral("--remove-section=.note"),
                          QStringLiteral("--strip-unneeded"), QStringLiteral("-o"), stripped,
                          QCoreApplication::applicationFilePath()});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(GetVersionString(stripped, 2), FileVersion);
    QCOMPARE(GetVersionString(stripped, 7), QStringLiteral("Palavero"));
}

void TestInfo::randomAndDamagedImages() {
    QRandomGenerator random(4711);
    // Random bytes behind a valid identification: tables point anywhere.
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(64 + int(random.bounded(4096)), '\0');
        for (auto& b : bytes)
            b = char(random.bounded(256));
        bytes.replace(0, 4, "\x7f"
                            "ELF");
        bytes[4] = char(1 + random.bounded(2));
        bytes[5] = char(1 + random.bounded(2));
        QCOMPARE(VersionStringFromBlock(ElfNote::findInImage(bytes, ElfNote::VersionOwner, ElfNote::VersionType), 2),
                 QString());
    }
    // A valid image with damaged bytes: whatever is read, nothing is read out of bounds
    // (run under the sanitizers) and the answer is the version or empty.
    for (bool is64 : {true, false}) {
        ElfImage elf;
        elf.is64 = is64;
        const QByteArray good = elf.build(versionNote(elf, programContents()));
        QCOMPARE(VersionStringFromBlock(ElfNote::findInImage(good, ElfNote::VersionOwner, ElfNote::VersionType), 2),
                 FileVersion);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bad = good;
            for (int flips = 1 + int(random.bounded(4)); flips > 0; --flips)
                bad[int(random.bounded(bad.size()))] = char(random.bounded(256));
            const QString text =
                VersionStringFromBlock(ElfNote::findInImage(bad, ElfNote::VersionOwner, ElfNote::VersionType), 2);
            Q_UNUSED(text);
        }
    }
    // Random version blocks fed straight to the lookup.
    for (int round = 0; round < 2000; ++round) {
        QByteArray block = VersionResource::build(programContents());
        for (int flips = 1 + int(random.bounded(3)); flips > 0; --flips)
            block[int(random.bounded(block.size()))] = char(random.bounded(256));
        if (round % 3 == 0)
            block.truncate(int(random.bounded(block.size())));
        Q_UNUSED(VersionStringFromBlock(block, int(random.bounded(11))));
    }
}

void TestInfo::resourceLayout() {
    const QByteArray block = VersionResource::build(programContents());
    QVERIFY(!block.isEmpty());
    QCOMPARE(block.size() % 4, 0);
    // wLength of the root is the whole block; the fixed file information follows the key.
    QCOMPARE(int(uchar(block[0]) | uchar(block[1]) << 8), int(block.size()));
    QByteArray fixed;
    QVERIFY(VersionResource::query(block, QStringLiteral("\\"), &fixed));
    QCOMPARE(fixed.size(), 52);
    QCOMPARE(fixed.left(4), QByteArray("\xbd\x04\xef\xfe", 4));
    // dwFileVersionMS / LS: 2.6 / 12.142
    QCOMPARE(fixed.mid(8, 8), QByteArray("\x06\x00\x02\x00\x8e\x00\x0c\x00", 8));
    QByteArray translation;
    int type = -1;
    QVERIFY(VersionResource::query(block, QStringLiteral("\\VarFileInfo\\Translation"), &translation, &type));
    QCOMPARE(translation, QByteArray("\x09\x04\xe4\x04", 4));
    QCOMPARE(type, 0);
    // Keys compare without regard to letter case, as VerQueryValue does.
    QCOMPARE(VersionResource::queryString(block, QStringLiteral("\\stringfileinfo\\040904E4\\fileversion")), FileVersion);
    QCOMPARE(VersionResource::queryString(block, QStringLiteral("\\StringFileInfo\\040904e4\\NoSuchKey")), QString());
}

// ---------------------------------------------------------------- about box

void TestInfo::aboutBoxLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<bool>("bold");
    QTest::newRow("LabelProgram") << "LabelProgram" << "Palavero Lite" << QPoint(128, 21) << true;
    QTest::newRow("LabelVersion") << "LabelVersion" << "Version" << QPoint(128, 46) << false;
    QTest::newRow("LabelVersionNumber") << "LabelVersionNumber" << FileVersion << QPoint(177, 46) << false;
    QTest::newRow("LabelSWWebsite") << "LabelSWWebsite" << "Software-Website" << QPoint(128, 75) << true;
    QTest::newRow("LabelSWUrl") << "LabelSWUrl" << "https://www.korvel-software.example/palavero" << QPoint(128, 96)
                                << false;
    QTest::newRow("Label2") << "Label2" << "Software-Enwicklung" << QPoint(128, 124) << true;
    QTest::newRow("Label3") << "Label3" << "Korvel Software GmbH, Lindau, Deutschland" << QPoint(128, 144) << false;
    QTest::newRow("LabelKorvelUrl") << "LabelKorvelUrl" << "https://www.korvel-software.example" << QPoint(128, 164)
                                    << false;
    QTest::newRow("Label6") << "Label6" << "info@korvel-software.example" << QPoint(128, 185) << false;
}

void TestInfo::aboutBoxLayout() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QPoint, position);
    QFETCH(bool, bold);
    TFakeDesktop desktop;
    TFormKVInfo box(desktop);
    auto* label = box.findChild<QLabel*>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->pos(), position);
    QCOMPARE(label->font().bold(), bold);
    QVERIFY(label->width() > 0);
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
}

void TestInfo::aboutBoxWindow() {
    TFakeDesktop desktop;
    TFormKVInfo box(desktop);
    QCOMPARE(box.windowTitle(), QStringLiteral("Info"));
    QCOMPARE(box.size(), QSize(405, 249));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(!box.isModal());
    QVERIFY(box.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(box.font().pixelSize(), 13);
    QCOMPARE(box.palette().color(QPalette::Window), QColor(Qt::white));

    QCOMPARE(box.LabelProgram->font().pixelSize(), 16);
    QCOMPARE(box.LabelProgram->palette().color(QPalette::WindowText), QColor(34, 102, 170));
    QCOMPARE(box.LabelSWUrl->palette().color(QPalette::WindowText), QColor(72, 136, 255));
    QCOMPARE(box.LabelSWUrl->palette().color(QPalette::Window), QColor(168, 200, 255));
    QVERIFY(box.LabelSWUrl->autoFillBackground());
    QCOMPARE(box.LabelKorvelUrl->palette().color(QPalette::WindowText), QColor(72, 136, 255));
    QCOMPARE(box.LabelSWUrl->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(box.LabelKorvelUrl->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(box.Label2->wordWrap());

    QCOMPARE(box.ImageLogo->geometry(), QRect(12, 23, 100, 100));
    QVERIFY(!box.ImageLogo->pixmap().isNull());

    QCOMPARE(box.ButtonClose->text(), QStringLiteral("Schließen"));
    QCOMPARE(box.ButtonClose->geometry(), QRect(302, 207, 91, 30));
    // The button is the only control reached with Tab.
    for (QWidget* child : box.findChildren<QWidget*>()) {
        if (child != box.ButtonClose)
            QVERIFY2(!(child->focusPolicy() & Qt::TabFocus), qPrintable(child->objectName()));
    }
    QVERIFY(box.ButtonClose->focusPolicy() & Qt::TabFocus);
    // Created hidden, as all the program's windows.
    QVERIFY(!box.isVisible());
}

void TestInfo::aboutBoxLinksOpenTheirCaption_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("product") << "LabelSWUrl";
    QTest::newRow("maker") << "LabelKorvelUrl";
}

void TestInfo::aboutBoxLinksOpenTheirCaption() {
    QFETCH(QString, name);
    TFakeDesktop desktop;
    TFormKVInfo box(desktop);
    box.ShowInfo();
    auto* label = box.findChild<TClickLabel*>(name);
    QVERIFY(label);
    // The caption itself is what is opened, whatever it says.
    label->setText(QStringLiteral("https://changed.example/") + name);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(desktop.opened, QStringList{label->text()});
    // Other buttons and a press that ends outside the label do nothing.
    QTest::mouseClick(label, Qt::RightButton);
    QTest::mousePress(label, Qt::LeftButton);
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(desktop.opened.size(), 1);
    // The plain e-mail label is no link.
    QTest::mouseClick(box.Label6, Qt::LeftButton);
    QCOMPARE(desktop.opened.size(), 1);
}

void TestInfo::aboutBoxCloseAndShowAgain() {
    TFakeDesktop desktop;
    QWidget owner;
    owner.setGeometry(300, 200, 600, 400);
    owner.show();
    TFormKVInfo box(desktop, &owner);
    box.ShowInfo();
    QVERIFY(box.isVisible());
    QVERIFY(box.isWindow());
    QVERIFY(!box.isModal());
    QVERIFY(!QApplication::activeModalWidget());
    // Centred over the owner.
    QCOMPARE(box.frameGeometry().center().x() / 10, owner.frameGeometry().center().x() / 10);

    // The user moves the box; a second "Info" leaves it where it is.
    box.move(40, 50);
    const QPoint moved = box.pos();
    box.ShowInfo();
    QVERIFY(box.isVisible());
    QCOMPARE(box.pos(), moved);

    QTest::mouseClick(box.ButtonClose, Qt::LeftButton);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), 0); // closing the box is no answer to anything
    // The same window comes back.
    box.ShowInfo();
    QVERIFY(box.isVisible());
    QCOMPARE(box.LabelVersionNumber->text(), FileVersion);
    box.ButtonCloseClick();
    QVERIFY(box.isHidden());
    QVERIFY(desktop.opened.isEmpty());
}

void TestInfo::aboutBoxIgnoresVisualStyle() {
    const QString style = Pictures::styleSheet();
    QVERIFY(style.contains(QStringLiteral("QMenu")));
    qApp->setStyleSheet(style);
    TFakeDesktop desktop;
    TFormKVInfo box(desktop);
    box.ShowInfo();
    box.ensurePolished();
    QCOMPARE(box.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(box.LabelProgram->font().pixelSize(), 16);
    QCOMPARE(box.LabelVersion->font().pixelSize(), 13);
    QCOMPARE(box.LabelSWUrl->palette().color(QPalette::WindowText), QColor(72, 136, 255));
    // Other dialogs do take the style's light background.
    QDialog other;
    other.show();
    other.ensurePolished();
    QVERIFY(other.palette().color(QPalette::Window) != QColor(Qt::white));
    qApp->setStyleSheet(QString());
}

void TestInfo::pictures() {
    const QIcon app = Pictures::appIcon();
    QVERIFY(!app.isNull());
    QVERIFY(app.availableSizes().contains(QSize(16, 16)));
    QVERIFY(app.availableSizes().contains(QSize(64, 64)));
    for (const QIcon& icon : {Pictures::sendIcon(), Pictures::sendAllIcon()}) {
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(16, 16).toImage();
        // Drawn, not blank: some pixel is opaque.
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y)
            for (int x = 0; x < image.width() && !painted; ++x)
                painted = qAlpha(image.pixel(x, y)) > 128;
        QVERIFY(painted);
    }
    const QPixmap logo = Pictures::logo(100);
    QCOMPARE(logo.size(), QSize(100, 100));
    QCOMPARE(Pictures::logo(100, 2.0).size(), QSize(200, 200));
    QCOMPARE(Pictures::logo(50).size(), QSize(50, 50));
    for (const char* path : {":/palavero/icon-16.png", ":/palavero/icon-256.png", ":/palavero/send-16.png",
                             ":/palavero/sendall-32.png", ":/palavero/logo-100.png", ":/palavero/korvel2014-light.qss"})
        QVERIFY2(QFile::exists(QLatin1String(path)), path);
    // The icon's main colour is the about box's blue.
    const QImage icon = app.pixmap(64, 64).toImage();
    const QColor centre = icon.pixelColor(32, 40);
    QVERIFY2(qAbs(centre.blue() - 170) < 40 && centre.blue() > centre.red(), qPrintable(centre.name()));
}

PALAVERO_TEST_MAIN(TestInfo)
#include "tst_info.moc"
