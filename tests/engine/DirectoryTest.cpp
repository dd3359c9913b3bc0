// Named data directories: default folders below DataFiles, the stored folders, the list of names the
// dialog offers, and the dialog's seam.
#include "engine/Directory.h"
#include "engine/DataFiles.h"
#include "engine/Reg_Shell.h"
#include "platform/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class NamedDirectories : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsDir(QString::fromStdString(dir_.Path().string()));
        FreeAppRegistry();
    }
    void TearDown() override {
        SetDirectoryDialog({});
        FreeAppRegistry();
        SetSettingsDir(QString());
    }
    sptest::TempDir dir_;
};

std::filesystem::path Utf8Path(const std::string &s) {
    return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

TEST_F(NamedDirectories, ANameNeverStoredHasItsDefaultFolderAndIsListed) {
    EXPECT_TRUE(NamedDirectoryNames().empty());
    EXPECT_EQ(GetNamedDirectory(DictionaryDirName()),
              DataFilesDir() / "DefaultDirs" / Utf8Path("Каталог словарей"));
    EXPECT_EQ(NamedDirectoryNames(), std::vector<Cp1251String>{DictionaryDirName()});
}

TEST_F(NamedDirectories, TheListKeepsTheMostRecentNamesOnce) {
    for (int i = 0; i < NamedDirectoryNamesKept + 1; ++i)
        GetNamedDirectory(Cp1251String("name " + std::to_string(i)));
    GetNamedDirectory(Cp1251String("name 50"));
    const std::vector<Cp1251String> names = NamedDirectoryNames();
    ASSERT_EQ(names.size(), std::size_t(NamedDirectoryNamesKept));
    EXPECT_EQ(names[0], Cp1251String("name 50"));
    EXPECT_EQ(names[1], Cp1251String("name 100"));
    EXPECT_EQ(std::count(names.begin(), names.end(), Cp1251String("name 50")), 1);
    // The oldest one dropped out.
    EXPECT_EQ(std::count(names.begin(), names.end(), Cp1251String("name 0")), 0);
    EXPECT_EQ(names.back(), Cp1251String("name 1"));
}

TEST_F(NamedDirectories, AStoredFolderIsUsedAndMovesTheVersionOn) {
    const uint64_t before = NamedDirectoriesVersion();
    SetNamedDirectory(PasspOutputDirName(), Cp("/srv/паспорт"));
    EXPECT_GT(NamedDirectoriesVersion(), before);
    EXPECT_EQ(GetNamedDirectory(PasspOutputDirName()), Utf8Path("/srv/паспорт"));
    EXPECT_EQ(StoredNamedDirectory(PasspOutputDirName()), Cp("/srv/паспорт"));
    // Kept in the settings store.
    FreeAppRegistry();
    EXPECT_EQ(GetNamedDirectory(PasspOutputDirName()), Utf8Path("/srv/паспорт"));
}

TEST_F(NamedDirectories, SelectingGoesThroughTheRegisteredDialog) {
    std::filesystem::path folder("/unchanged");
    EXPECT_FALSE(SelectNamedDirectory(MetafileLibDirName(), folder)) << "no dialog registered";
    EXPECT_EQ(folder, "/unchanged");
    EXPECT_EQ(NamedDirectoryNames().front(), MetafileLibDirName());

    // A dialog whose folder button stores a folder, then is cancelled: the folder stays stored.
    SetDirectoryDialog([](const Cp1251String &name) {
        SetNamedDirectory(name, Cp1251String("/chosen"));
        return false;
    });
    EXPECT_FALSE(SelectNamedDirectory(MetafileLibDirName(), folder));
    EXPECT_EQ(folder, "/unchanged");
    EXPECT_EQ(GetNamedDirectory(MetafileLibDirName()), "/chosen");

    SetDirectoryDialog([](const Cp1251String &name) {
        SetNamedDirectory(name, Cp1251String("/other"));
        return true;
    });
    EXPECT_TRUE(SelectNamedDirectory(MetafileLibDirName(), folder));
    EXPECT_EQ(folder, "/other");
}

} // namespace
