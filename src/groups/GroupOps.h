#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Operations on the group file that the main window, the sender and the
// datagram dispatch use. All text is Windows-1252.

// The GROUPS keyword of the datagram, colon included.
inline constexpr char kGroupsKeyword[] = "KVPALAVEROGROUPS:";

// The file's bytes with every CR byte removed, cut before the first byte 0 or
// 26; empty when the file is missing or cannot be read (only a regular file
// of at most TGroupFile::kMaxFileSize bytes is read). This is the payload of
// a GROUPS datagram.
QByteArray ReadFileText(const QString& path);

// Replaces the file by exactly the payload bytes (a new file renamed over the
// old one, so a failure leaves the old file whole). False on any failure, with
// the German reason in `reason` when given; no message is shown.
bool ApplyReceivedGroups(const QString& path, const QByteArray& payload, QString* reason = nullptr);

// For the sender: the "Members" value of the named group, trimmed (empty when
// the group or the key is missing or the file cannot be read); nullopt when the
// group file does not exist.
std::optional<QByteArray> groupMembersText(const QString& groupsFile, const QByteArray& groupName);

// True when the target-list entry, trimmed of blanks and control characters,
// begins with '<'.
bool isGroupEntry(const QByteArray& text);
// The target-list entry of a group: "<" + name + ">".
QByteArray groupEntryText(const QByteArray& groupName);

// The message for a group file that exists but cannot be read, with the reason
// on a line of its own.
QString groupFileUnreadableText(const QString& groupsFile, const QString& reason);
