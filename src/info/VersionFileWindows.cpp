// The version block of a file on Windows: its VERSIONINFO resource, read and
// looked up by the system's version functions.

#include "VersionInfo.h"

#include <QByteArray>
#include <QDir>

#include <windows.h>

#include <wchar.h>

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

} // namespace

QString ReadVersionString(const QString& fileName, int index) {
    const QString key = VersionKeyName(index);
    const QString name = QDir::toNativeSeparators(fileName);
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wide(name), &unused);
    if (size == 0)
        return {};
    QByteArray block(qsizetype(size), '\0');
    if (!::GetFileVersionInfoW(wide(name), 0, size, block.data()))
        return {};
    // Only the first translation counts: language and code page.
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.constData(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return {};
    const auto* translation = static_cast<const WORD*>(value);
    const QString path = VersionStringPath(translation[0], translation[1], key);
    if (!::VerQueryValueW(block.constData(), wide(path), &value, &length) || length == 0)
        return {};
    // The text up to its terminating zero; `length` counts characters.
    const auto* text = static_cast<const wchar_t*>(value);
    return QString::fromWCharArray(text, qsizetype(::wcsnlen(text, length)));
}
