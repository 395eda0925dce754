#include "groups/GroupOps.h"

#include "core/FileErrorText.h"
#include "core/FileRead.h"
#include "core/FileReplace.h"
#include "core/TextUtil.h"
#include "groups/GroupFile.h"

#include <QFileInfo>

QByteArray ReadFileText(const QString& path) {
    QByteArray bytes;
    if (FileRead::readAll(path, TGroupFile::kMaxFileSize, &bytes) != FileRead::Status::Read)
        return {};
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\0' || bytes.at(i) == '\x1a') {
            bytes.truncate(i);
            break;
        }
    }
    bytes.removeIf([](char c) { return c == '\r'; });
    return bytes;
}

bool ApplyReceivedGroups(const QString& path, const QByteArray& payload, QString* reason) {
    try {
        return FileReplace::write(path, payload, reason);
    } catch (...) {
        return false;
    }
}

std::optional<QByteArray> groupMembersText(const QString& groupsFile, const QByteArray& groupName) {
    if (!QFileInfo::exists(groupsFile))
        return std::nullopt;
    const TGroupFile file = TGroupFile::load(groupsFile);
    return TextUtil::trim(file.membersText(groupName));
}

bool isGroupEntry(const QByteArray& text) {
    return TextUtil::trim(text).startsWith('<');
}

QByteArray groupEntryText(const QByteArray& groupName) {
    return '<' + groupName + '>';
}

QString groupFileUnreadableText(const QString& groupsFile, const QString& reason) {
    return FileErrorText::message(QStringLiteral("Die Gruppendatei kann nicht gelesen werden: "), groupsFile, reason);
}
