#include "platform/windows/WindowsSystemInfo.h"

#include <QDir>

#include <iterator>
#include <string>

#include <windows.h>
#include <shlobj.h>

QString TWindowsSystemInfo::computerName() const {
    wchar_t buffer[256];
    DWORD size = DWORD(std::size(buffer));
    if (!::GetComputerNameW(buffer, &size))
        return {};
    QString name = QString::fromWCharArray(buffer, int(size));
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

QString TWindowsSystemInfo::userName() const {
    wchar_t buffer[256 + 1]; // the longest user name and its closing zero
    DWORD size = DWORD(std::size(buffer));
    if (!::GetUserNameW(buffer, &size) || size == 0)
        return qEnvironmentVariable("USERNAME");
    return QString::fromWCharArray(buffer, int(size - 1)); // size counts the zero
}

QLocale TWindowsSystemInfo::localeOf(unsigned long lcid) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if (::LCIDToLocaleName(lcid, name, LOCALE_NAME_MAX_LENGTH, 0) == 0)
        return QLocale::c();
    return QLocale(QString::fromWCharArray(name)); // "de-CH"
}

QLocale TWindowsSystemInfo::systemLocale() const {
    return localeOf(::GetSystemDefaultLCID());
}

QString TWindowsSystemInfo::dataRoot() const {
    wchar_t path[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return QDir::fromNativeSeparators(QString::fromWCharArray(path));
}

QString TWindowsSystemInfo::executablePath() const {
    // Paths may be longer than MAX_PATH: the buffer grows until the path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return QString::fromWCharArray(path.data(), int(length));
        path.resize(path.size() * 2);
    }
}
