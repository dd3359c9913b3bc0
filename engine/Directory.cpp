#include "engine/Directory.h"

#include "engine/DataFiles.h"
#include "engine/Reg_Shell.h"

#include <atomic>
#include <string>

namespace {

const Cp1251String &NamesSection() {
    static const Cp1251String s("Directory\\Names");
    return s;
}

const Cp1251String &DirsSection() {
    static const Cp1251String s("Directory\\Dirs");
    return s;
}

std::atomic<uint64_t> Version{1};

TDirectoryDialog &Dialog() {
    static TDirectoryDialog dialog;
    return dialog;
}

std::filesystem::path PathOf(const Cp1251String &text) {
    const std::string utf8 = text.ToUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace

Cp1251String PasspOutputDirName() {
    return Cp("Каталог для вывода данных паспорта");
}

Cp1251String DictionaryDirName() {
    return Cp("Каталог словарей");
}

Cp1251String MetafileLibDirName() {
    return Cp("Каталог библиотеки метафайлов");
}

std::filesystem::path GetNamedDirectory(const Cp1251String &name) {
    try {
        RegAddMruString(NamesSection(), Cp1251String("List"), name, NamedDirectoryNamesKept);
    } catch (const std::exception &) {
        // A settings store that cannot be written only loses the order of the dialog's list.
    }
    const Cp1251String stored = StoredNamedDirectory(name);
    if (!stored.Empty())
        return PathOf(stored);
    return DataFilesDir() / "DefaultDirs" / PathOf(name);
}

Cp1251String StoredNamedDirectory(const Cp1251String &name) {
    return RegReadString(DirsSection(), name);
}

void SetNamedDirectory(const Cp1251String &name, const Cp1251String &folder) {
    RegWriteString(DirsSection(), name, folder);
    ++Version;
}

std::vector<Cp1251String> NamedDirectoryNames() {
    std::vector<Cp1251String> names;
    RegReadStrings(NamesSection(), Cp1251String("List"), names);
    return names;
}

uint64_t NamedDirectoriesVersion() {
    return Version.load();
}

void SetDirectoryDialog(TDirectoryDialog dialog) {
    Dialog() = std::move(dialog);
}

bool SelectNamedDirectory(const Cp1251String &name, std::filesystem::path &folder) {
    GetNamedDirectory(name);
    if (!Dialog() || !Dialog()(name))
        return false;
    folder = GetNamedDirectory(name);
    return true;
}
