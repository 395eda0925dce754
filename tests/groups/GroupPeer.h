#pragma once

#include "common/Fakes.h"

#include "groups/GroupDistribution.h"
#include "groups/GroupOps.h"
#include "net/TargetList.h"

#include <QDir>
#include <QFile>

// One computer's groups side as the program wires it: the distribution with
// the real target list, the endpoint recorded.
struct TGroupPeer {
    explicit TGroupPeer(const QString& dir, const QByteArray& name = "PC-TEST")
        : targets(name),
          groups(
              name,
              [this](const QByteArray& host, const QByteArray& text) {
                  sent.append({host, text});
                  return sendResult;
              },
              [this](const QList<QByteArray>& entries) { targets.replaceEntries(isGroupEntry, entries); },
              boxes) {
        groups.setGroupsFile(QDir(dir).filePath(QStringLiteral("PalaveroGroups.ini")));
    }
    TFakeMessageBoxes boxes;
    TTargetList targets;
    QList<std::pair<QByteArray, QByteArray>> sent;
    bool sendResult = true;
    TGroupDistribution groups;
};

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<unreadable>");
    return f.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
