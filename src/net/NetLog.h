#pragma once

#include <QLoggingCategory>

// Diagnostic output of the peer network ("Remote IP: ..." when a computer is
// listed). Debug messages are off unless enabled, e.g. QT_LOGGING_RULES="palavero.net.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPalaveroNet)
