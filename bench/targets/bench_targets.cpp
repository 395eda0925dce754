// Makes the group entries of a target list those of a group file, as after an
// editing run or a received distribution, in a list that also holds 10 000
// computers: a few groups changed, every group changed, nothing changed. Each
// case runs three times; the best time is printed.
// --smoke: 100 computers and 20 groups, each case once, checks the result only
// (for the test run).

#include "BenchSmoke.h"
#include "groups/GroupOps.h"
#include "net/TargetList.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kComputers = 10000;
constexpr int kRuns = 3;

QList<QByteArray> groupEntries(int count, const QByteArray& prefix) {
    QList<QByteArray> entries;
    for (int i = 0; i < count; ++i)
        entries << groupEntryText(prefix + QByteArray::number(i));
    return entries;
}

TTargetList* filledList(const QList<QByteArray>& groups, int computers) {
    auto* list = new TTargetList("PC-SELF");
    for (int i = 0; i < computers; ++i)
        list->AddRemoteComputer("PC-" + QByteArray::number(i),
                                "10.0." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250));
    list->replaceEntries(isGroupEntry, groups);
    return list;
}

// The computers and exactly the group entries `groups`.
bool holds(const TTargetList& list, int computers, const QList<QByteArray>& groups) {
    if (list.count() != computers + groups.size())
        return false;
    return std::all_of(groups.begin(), groups.end(),
                       [&](const QByteArray& entry) { return list.indexOf(entry, Qt::CaseSensitive) >= 0; });
}

// Best of `runs`: a fresh list holding `before`, made to hold `after`.
double bestMs(const QList<QByteArray>& before, const QList<QByteArray>& after, bool* ok, int computers = kComputers,
              int runs = kRuns) {
    double best = 1e18;
    for (int run = 0; run < runs; ++run) {
        std::unique_ptr<TTargetList> list(filledList(before, computers));
        QElapsedTimer timer;
        timer.start();
        list->replaceEntries(isGroupEntry, after);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        *ok = *ok && holds(*list, computers, after);
    }
    return best;
}

// The cases of one size: two groups renamed, every group replaced, nothing changed.
struct TCases {
    QList<QByteArray> current, renamed, others;
    explicit TCases(int groups)
        : current(groupEntries(groups, "Gruppe ")), renamed(current), others(groupEntries(groups, "Andere ")) {
        renamed[1] = groupEntryText("Umbenannt 1");
        renamed[groups / 2] = groupEntryText("Umbenannt 2");
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool ok = true;
    if (BenchSmoke::requested()) {
        const TCases cases(20);
        for (const auto* after : {&cases.renamed, &cases.others, &cases.current})
            bestMs(cases.current, *after, &ok, 100, 1);
        return BenchSmoke::report(ok);
    }
    std::printf("group entries in a target list with %d computers (best of 3)\n", kComputers);
    for (const int groups : {1000, 10000}) {
        const TCases cases(groups);
        std::printf("  %6d groups: two renamed %8.2f ms, all replaced %8.2f ms, none changed %8.2f ms\n",
                    groups, bestMs(cases.current, cases.renamed, &ok), bestMs(cases.current, cases.others, &ok),
                    bestMs(cases.current, cases.current, &ok));
    }
    std::printf(ok ? "ok\n" : "WRONG RESULT\n");
    return ok ? 0 : 1;
}
