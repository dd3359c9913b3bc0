#pragma once
// The program's data files (marking tables, textures, sign pictures) live in the DataFiles folder beside
// the executable; the environment variable STREETPLAN_DATAFILES names another folder for tests and
// installs.
//
// Names of data files come from records of street files and tables (code page 1251, "\" or "/" between
// folders, any letter case). They are looked up below DataFiles only: a name that is absolute, carries
// a drive or names a parent folder ("..") is refused, so no stored name reaches outside the folder.
#include "engine/Cp1251.h"

#include <filesystem>
#include <optional>

// $STREETPLAN_DATAFILES when it is set and not empty, else the folder "DataFiles" beside the executable.
std::filesystem::path DataFilesDir();

// A relative name of at least one part: no leading separator, no ':' (drives, streams), no ".." part,
// no NUL byte. Empty parts and "." parts (doubled separators, "a/./b") are allowed and mean nothing.
bool IsSafeDataFileName(const Cp1251String &name);

// The existing regular file a stored name names, below DataFilesDir() and then `folder` (both name and
// folder must be safe; folder may be empty). Each part is matched exactly first, then case-insensitively
// through the code-page-1251 fold. Nothing when a name is refused or no such file exists.
std::optional<std::filesystem::path> FindDataFile(const Cp1251String &folder, const Cp1251String &name);
inline std::optional<std::filesystem::path> FindDataFile(const Cp1251String &name) {
    return FindDataFile(Cp1251String(), name);
}
