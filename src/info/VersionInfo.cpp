#include "VersionInfo.h"

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
    return VersionResource::queryString(block, VersionStringPath(quint16(word(0)), quint16(word(2)), key));
}

QString VersionStringPath(quint16 language, quint16 codePage, const QString& key) {
    return QStringLiteral("\\StringFileInfo\\%1%2\\%3")
        .arg(language, 4, 16, QLatin1Char('0'))
        .arg(codePage, 4, 16, QLatin1Char('0'))
        .arg(key);
}

QString GetVersionString(const QString& fileName, int index) {
    QString name = fileName;
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
    if (!QFileInfo::exists(name))
        return {};
    return ReadVersionString(name, index);
}
