#include "VersionInfo.h"

#include "ElfNote.h"
#include "VersionResource.h"

#include <QCoreApplication>
#include <QFileInfo>

QString VersionKeyName(int index) {
    static const char* const keys[] = {"CompanyName",    "FileDescription",  "FileVersion",
                                       "InternalName",   "LegalCopyright",   "LegalTrademarks",
                                       "OriginalFilename", "ProductName",    "ProductVersion",
                                       "Comments"};
    if (index < 0 || index >= int(std::size(keys)))
        return QStringLiteral("FileVersion");
    return QString::fromLatin1(keys[index]);
}

QString VersionStringFromBlock(const QByteArray& block, int index) {
    const QString key = VersionKeyName(index);
    QByteArray translation;
    if (!VersionResource::query(block, QStringLiteral("\\VarFileInfo\\Translation"), &translation) ||
        translation.size() < 4)
        return {};
    // Only the first entry counts: language and code page, two little-endian 16-bit numbers.
    const auto word = [&](int offset) {
        return uint(uchar(translation[offset])) | uint(uchar(translation[offset + 1])) << 8;
    };
    const QString path = QStringLiteral("\\StringFileInfo\\%1%2\\%3")
                             .arg(word(0), 4, 16, QLatin1Char('0'))
                             .arg(word(2), 4, 16, QLatin1Char('0'))
                             .arg(key);
    return VersionResource::queryString(block, path);
}

QString ReadVersionString(const QString& fileName, int index) {
    const QByteArray block = ElfNote::find(fileName, ElfNote::VersionOwner, ElfNote::VersionType);
    if (block.isEmpty())
        return {};
    return VersionStringFromBlock(block, index);
}

QString GetVersionString(const QString& fileName, int index) {
    QString name = fileName;
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
    if (!QFileInfo::exists(name))
        return {};
    return ReadVersionString(name, index);
}
