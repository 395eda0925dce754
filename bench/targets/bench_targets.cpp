// Makes the group entries of a target list those of a group file, as after an
// editing run or a received distribution, in a list that also holds 10 000
// computers: a few groups changed, every group changed, nothing changed. Each
// case runs three times; the best time is printed.

#include "groups/GroupOps.h"
#include "net/TargetList.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kComputers = 10000;

QList<QByteArray> groupEntries(int count, const QByteArray& prefix) {
    QList<QByteArray> entries;
    for (int i = 0; i < count; ++i)
        entries << groupEntryText(prefix + QByteArray::number(i));
    return entries;
}

TTargetList* filledList(const QList<QByteArray>& groups) {
    auto* list = new TTargetList("PC-SELF");
    for (int i = 0; i < kComputers; ++i)
        list->AddRemoteComputer("PC-" + QByteArray::number(i),
                                "10.0." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250));
    list->replaceEntries(isGroupEntry, groups);
    return list;
}

// Best of three: a fresh list holding `before`, made to hold `after`.
double bestMs(const QList<QByteArray>& before, const QList<QByteArray>& after, bool* ok) {
    double best = 1e18;
    for (int run = 0; run < 3; ++run) {
        std::unique_ptr<TTargetList> list(filledList(before));
        QElapsedTimer timer;
        timer.start();
        list->replaceEntries(isGroupEntry, after);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        *ok = *ok && list->count() == kComputers + after.size();
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool ok = true;
    std::printf("group entries in a target list with %d computers (best of 3)\n", kComputers);
    for (const int groups : {1000, 10000}) {
        const QList<QByteArray> current = groupEntries(groups, "Gruppe ");
        QList<QByteArray> renamed = current;
        renamed[1] = groupEntryText("Umbenannt 1");
        renamed[groups / 2] = groupEntryText("Umbenannt 2");
        const QList<QByteArray> others = groupEntries(groups, "Andere ");
        std::printf("  %6d groups: two renamed %8.2f ms, all replaced %8.2f ms, none changed %8.2f ms\n",
                    groups, bestMs(current, renamed, &ok), bestMs(current, others, &ok),
                    bestMs(current, current, &ok));
    }
    std::printf(ok ? "ok\n" : "WRONG RESULT\n");
    return ok ? 0 : 1;
}
