// 100 000 distinct computers joining: the target list with the recipient box
// attached (completion active, with typed text that matches no entry, its
// worst case), on the GUI thread of an offscreen application. Names arrive in
// batches of 500 between which the event loop runs, as datagrams do; a timer
// asks every 10 ms whether the loop answers, and the longest wait is printed
// next to the total time and the cost per entry at the start and at the end.
// Runs three times and prints min/median/max.
// --smoke: 300 names once, checks the result only (for the test run).

#include "BenchSmoke.h"
#include "app/TargetCombo.h"
#include "net/TargetList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

struct TRun {
    double totalMs = 0;
    double firstUsPerEntry = 0; // the first 10 000
    double lastUsPerEntry = 0;  // the last 10 000
    double longestWaitMs = 0;   // the event loop's longest silence
    bool correct = false;
};

TRun run(int count, unsigned seed) {
    std::vector<QByteArray> names;
    names.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        names.push_back("PC-" + QByteArray::number(i).rightJustified(6, '0'));
    std::shuffle(names.begin(), names.end(), std::mt19937(seed));

    TTargetList list("BENCH");
    TTargetCombo box;
    box.setTargetModel(&list);
    box.show();
    box.activateWindow();
    box.setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(box.lineEdit(), &key);

    QElapsedTimer sinceTick;
    sinceTick.start();
    double longest = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    ticker.start();

    constexpr int kBatch = 500;
    const int window = std::min(10000, count);
    QElapsedTimer total;
    total.start();
    qint64 firstNs = 0, lastStartNs = 0;
    for (int i = 0; i < count; i += kBatch) {
        for (int j = i; j < std::min(count, i + kBatch); ++j)
            list.AddRemoteComputer(names[size_t(j)], "10.0.0.1");
        if (i + kBatch == window)
            firstNs = total.nsecsElapsed();
        if (i == count - window)
            lastStartNs = total.nsecsElapsed();
        QCoreApplication::processEvents();
    }
    const qint64 endNs = total.nsecsElapsed();
    TRun r;
    r.totalMs = endNs / 1e6;
    r.firstUsPerEntry = firstNs / 1e3 / window;
    r.lastUsPerEntry = (endNs - lastStartNs) / 1e3 / window;
    r.longestWaitMs = longest;
    r.correct = list.count() == count && box.count() == count && box.currentText() == QStringLiteral("x") &&
                list.textAt(0) == "PC-000000";
    return r;
}

void printFigure(const char* name, std::vector<double> v, const char* unit) {
    std::sort(v.begin(), v.end());
    std::printf("%-44s min %10.1f  median %10.1f  max %10.1f %s\n", name, v.front(), v[v.size() / 2], v.back(), unit);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (BenchSmoke::requested())
        return BenchSmoke::report(run(300, 1).correct);
    constexpr int kCount = 100000;
    std::vector<double> total, first, last, wait;
    for (unsigned round = 1; round <= 3; ++round) {
        const TRun r = run(kCount, round);
        if (!r.correct) {
            std::fprintf(stderr, "wrong result in round %u\n", round);
            return 1;
        }
        total.push_back(r.totalMs);
        first.push_back(r.firstUsPerEntry);
        last.push_back(r.lastUsPerEntry);
        wait.push_back(r.longestWaitMs);
    }
    std::printf("%d distinct computers joining, recipient box attached, 3 runs (target: <= 5 s, loop answers)\n",
                kCount);
    printFigure("total", total, "ms");
    printFigure("per entry, first 10 000", first, "us");
    printFigure("per entry, last 10 000", last, "us");
    printFigure("longest wait of the event loop", wait, "ms");
    std::printf("last/first cost per entry (median): %.2f (1 = linear)\n", [&] {
        std::sort(first.begin(), first.end());
        std::sort(last.begin(), last.end());
        return last[1] / first[1];
    }());
    return 0;
}
