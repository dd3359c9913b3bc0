#include "objects/MetafileLib.h"

#include "engine/DataFiles.h"
#include "engine/Directory.h"
#include "engine/StreetError.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::size_t HashBytes(const std::vector<uint8_t> &bytes) {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

std::string Utf8(const fs::path &p) {
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

// A file name as the library keys it: code page 1251 where the name has that form, else its bytes (such a
// name is found by no stored name, but the picture still serves identity matching).
Cp1251String EntryName(const fs::path &file) {
    const std::string utf8 = Utf8(file.filename());
    Cp1251String name;
    if (!Cp1251String::TryFromUtf8(utf8, name))
        name = Cp1251String(utf8);
    return name;
}

bool HasExtension(const fs::path &file, const std::string &extension) {
    const std::string ext = Utf8(file.extension());
    return SameText(Cp1251String(ext), Cp1251String(extension));
}

// The regular files of the folder with the extension in any letter case, sorted by file name.
std::vector<fs::path> FilesOf(const fs::path &folder, const std::string &extension) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && HasExtension(it->path(), extension))
            files.push_back(it->path());
    }
    if (ec)
        RaiseStreetError("TNamedMetafileLib.LoadDirectory", Utf8(folder) + ": " + ec.message());
    std::sort(files.begin(), files.end(),
              [](const fs::path &a, const fs::path &b) { return a.filename() < b.filename(); });
    return files;
}

std::vector<TSignLibraryNotice> &Notices() {
    static std::vector<TSignLibraryNotice> list;
    return list;
}

std::unique_ptr<TNamedMetafileLib> &LibraryHolder() {
    static std::unique_ptr<TNamedMetafileLib> lib;
    return lib;
}

std::unique_ptr<TMetafile> &MissingHolder() {
    static std::unique_ptr<TMetafile> mf;
    return mf;
}

} // namespace

void TNamedMetafileLib::Clear() {
    Entries_.clear();
    ByHash_.clear();
}

void TNamedMetafileLib::LoadDirectory(const fs::path &folder, const std::string &extension) {
    for (const fs::path &file : FilesOf(folder, extension))
        AddFile(file);
}

void TNamedMetafileLib::AddFile(const fs::path &fileName) {
    TMetafile metafile;
    metafile.LoadFromFile(Utf8(fileName));
    Add(EntryName(fileName), metafile);
}

void TNamedMetafileLib::Add(const Cp1251String &name, const TMetafile &metafile) {
    Entries_.push_back({name, metafile});
    ByHash_.emplace(HashBytes(metafile.Bytes()), Count() - 1);
}

const TMetafile &TNamedMetafileLib::GetMetafile(int index) const {
    if (index < 0 || index >= Count())
        RaiseStreetError("TNamedMetafileLib.GetMetafile",
                         "index " + std::to_string(index) + " out of range 0.." + std::to_string(Count() - 1));
    return Entries_[std::size_t(index)].Metafile;
}

const Cp1251String &TNamedMetafileLib::GetName(int index) const {
    if (index < 0 || index >= Count())
        RaiseStreetError("TNamedMetafileLib.GetName",
                         "index " + std::to_string(index) + " out of range 0.." + std::to_string(Count() - 1));
    return Entries_[std::size_t(index)].Name;
}

int TNamedMetafileLib::IndexOfName(const Cp1251String &name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Entries_[std::size_t(i)].Name, name))
            return i;
    return -1;
}

int TNamedMetafileLib::IndexOfIdentical(const TMetafile &metafile) const {
    if (metafile.Empty())
        return -1;
    int found = -1;
    const auto range = ByHash_.equal_range(HashBytes(metafile.Bytes()));
    for (auto it = range.first; it != range.second; ++it)
        if (it->second > found && MetafilesEqual(Entries_[std::size_t(it->second)].Metafile, metafile))
            found = it->second;
    return found;
}

bool TNamedMetafileLib::MetafilesEqual(const TMetafile &a, const TMetafile &b) {
    const std::vector<uint8_t> &x = a.Bytes(), &y = b.Bytes();
    return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size()) == 0);
}

TNamedMetafileLib &SignMetafileLibrary() {
    std::unique_ptr<TNamedMetafileLib> &lib = LibraryHolder();
    if (lib)
        return *lib;
    lib = std::make_unique<TNamedMetafileLib>();
    const fs::path folder = GetNamedDirectory(MetafileLibDirName());
    const std::string quoted = "\"" + Utf8(folder) + "\"";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        Notices().push_back({"Недоступен каталог " + quoted + " (библиотека метафайлов)", false});
        return *lib;
    }
    for (const char *extension : {".emf", ".wmf"}) {
        // One unreadable file costs only itself: the rest of the folder still loads.
        try {
            for (const fs::path &file : FilesOf(folder, extension)) {
                try {
                    lib->AddFile(file);
                } catch (const std::exception &e) {
                    Notices().push_back({e.what(), false});
                }
            }
        } catch (const std::exception &e) {
            Notices().push_back({e.what(), false});
        }
    }
    if (lib->Count() == 0)
        Notices().push_back({std::string(12, ' ') + "Предупреждение !!! \rНе найдено ни одного метафайла в каталоге " +
                                 quoted + ".",
                             true});
    return *lib;
}

const TMetafile &MissingSignMetafile() {
    std::unique_ptr<TMetafile> &mf = MissingHolder();
    if (mf)
        return *mf;
    mf = std::make_unique<TMetafile>();
    const Cp1251String name = Cp("Знаки/Знак отсутствует в библиотеке.emf");
    const auto file = FindDataFile(name);
    try {
        if (!file)
            RaiseStreetError("MissingSignMetafile", Utf8(DataFilesDir()) + "/" + name.ToUtf8() + " not found");
        mf->LoadFromFile(Utf8(*file));
    } catch (const std::exception &e) {
        Notices().push_back({e.what(), false});
    }
    return *mf;
}

std::vector<TSignLibraryNotice> TakeSignLibraryNotices() {
    std::vector<TSignLibraryNotice> list;
    list.swap(Notices());
    return list;
}

void AddSignLibraryNotice(const std::string &text) {
    Notices().push_back({text, false});
}

void FreeSignMetafileLibrary() {
    LibraryHolder().reset();
    MissingHolder().reset();
}
