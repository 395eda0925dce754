#include "platform/windows/WindowsAutostart.h"

#include "platform/windows/WindowsRegistry.h"

TWindowsAutostart::TWindowsAutostart(QString runKey) : FRunKey(std::move(runKey)) {}

QString TWindowsAutostart::read(const QString& title) const {
    return TRegistryKey(FRunKey, TRegistryKey::Mode::Read).string(title).value_or(QString());
}

bool TWindowsAutostart::write(const QString& title, const QString& command) {
    TRegistryKey key(FRunKey, TRegistryKey::Mode::Write);
    // Written through at once, so that a change survives a crash or a power cut.
    return key.setString(title, command) && key.flush();
}
