// Loads, looks up and saves group files of 10 000 and 100 000 groups, the way
// the start-up (the target list's group entries) and a received distribution
// use them. Each size runs three times; the best time is printed.
// --smoke: 100 groups once, checks the result only (for the test run).

#include "BenchSmoke.h"
#include "groups/GroupFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

QByteArray groupFile(int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "[Gruppe " + QByteArray::number(i) + " \xc4rzte]\r\nMembers=PC-" + QByteArray::number(i) +
                ",PC-" + QByteArray::number(i + 1) + ",\r\n\r\n";
    return text;
}

struct TTimes {
    qint64 loadMs = 0;
    qint64 lookupMs = 0;
    qint64 saveMs = 0;
    qint64 loadCpuMs = 0;
    bool ok = false;
};

TTimes run(const QString& path, int count) {
    TTimes t;
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu = std::clock();
    const TGroupFile file = TGroupFile::load(path);
    const QList<QByteArray> names = file.groupNames();
    t.loadCpuMs = qint64(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC;
    t.loadMs = timer.restart();
    qsizetype members = 0;
    for (const QByteArray& name : names)
        members += file.members(name.toLower()).size();
    t.lookupMs = timer.restart();
    const bool saved = file.save(path + QStringLiteral(".out"));
    t.saveMs = timer.elapsed();
    t.ok = names.size() == count && members == 2 * qsizetype(count) && saved;
    return t;
}

// Writes a group file of `count` groups; false when it cannot.
bool writeGroupFile(const QString& path, int count) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(groupFile(count)) >= 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroGroups.ini"));
    if (BenchSmoke::requested()) {
        constexpr int kCount = 100;
        if (!writeGroupFile(path, kCount))
            return BenchSmoke::report(false, "cannot write the group file");
        return BenchSmoke::report(run(path, kCount).ok);
    }
    bool ok = true;
    for (const int count : {10000, 100000}) {
        if (!writeGroupFile(path, count))
            return 2;
        TTimes best = run(path, count);
        for (int i = 0; i < 2; ++i) {
            const TTimes again = run(path, count);
            best.ok = best.ok && again.ok;
            best.loadMs = std::min(best.loadMs, again.loadMs);
            best.loadCpuMs = std::min(best.loadCpuMs, again.loadCpuMs);
            best.lookupMs = std::min(best.lookupMs, again.lookupMs);
            best.saveMs = std::min(best.saveMs, again.saveMs);
        }
        ok = ok && best.ok;
        std::printf(
            "%6d groups: load %lld ms (CPU %lld ms), every group's members %lld ms, save %lld ms (%s)\n",
            count, static_cast<long long>(best.loadMs), static_cast<long long>(best.loadCpuMs),
            static_cast<long long>(best.lookupMs), static_cast<long long>(best.saveMs),
            best.ok ? "all read" : "WRONG");
    }
    return ok ? 0 : 1;
}
