#pragma once

#include <QString>

// The version strings of a file, as the program shows them ("Version 2.6.12.142").
//
// Version key index: 0 CompanyName, 1 FileDescription, 2 FileVersion, 3 InternalName,
// 4 LegalCopyright, 5 LegalTrademarks, 6 OriginalFilename, 7 ProductName, 8 ProductVersion,
// 9 Comments; any other number means FileVersion.

// The key name of an index ("FileVersion" for an index outside 0..9).
QString VersionKeyName(int index);

// The string of that key in the file's version block (the ELF note that
// palavero_embed_version() puts into an executable; on Windows its VERSIONINFO resource,
// read through the system's version functions), looked up under the block's first
// translation; the empty text when the file has no readable block, no translation or no
// such string. VersionFileElf.cpp and VersionFileWindows.cpp read the block.
QString ReadVersionString(const QString& fileName, int index);

// As ReadVersionString, but an empty file name means the running executable, and a
// file that does not exist gives the empty text without reading anything.
QString GetVersionString(const QString& fileName, int index);

// The lookup of ReadVersionString on a version block already in memory.
QString VersionStringFromBlock(const QByteArray& block, int index);

// The path of a string in a version block: "\StringFileInfo\040904e4\FileVersion" for
// language 0x0409, code page 0x04E4 and the key "FileVersion".
QString VersionStringPath(quint16 language, quint16 codePage, const QString& key);
