#include "engine/DataFiles.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The non-empty parts of a name other than "."; false when the name is not safe.
bool SplitSafe(const Cp1251String &name, bool allowEmpty, std::vector<Cp1251String> &parts) {
    const std::string &b = name.Bytes();
    if (!b.empty() && IsSeparator(b.front()))
        return false;
    if (b.find(':') != std::string::npos || b.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= b.size()) {
        std::size_t end = start;
        while (end < b.size() && !IsSeparator(b[end]))
            ++end;
        const std::string part = b.substr(start, end - start);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = end + 1;
    }
    return allowEmpty || !parts.empty();
}

fs::path PartPath(const Cp1251String &part) {
    const std::string utf8 = part.ToUtf8();
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// The entry of dir that matches part, exactly or else case-insensitively.
std::optional<fs::path> FindEntry(const fs::path &dir, const Cp1251String &part) {
    std::error_code ec;
    const fs::path exact = dir / PartPath(part);
    if (fs::exists(exact, ec))
        return exact;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::u8string u8 = it->path().filename().u8string();
        Cp1251String entry;
        if (Cp1251String::TryFromUtf8(std::string_view(reinterpret_cast<const char *>(u8.data()), u8.size()),
                                      entry) &&
            SameText(entry, part))
            return it->path();
    }
    return std::nullopt;
}

fs::path ExecutableDir() {
    if (QCoreApplication::instance())
        return fs::path(QCoreApplication::applicationDirPath().toStdU16String());
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
    return fs::current_path(ec);
}

} // namespace

fs::path DataFilesDir() {
    if (const char *env = std::getenv("STREETPLAN_DATAFILES"); env && *env)
        return fs::path(env);
    return ExecutableDir() / "DataFiles";
}

bool IsSafeDataFileName(const Cp1251String &name) {
    std::vector<Cp1251String> parts;
    return SplitSafe(name, false, parts);
}

std::optional<fs::path> FindDataFile(const Cp1251String &folder, const Cp1251String &name) {
    std::vector<Cp1251String> parts;
    if (!SplitSafe(folder, true, parts) || !SplitSafe(name, false, parts))
        return std::nullopt;
    fs::path at = DataFilesDir();
    std::error_code ec;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!fs::is_directory(at, ec))
            return std::nullopt;
        const auto next = FindEntry(at, parts[i]);
        if (!next)
            return std::nullopt;
        at = *next;
    }
    if (!fs::is_regular_file(at, ec))
        return std::nullopt;
    return at;
}
