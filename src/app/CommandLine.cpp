#include "app/CommandLine.h"

namespace {

// An integer in decimal with optional leading blanks and sign; `fallback` otherwise.
int toIntDefault(const QString& text, int fallback) {
    QString t = text;
    while (!t.isEmpty() && t.front() == QLatin1Char(' '))
        t.remove(0, 1);
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    return ok ? value : fallback;
}

bool isOption(const QString& argument) {
    return argument.size() > 1 && argument.front() == QLatin1Char('-');
}

void setMode(TCommandLine& result, TCommandLine::TMode mode, const QString& option) {
    if (result.mode != TCommandLine::TMode::Window && result.mode != mode && result.error.isEmpty())
        result.error = QStringLiteral("Die Option %1 lässt sich nicht mit den anderen verbinden.").arg(option);
    result.mode = mode;
}

// What the words beside the options mean in each mode.
void takeWords(TCommandLine& result, const QStringList& words) {
    using TMode = TCommandLine::TMode;
    qsizetype used = 0;
    if (result.mode == TMode::Send) {
        if (words.isEmpty()) {
            result.error = QStringLiteral("Bei --send fehlt der Empfänger.");
            return;
        }
        result.recipient = words.at(0);
        if (words.size() > 1 && words.at(1) != QLatin1String("-"))
            result.text = words.at(1);
        used = qMin<qsizetype>(words.size(), 2);
    } else if (result.mode == TMode::Listen) {
        used = 0;
    } else {
        return; // the window ignores them; help and version need none
    }
    if (words.size() > used)
        result.error = QStringLiteral("Zu viele Argumente ab „%1“ (einen Text mit Leerzeichen in "
                                      "Anführungszeichen setzen).")
                           .arg(words.at(used));
}

} // namespace

TCommandLine TCommandLine::parse(const QStringList& arguments) {
    TCommandLine result;
    QStringList words;
    bool optionsEnded = false;
    bool help = false;
    bool version = false;
    for (const QString& argument : arguments) {
        if (optionsEnded || !isOption(argument)) {
            words << argument;
            continue;
        }
        const QString lower = argument.toLower();
        if (argument == QLatin1String("--"))
            optionsEnded = true;
        else if (lower.startsWith(QLatin1String("-p")))
            result.port = toIntDefault(lower.mid(2, 5), kDefaultPort);
        else if (lower.startsWith(QLatin1String("-f")))
            result.fontSize = toIntDefault(lower.mid(2, 3), kDefaultFontSize);
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            help = true;
        else if (argument == QLatin1String("--version"))
            version = true;
        else if (argument == QLatin1String("--send"))
            setMode(result, TMode::Send, argument);
        else if (argument == QLatin1String("--listen"))
            setMode(result, TMode::Listen, argument);
        else if (result.badOption.isEmpty())
            result.badOption = argument;
    }
    // Help and version answer whatever else the line holds.
    if (help || version) {
        result.mode = help ? TMode::Help : TMode::Version;
        result.error.clear();
        result.badOption.clear();
        return result;
    }
    if (!result.badOption.isEmpty()) {
        result.error = QStringLiteral("Unbekannte Option: %1 (palavero --help zeigt die Optionen).")
                           .arg(result.badOption);
        return result;
    }
    if (result.error.isEmpty())
        takeWords(result, words);
    return result;
}

bool TCommandLine::isToolkitOption(const QString& option) {
    // Qt's own options of a GUI application, with one or two dashes.
    static const QStringList names = {
        QStringLiteral("platform"),   QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),     QStringLiteral("qmljsdebugger"),      QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"),      QStringLiteral("reverse"),
        QStringLiteral("session"),    QStringLiteral("style"),              QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"), QStringLiteral("display"),           QStringLiteral("geometry"),
        QStringLiteral("title"),      QStringLiteral("icon"),               QStringLiteral("name"),
        QStringLiteral("visual"),     QStringLiteral("ncols"),              QStringLiteral("cmap"),
        QStringLiteral("nograb"),     QStringLiteral("dograb"),             QStringLiteral("sync"),
        QStringLiteral("fn"),         QStringLiteral("font"),               QStringLiteral("bg"),
        QStringLiteral("background"), QStringLiteral("fg"),                 QStringLiteral("foreground"),
        QStringLiteral("btn"),        QStringLiteral("button"),             QStringLiteral("im"),
        QStringLiteral("inputstyle"),
    };
    QString name = option;
    if (name.startsWith(QLatin1String("--")))
        name.remove(0, 1);
    if (!name.startsWith(QLatin1Char('-')))
        return false;
    name.remove(0, 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0)
        name.truncate(equals);
    return names.contains(name);
}

QString TCommandLine::helpText() {
    return QStringLiteral(
        "Aufruf: palavero [-pPORT] [-fGRÖSSE]\n"
        "        palavero [-pPORT] --send EMPFÄNGER [TEXT]\n"
        "        palavero [-pPORT] --listen\n"
        "\n"
        "Palavero Lite: Nachrichten an Computer im lokalen Netz, ohne Server.\n"
        "\n"
        "  -pPORT          UDP-Port (Vorgabe 3030)\n"
        "  -fGRÖSSE        Schriftgröße des Hauptfensters in Punkt (Vorgabe 9)\n"
        "  --send EMPFÄNGER [TEXT]\n"
        "                  sendet TEXT ohne Fenster; ohne TEXT (oder mit -) von der\n"
        "                  Standardeingabe. EMPFÄNGER: Computername, IP-Adresse, *\n"
        "                  für alle, <Gruppe> oder eine Liste mit Kommas.\n"
        "                  Ein Text, der mit - beginnt, folgt nach --.\n"
        "  --listen        nimmt ohne Fenster am Netz teil und schreibt jede empfangene\n"
        "                  Nachricht als JSON-Zeile auf die Standardausgabe\n"
        "                  (bis SIGTERM oder SIGINT)\n"
        "  -h, --help      zeigt diese Hilfe\n"
        "  --version       zeigt die Version\n"
        "\n"
        "Rückgabewert: 0 Erfolg, 1 nicht gesendet oder kein Start, 2 falscher Aufruf.\n");
}

QString TCommandLine::versionText(const QString& version) {
    return QStringLiteral("Palavero Lite ") + version + QLatin1Char('\n');
}
