#pragma once
// Sign pictures: a library of metafiles known by their file names, loaded once from the named directory
// "Каталог библиотеки метафайлов", and the picture that stands in for a sign the library lacks. Plates
// refer to entries by name and share the library's metafile; a metafile byte-identical to an entry is
// taken as that entry.
#include "engine/Cp1251.h"
#include "platform/gdi/Metafile.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TNamedMetafileLib {
public:
    TNamedMetafileLib() = default;
    TNamedMetafileLib(const TNamedMetafileLib &) = delete;
    TNamedMetafileLib &operator=(const TNamedMetafileLib &) = delete;

    void Clear();
    // Adds every regular file of the folder whose extension is `extension` in any letter case (".emf"),
    // sorted by file name. A file that is no metafile raises EPlatformError naming it; the files added
    // before it stay.
    void LoadDirectory(const std::filesystem::path &folder, const std::string &extension);
    // Loads the file as a metafile and adds it under its file name without folder (raises EPlatformError
    // when it cannot be read; nothing is added then).
    void AddFile(const std::filesystem::path &fileName);
    // Adds a metafile under a name (what AddFile does once the file is read).
    void Add(const Cp1251String &name, const TMetafile &metafile);

    int Count() const { return static_cast<int>(Entries_.size()); }
    // Index checks raise EStreetError.
    const TMetafile &GetMetafile(int index) const;
    const Cp1251String &GetName(int index) const;
    // The first entry of the name, letter case ignored (code-page-1251 fold); -1 when none.
    int IndexOfName(const Cp1251String &name) const;
    // The last entry whose bytes equal the metafile's; -1 when none (an empty metafile matches nothing).
    int IndexOfIdentical(const TMetafile &metafile) const;
    static bool MetafilesEqual(const TMetafile &a, const TMetafile &b);

private:
    struct TEntry {
        Cp1251String Name;
        TMetafile Metafile;
    };
    std::vector<TEntry> Entries_;
    // Entries by a hash of their bytes, so that reading a street with many embedded pictures does not
    // compare each with the whole library.
    std::unordered_multimap<std::size_t, int> ByHash_;
};

// The process's sign library, opened on first use from the named directory. Opening never raises and
// never asks the user: a folder that is not there, a folder without metafiles or a file that is no
// metafile leaves a notice (below) and the library as far as it loaded. It is never reloaded.
TNamedMetafileLib &SignMetafileLibrary();
// The picture of a sign the library lacks (DataFiles "Знаки/Знак отсутствует в библиотеке.emf"); empty,
// with a notice, when that file cannot be read.
const TMetafile &MissingSignMetafile();

// What opening the library and the missing-sign picture found for the user. The shell shows these once
// its main window is up; model code only collects them.
struct TSignLibraryNotice {
    std::string Text; // UTF-8, the system's own wording
    bool Warning = false;
};
// The notices collected since the last call, oldest first; the list is emptied.
std::vector<TSignLibraryNotice> TakeSignLibraryNotices();
void AddSignLibraryNotice(const std::string &text);

// Frees the library and the missing-sign picture (the next use opens them again); for the stop code and
// for tests that point the named directory at their own folders.
void FreeSignMetafileLibrary();
