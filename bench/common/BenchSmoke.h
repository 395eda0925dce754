// The smoke mode of a benchmark (--smoke): the smallest sizes that still run
// the code path, one run, and a check of the result only, never of the time.
// The test run starts every benchmark this way.
#pragma once

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace BenchSmoke {

inline bool requested() {
    return QCoreApplication::arguments().contains(QStringLiteral("--smoke"));
}

// Prints "smoke: ok" or what is wrong; the exit status of the smoke run.
inline int report(bool ok, const char* wrong = "WRONG RESULT") {
    std::printf("smoke: %s\n", ok ? "ok" : wrong);
    return ok ? 0 : 1;
}

} // namespace BenchSmoke
