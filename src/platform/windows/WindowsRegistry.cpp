#include "platform/windows/WindowsRegistry.h"

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

} // namespace

TRegistryKey::TRegistryKey(const QString& path, Mode mode) {
    const REGSAM access = mode == Mode::Read ? KEY_READ : KEY_READ | KEY_WRITE;
    if (mode == Mode::Create)
        FStatus = ::RegCreateKeyExW(HKEY_CURRENT_USER, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                    nullptr, &FKey, nullptr);
    else
        FStatus = ::RegOpenKeyExW(HKEY_CURRENT_USER, wide(path), 0, access, &FKey);
    if (FStatus != ERROR_SUCCESS)
        FKey = nullptr;
}

TRegistryKey::~TRegistryKey() {
    if (FKey)
        ::RegCloseKey(FKey);
}

std::optional<QString> TRegistryKey::string(const QString& name) const {
    if (!FKey)
        return std::nullopt;
    // The size may change between the two calls when another program writes.
    for (;;) {
        DWORD bytes = 0;
        if (::RegGetValueW(FKey, nullptr, wide(name), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        QString text(qsizetype(bytes / sizeof(wchar_t)), Qt::Uninitialized);
        const LSTATUS status = ::RegGetValueW(FKey, nullptr, wide(name), RRF_RT_REG_SZ, nullptr,
                                              reinterpret_cast<wchar_t*>(text.data()), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        // The value up to its terminating zero.
        text.truncate(qsizetype(wcsnlen(reinterpret_cast<const wchar_t*>(text.constData()), text.size())));
        return text;
    }
}

bool TRegistryKey::setString(const QString& name, const QString& value) {
    if (!FKey)
        return false;
    const DWORD bytes = DWORD((value.size() + 1) * sizeof(wchar_t)); // with the terminating zero
    return ::RegSetValueExW(FKey, wide(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.utf16()), bytes) ==
           ERROR_SUCCESS;
}

bool TRegistryKey::flush() {
    return FKey && ::RegFlushKey(FKey) == ERROR_SUCCESS;
}

bool TRegistryKey::removeTree(const QString& path) {
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, wide(path));
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
