#pragma once

#include <QStringList>

// The command line: every parameter on its own, case-insensitively.
// "-p" + up to five characters: the UDP port (3030 when not a number; used
// through its low 16 bits). "-f" + up to three characters: the main window's
// font size in points (9 when not a number). Anything else is ignored.
struct TCommandLine {
    static constexpr int kDefaultPort = 3030;
    static constexpr int kDefaultFontSize = 9;

    int port = kDefaultPort;
    int fontSize = kDefaultFontSize;

    // `arguments` without the program name.
    static TCommandLine parse(const QStringList& arguments);
    quint16 udpPort() const { return static_cast<quint16>(port & 0xFFFF); }
};
