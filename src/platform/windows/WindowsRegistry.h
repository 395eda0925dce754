#pragma once

#include <QString>

#include <optional>

#include <windows.h>

// A key of the current user's registry (HKEY_CURRENT_USER) holding string
// values (REG_SZ), written and read as they stand: what the settings store and
// the autostart entry keep there means the same to every program that reads
// the key. Closed when the object goes.
class TRegistryKey {
public:
    enum class Mode {
        Read,   // opened for reading; a missing key stays missing
        Write,  // opened for reading and writing; a missing key stays missing
        Create, // opened for reading and writing, made with its parents when missing
    };

    // `path` below HKEY_CURRENT_USER, such as "Software\Korvel\Palavero".
    TRegistryKey(const QString& path, Mode mode);
    ~TRegistryKey();
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    bool isOpen() const { return FKey != nullptr; }
    // The key could not be opened because it does not exist.
    bool isMissing() const { return FStatus == ERROR_FILE_NOT_FOUND; }

    // The string value `name`; none when the value is missing or holds no string.
    std::optional<QString> string(const QString& name) const;
    // Stores `value` under `name` as REG_SZ. False on failure.
    bool setString(const QString& name, const QString& value);
    // Writes the key's changes to the disk now instead of some time later.
    bool flush();

    // Removes the key `path` with everything below it. False on failure; a
    // missing key is no failure.
    static bool removeTree(const QString& path);

private:
    HKEY FKey = nullptr;
    LSTATUS FStatus = ERROR_SUCCESS;
};
