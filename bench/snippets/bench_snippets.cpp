// Loads snippet files of 10 000 and 100 000 snippets as the start-up does,
// expands the last key with F3 (the lookup's worst case: every row compared)
// and saves the store. Each size runs three times; the best time is printed.
// --smoke: 100 snippets once, checks the result only (for the test run).

#include "BenchSmoke.h"
#include "snippets/SnippetExpansion.h"
#include "snippets/SnippetStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray snippetFile(int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "k" + QByteArray::number(i) + "=Mit freundlichen Gr\xfc\xdf" "en Nr. " + QByteArray::number(i) + "\r\n";
    return text;
}

struct TTimes {
    double loadMs = 0;
    double expandUs = 0;
    double saveMs = 0;
    bool ok = false;
};

TTimes run(const QString& path, int count) {
    TTimes t;
    QElapsedTimer timer;
    TSnippetStore store;
    store.setSnippetFile(path);
    timer.start();
    store.LoadSnippetFile();
    t.loadMs = timer.nsecsElapsed() / 1e6;

    const QString text = QStringLiteral("Gruß K%1").arg(count - 1);
    timer.restart();
    const auto replacement = SnippetExpansion::expand(
        text, text.size(), false, [&](const QByteArray& key) { return store.LookupSnippet(key); });
    t.expandUs = timer.nsecsElapsed() / 1e3;

    timer.restart();
    const bool saved = store.Save();
    t.saveMs = timer.nsecsElapsed() / 1e6;
    t.ok = store.snippets().size() == count && replacement &&
           replacement->text == QStringLiteral("Mit freundlichen Grüßen Nr. %1").arg(count - 1) && saved;
    return t;
}

// Writes a snippet file of `count` snippets; false when it cannot.
bool writeSnippetFile(const QString& path, int count) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(snippetFile(count)) >= 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PalaveroTB.ini"));
    if (BenchSmoke::requested()) {
        constexpr int kCount = 100;
        if (!writeSnippetFile(path, kCount))
            return BenchSmoke::report(false, "cannot write the snippet file");
        return BenchSmoke::report(run(path, kCount).ok);
    }
    bool ok = true;
    for (const int count : {10000, 100000}) {
        if (!writeSnippetFile(path, count))
            return 2;
        TTimes best = run(path, count);
        for (int i = 0; i < 2; ++i) {
            const TTimes again = run(path, count);
            best.ok = best.ok && again.ok;
            best.loadMs = std::min(best.loadMs, again.loadMs);
            best.expandUs = std::min(best.expandUs, again.expandUs);
            best.saveMs = std::min(best.saveMs, again.saveMs);
        }
        ok = ok && best.ok;
        std::printf("%6d snippets: load %.1f ms, F3 on the last key %.0f us, save %.1f ms (%s)\n", count,
                    best.loadMs, best.expandUs, best.saveMs, best.ok ? "all right" : "WRONG");
    }
    return ok ? 0 : 1;
}
