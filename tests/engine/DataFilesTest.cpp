#include "engine/DataFiles.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path U8(const std::string &utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

using sptest::DataFilesAt;

TEST(DataFiles, FolderFromEnvironmentOrBesideTheExecutable) {
    sptest::TempDir dir;
    {
        DataFilesAt at(dir.Path());
        EXPECT_EQ(DataFilesDir(), dir.Path());
        setenv("STREETPLAN_DATAFILES", "", 1);
        EXPECT_EQ(DataFilesDir(), fs::read_symlink("/proc/self/exe").parent_path() / "DataFiles");
    }
}

TEST(DataFiles, StoredNamesAreFoundInsideTheFolderOnly) {
    sptest::TempDir root;
    const fs::path data = root.Path() / "DataFiles";
    fs::create_directories(data / U8("Разметка") / "Sub");
    const fs::path marking = data / U8("Разметка") / "Default.LnRazmet";
    const fs::path tree = data / U8("Разметка") / "Sub" / U8("Ёлка.bmp");
    const fs::path top = data / "top.bmp";
    for (const fs::path &f : {marking, tree, top, root.Path() / "outside.bmp"})
        sptest::WriteFileBytes(f.string(), {'x'});
    DataFilesAt at(data);

    const struct {
        const char *folder; // UTF-8
        const char *name;   // UTF-8
        std::optional<fs::path> want;
    } cases[] = {
        {"", "Разметка\\Default.LnRazmet", marking},
        {"", "Разметка/Default.LnRazmet", marking},
        {"", "РАЗМЕТКА\\default.LNRAZMET", marking},
        {"", "Разметка\\\\.\\Default.LnRazmet", marking},
        {"Разметка", "Default.LnRazmet", marking},
        {"разметка\\", "sub\\ёЛКА.BMP", tree},
        {"", "top.bmp", top},
        {"", "TOP.BMP", top},
        {"", "Разметка", std::nullopt},              // a folder, not a file
        {"", "Разметка\\Missing.bmp", std::nullopt}, // no such file
        {"", "", std::nullopt},
        {"", ".", std::nullopt},
        {"", "..\\outside.bmp", std::nullopt},
        {"", "Разметка/../top.bmp", std::nullopt},
        {"Разметка", "..\\top.bmp", std::nullopt},
        {"..", "outside.bmp", std::nullopt},
        {"", "\\top.bmp", std::nullopt},
        {"", "/top.bmp", std::nullopt},
        {"", "C:\\top.bmp", std::nullopt},
        {"", "c:top.bmp", std::nullopt},
        {"/", "top.bmp", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " | " + c.name);
        const auto got = FindDataFile(Cp(c.folder), Cp(c.name));
        ASSERT_EQ(got.has_value(), c.want.has_value());
        if (got) {
            EXPECT_TRUE(fs::equivalent(*got, *c.want));
        }
    }
    EXPECT_FALSE(FindDataFile(Cp1251String(std::string("top.bmp\0", 8))));
}

TEST(DataFiles, SafeNames) {
    const struct {
        const char *name;
        bool safe;
    } cases[] = {
        {"a.bmp", true}, {"a\\b.bmp", true},    {"a/b/c", true},  {"a//b", true},
        {"./a", true},   {"a..b.bmp", true},    {"...", true},    {"", false},
        {"..", false},   {"a\\..\\b", false},   {"a/..", false},  {"\\a", false},
        {"/a", false},   {"\\\\srv\\a", false}, {"C:\\a", false}, {"a:b", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsSafeDataFileName(Cp1251String(c.name)), c.safe) << c.name;
}

} // namespace
