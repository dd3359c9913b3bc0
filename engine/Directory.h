#pragma once
// Named data directories: folders the user may move (passport output, dictionaries, the sign metafile
// library), each known by a Russian name that is also its key. The folder chosen for a name is kept in the
// settings store ("Directory\Dirs", one value per name); without one, a default below DataFiles is used.
// The names used so far are kept most recent first ("Directory\Names", "List", at most 100) for the
// dialog that lets the user choose the folders; that dialog belongs to the shell and plugs in here.
//
// Readers that cache a file from a named directory ask NamedDirectoriesVersion and read the file again
// when a folder was chosen anew since.
#include "engine/Cp1251.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

// The names of the directories the system uses.
Cp1251String PasspOutputDirName(); // "Каталог для вывода данных паспорта"
Cp1251String DictionaryDirName();  // "Каталог словарей"
Cp1251String MetafileLibDirName(); // "Каталог библиотеки метафайлов"

// How many names the settings keep.
constexpr int NamedDirectoryNamesKept = 100;

// The folder of the name: the stored one, else DataFiles/DefaultDirs/<name>. The name becomes the most
// recent one of the stored list.
std::filesystem::path GetNamedDirectory(const Cp1251String &name);
// The folder the settings hold for the name (empty when none).
Cp1251String StoredNamedDirectory(const Cp1251String &name);
// Stores the folder for the name at once (the dialog's folder button) and moves the version on.
void SetNamedDirectory(const Cp1251String &name, const Cp1251String &folder);
// The names used so far, most recent first.
std::vector<Cp1251String> NamedDirectoryNames();
// Moves on with every folder set in this process.
uint64_t NamedDirectoriesVersion();

// The dialog that lets the user choose folders: shown for the name, True when closed with Ok.
using TDirectoryDialog = std::function<bool(const Cp1251String &name)>;
// The shell registers its dialog at start-up (an empty function takes it away).
void SetDirectoryDialog(TDirectoryDialog dialog);
// Shows the dialog for the name (after GetNamedDirectory, so the name is listed): on Ok the folder becomes
// the name's folder and the result is True; on Cancel, or when no dialog is registered, False and the
// folder stays as it was. Only interface code calls this: computations never ask the user.
bool SelectNamedDirectory(const Cp1251String &name, std::filesystem::path &folder);
