#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line: every parameter on its own, case-insensitively.
// "-p" + up to five characters: the UDP port (3030 when not a number; used
// through its low 16 bits). "-f" + up to three characters: the main window's
// font size in points (9 when not a number). Words that are not options are
// ignored by the window.
// Beyond these: --help (-h), --version, --send RECIPIENT [TEXT] and --listen,
// which run without a window. Any other option is an error; "--" ends the
// options, so that a text may begin with "-".
struct TCommandLine {
    static constexpr int kDefaultPort = 3030;
    static constexpr int kDefaultFontSize = 9;
    // Exit status of a wrong command line.
    static constexpr int kUsageExitCode = 2;

    enum class TMode { Window, Help, Version, Send, Listen };

    int port = kDefaultPort;
    int fontSize = kDefaultFontSize;
    TMode mode = TMode::Window;
    // --send: the recipient and the text; no text means standard input.
    QString recipient;
    std::optional<QString> text;
    // One German line when the command line is wrong; `badOption` is the
    // option it names, if any.
    QString error;
    QString badOption;

    // `arguments` without the program name.
    static TCommandLine parse(const QStringList& arguments);
    quint16 udpPort() const { return static_cast<quint16>(port & 0xFFFF); }

    // Whether an option belongs to the toolkit (such as -style or -session),
    // which takes it away before the program sees the command line.
    static bool isToolkitOption(const QString& option);

    // The texts of --help and --version, each ending in a line break.
    static QString helpText();
    static QString versionText(const QString& version);
};
