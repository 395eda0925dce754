#include "net/NetLog.h"

Q_LOGGING_CATEGORY(lcPalaveroNet, "palavero.net", QtInfoMsg)
