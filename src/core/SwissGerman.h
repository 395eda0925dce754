#pragma once

#include <QLocale>

// True when the system locale is German (Switzerland) or German (Liechtenstein),
// whose spelling has no "ß": captions such as "Schließen" are then written
// "Schliessen".
inline bool isSwissGerman(const QLocale& systemLocale) {
    return systemLocale.language() == QLocale::German && (systemLocale.territory() == QLocale::Switzerland ||
                                                          systemLocale.territory() == QLocale::Liechtenstein);
}
