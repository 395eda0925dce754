#include "platform/linux/LogindSessionMonitor.h"

TLogindSessionMonitor::TLogindSessionMonitor(QObject* parent) : TSessionMonitor(parent) {}
