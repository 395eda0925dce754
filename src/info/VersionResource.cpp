#include "VersionResource.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace VersionResource {
namespace {

constexpr int MaxLength = 0xFFFF;

void put16(QByteArray& out, int offset, quint16 value) {
    out[offset] = char(value & 0xFF);
    out[offset + 1] = char(value >> 8);
}

void append16(QByteArray& out, quint16 value) {
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void appendText(QByteArray& out, const QString& text) {
    for (QChar c : text)
        append16(out, c.unicode());
    append16(out, 0);
}

void pad32(QByteArray& out) {
    while (out.size() % 4 != 0)
        out.append('\0');
}

// A node of the tree; `value` is already encoded, `valueLength` is the wValueLength field
// (in UTF-16 units for text, in bytes for binary values).
struct Node {
    QString key;
    int type = 1;
    QByteArray value;
    int valueLength = 0;
    QList<Node> children;
};

// Appends the node at a 32-bit aligned offset of `out`; false when a length overflows.
bool writeNode(QByteArray& out, const Node& node) {
    const int start = out.size();
    append16(out, 0); // wLength, patched below
    append16(out, quint16(node.valueLength));
    append16(out, quint16(node.type));
    appendText(out, node.key);
    pad32(out);
    out.append(node.value);
    for (const Node& child : node.children) {
        pad32(out);
        if (!writeNode(out, child))
            return false;
    }
    const int length = out.size() - start;
    if (length > MaxLength || node.valueLength > MaxLength)
        return false;
    put16(out, start, quint16(length));
    return true;
}

QByteArray fixedFileInfo(const QString& fileVersion, const QString& productVersion) {
    auto parts = [](const QString& version) {
        quint16 v[4] = {0, 0, 0, 0};
        const QStringList items = version.split(QLatin1Char('.'));
        for (int i = 0; i < 4 && i < items.size(); ++i)
            v[i] = quint16(items[i].toUInt());
        return std::array<quint32, 2>{quint32(v[0]) << 16 | v[1], quint32(v[2]) << 16 | v[3]};
    };
    const auto file = parts(fileVersion);
    const auto product = parts(productVersion);
    const quint32 fields[13] = {0xFEEF04BD, 0x00010000, file[0], file[1], product[0], product[1],
                                0x3F, 0, 0x40004 /* VOS_NT_WINDOWS32 */, 1 /* VFT_APP */, 0, 0, 0};
    QByteArray out;
    for (quint32 f : fields) {
        append16(out, quint16(f & 0xFFFF));
        append16(out, quint16(f >> 16));
    }
    return out;
}

QString lookup(const StringTable& table, const QString& name) {
    for (const auto& [key, value] : table.strings)
        if (key == name)
            return value;
    return {};
}

// Reading side: a node's parsed header within [begin, end) of the block.
struct Parsed {
    int begin = 0;
    int end = 0; // begin + wLength
    int valueLength = 0;
    int type = 0;
    QString key;
    int valueBegin = 0;
    int childrenBegin = 0; // first child, 32-bit aligned
};

int align4(int offset) { return (offset + 3) & ~3; }

quint16 read16(const QByteArray& block, int offset) {
    return quint16(uchar(block[offset])) | quint16(uchar(block[offset + 1])) << 8;
}

bool parseNode(const QByteArray& block, int begin, int limit, Parsed* node) {
    if (begin < 0 || begin + 6 > limit)
        return false;
    const int length = read16(block, begin);
    if (length < 6 || begin + length > limit)
        return false;
    node->begin = begin;
    node->end = begin + length;
    node->valueLength = read16(block, begin + 2);
    node->type = read16(block, begin + 4);
    node->key.clear();
    int pos = begin + 6;
    for (;;) {
        if (pos + 2 > node->end)
            return false; // key without its zero
        const quint16 c = read16(block, pos);
        pos += 2;
        if (c == 0)
            break;
        node->key.append(QChar(c));
    }
    node->valueBegin = align4(pos);
    const int valueBytes = node->type == 1 ? node->valueLength * 2 : node->valueLength;
    // The root VS_VERSION_INFO and the containers carry binary or no values; text is in UTF-16 units.
    if (node->valueBegin + valueBytes > node->end) {
        // Some writers count text values in bytes; accept a value that fits that way.
        if (node->type != 1 || node->valueBegin + node->valueLength > node->end)
            return false;
    }
    node->childrenBegin = align4(std::min(node->valueBegin + valueBytes, node->end));
    return true;
}

} // namespace

QByteArray build(const Contents& contents) {
    Node root;
    root.key = QStringLiteral("VS_VERSION_INFO");
    root.type = 0;
    QString fileVersion, productVersion;
    if (!contents.stringTables.isEmpty()) {
        fileVersion = lookup(contents.stringTables.first(), QStringLiteral("FileVersion"));
        productVersion = lookup(contents.stringTables.first(), QStringLiteral("ProductVersion"));
    }
    root.value = fixedFileInfo(fileVersion, productVersion);
    root.valueLength = int(root.value.size());

    if (!contents.stringTables.isEmpty()) {
        Node stringFileInfo;
        stringFileInfo.key = QStringLiteral("StringFileInfo");
        for (const StringTable& table : contents.stringTables) {
            Node tableNode;
            tableNode.key = table.key;
            for (const auto& [name, text] : table.strings) {
                Node entry;
                entry.key = name;
                appendText(entry.value, text);
                entry.valueLength = int(text.size()) + 1;
                tableNode.children.append(entry);
            }
            stringFileInfo.children.append(tableNode);
        }
        root.children.append(stringFileInfo);
    }
    if (!contents.translations.isEmpty()) {
        Node var;
        var.key = QStringLiteral("Translation");
        var.type = 0;
        for (const auto& [language, codePage] : contents.translations) {
            append16(var.value, language);
            append16(var.value, codePage);
        }
        var.valueLength = int(var.value.size());
        Node varFileInfo;
        varFileInfo.key = QStringLiteral("VarFileInfo");
        varFileInfo.children.append(var);
        root.children.append(varFileInfo);
    }
    QByteArray out;
    if (!writeNode(out, root))
        return {};
    pad32(out);
    return out;
}

bool query(const QByteArray& block, const QString& path, QByteArray* value, int* type) {
    Parsed node;
    if (!parseNode(block, 0, int(block.size()), &node))
        return false;
    const QStringList keys = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& key : keys) {
        bool found = false;
        Parsed child;
        for (int pos = node.childrenBegin; pos + 6 <= node.end;) {
            if (!parseNode(block, pos, node.end, &child))
                return false;
            if (child.key.compare(key, Qt::CaseInsensitive) == 0) {
                found = true;
                break;
            }
            pos = align4(child.end);
        }
        if (!found)
            return false;
        node = child;
    }
    const int valueBytes = node.type == 1 ? node.valueLength * 2 : node.valueLength;
    const int available = node.end - node.valueBegin;
    if (value)
        *value = block.mid(node.valueBegin, std::min(valueBytes, available));
    if (type)
        *type = node.type;
    return true;
}

QString queryString(const QByteArray& block, const QString& path) {
    QByteArray bytes;
    if (!query(block, path, &bytes) || bytes.isEmpty())
        return {};
    QString text;
    for (int i = 0; i + 1 < bytes.size(); i += 2) {
        const quint16 c = read16(bytes, i);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

} // namespace VersionResource
