#pragma once

struct TCommandLine;

// The modes that run without a window and without a display: --help,
// --version, --send, --listen, and a wrong command line.
namespace Headless {

// Whether the command line is answered without a window.
bool handles(const TCommandLine& commandLine);
// Runs it with a QCoreApplication (no QApplication) and returns the exit status.
int run(int argc, char** argv, const TCommandLine& commandLine);

} // namespace Headless
