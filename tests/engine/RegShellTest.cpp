#include "engine/Reg_Shell.h"

#include "engine/Cp1251Qt.h"
#include "platform/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

// Every test keeps its settings in a folder of its own, never in the user's.
class RegShell : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsDir(QString::fromStdString(dir_.Path().string()));
        FreeAppRegistry();
    }
    void TearDown() override {
        FreeAppRegistry();
        SetSettingsDir(QString());
    }
    std::string IniFile() const { return dir_.File("test_engine.ini"); }
    // Replaces the settings file with hand-written text (as a user or another version might leave it).
    void WriteIni(const std::string &text) {
        FreeAppRegistry();
        sptest::WriteFileBytes(IniFile(), std::vector<uint8_t>(text.begin(), text.end()));
    }
    bool StoredValueExists(const std::string &key, const char *name) {
        TSettingsStore &reg = AppRegistry();
        const bool exists = reg.OpenKey(QString::fromStdString(key), false) && reg.ValueExists(name);
        reg.CloseKey();
        return exists;
    }

    sptest::TempDir dir_;
};

Cp1251String S(const char *ascii) {
    return Cp1251String(ascii);
}

std::vector<Cp1251String> List(std::initializer_list<const char *> items) {
    std::vector<Cp1251String> v;
    for (const char *s : items)
        v.emplace_back(s);
    return v;
}

} // namespace

TEST_F(RegShell, SettingsLiveUnderTheApplicationKey) {
    EXPECT_EQ(AppRegKeyName(), S("test_engine"));
    RegWriteString(S("Main"), S("LastFile"), S("a.zrv"));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(IniFile())));
    EXPECT_TRUE(StoredValueExists("\\test_engine\\Main", "LastFile"));
    // A section may name a key below another one.
    RegWriteInteger(S("Directory\\Names"), S("Count"), 3);
    EXPECT_TRUE(StoredValueExists("\\test_engine\\Directory\\Names", "Count"));
    EXPECT_EQ(RegReadInteger(S("Directory\\Names"), S("Count")), 3);
    // The shared store closes its key after every operation.
    EXPECT_FALSE(AppRegistry().HasCurrentKey());
}

TEST_F(RegShell, ValuesRoundTrip) {
    Cp1251String every;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            every.Bytes() += static_cast<char>(b);
    every.Bytes() += '\0';
    const Cp1251String section = Cp("ValueEditorForm\\Название улицы / квартал");
    RegWriteString(section, Cp("Последний"), Cp("Проспект Мира, д. 1 «А»"));
    RegWriteString(section, S("every byte"), every);
    RegWriteString(section, S("empty"), Cp1251String());
    RegWriteInteger(section, S("neg"), -2147483647 - 1);
    RegWriteBool(section, S("on"), true);
    RegWriteBool(section, S("off"), false);
    FreeAppRegistry(); // read the file again
    EXPECT_EQ(RegReadString(section, Cp("Последний")), Cp("Проспект Мира, д. 1 «А»"));
    EXPECT_EQ(RegReadString(section, S("every byte")), every);
    EXPECT_EQ(RegReadString(section, S("empty")), Cp1251String());
    EXPECT_EQ(RegReadInteger(section, S("neg")), -2147483647 - 1);
    EXPECT_TRUE(RegReadBool(section, S("on"), false));
    EXPECT_FALSE(RegReadBool(section, S("off"), true));
}

TEST_F(RegShell, ReadersGiveDefaultsForMissingAndMalformedValues) {
    WriteIni("[test_engine]\n"
             "S\\abc=abc\n"
             "S\\huge=99999999999\n"
             "S\\blob=@ByteArray(xyz)\n"
             "S\\list=a, b\n"
             "S\\latin=\\x0100\n"
             "garbage\n");
    struct Case {
        const char *section, *name;
    };
    const Case cases[] = {{"Nothing", "x"}, {"S", "missing"}, {"S", "abc"},
                          {"S", "huge"},    {"S", "blob"},    {"S", "list"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.name);
        EXPECT_EQ(RegReadInteger(S(c.section), S(c.name)), 0);
        EXPECT_TRUE(RegReadBool(S(c.section), S(c.name), true));
        EXPECT_FALSE(RegReadBool(S(c.section), S(c.name), false));
    }
    EXPECT_EQ(RegReadString(S("Nothing"), S("x")), Cp1251String());
    EXPECT_EQ(RegReadString(S("S"), S("missing")), Cp1251String());
    EXPECT_EQ(RegReadString(S("S"), S("blob")), Cp1251String());
    EXPECT_EQ(RegReadString(S("S"), S("abc")), S("abc"));
    // Text with a character that model text cannot hold is treated as unreadable.
    EXPECT_EQ(RegReadString(S("S"), S("latin")), Cp1251String());
    std::vector<Cp1251String> kept = List({"keep"});
    RegReadStrings(S("S"), S("latin"), kept);
    EXPECT_EQ(kept, List({"keep"}));
    EXPECT_FALSE(AppRegistry().HasCurrentKey());
}

TEST_F(RegShell, StringLists) {
    struct Case {
        std::vector<Cp1251String> list;
    };
    const Case cases[] = {
        {{}},
        {List({""})},
        {List({"a", "", "b"})},
        {List({"C:\\Data\\a.zrv", "/home/b.zrv", " spaced "})},
        {{Cp("Улица"), Cp("Площадь")}},
    };
    for (const Case &c : cases) {
        RegWriteStrings(S("L"), S("Items"), c.list);
        std::vector<Cp1251String> got = List({"old"});
        RegReadStrings(S("L"), S("Items"), got);
        EXPECT_EQ(got, c.list);
    }
    // Lines may end with CR, LF or CR LF; the last line break is optional.
    RegWriteString(S("L"), S("Text"), S("one\r\ntwo\rthree\nfour"));
    std::vector<Cp1251String> got;
    RegReadStrings(S("L"), S("Text"), got);
    EXPECT_EQ(got, List({"one", "two", "three", "four"}));
    // A missing value leaves the list as it was.
    std::vector<Cp1251String> unchanged = List({"x", "y"});
    RegReadStrings(S("L"), S("Missing"), unchanged);
    RegReadStrings(S("NoSection"), S("Items"), unchanged);
    EXPECT_EQ(unchanged, List({"x", "y"}));
}

TEST_F(RegShell, MostRecentLists) {
    RegAddMruString(S("Main"), S("Recent"), S("a"), 200);
    RegAddMruString(S("Main"), S("Recent"), S("b"), 200);
    RegAddMruString(S("Main"), S("Recent"), S("c"), 200);
    RegAddMruString(S("Main"), S("Recent"), S("a"), 200);
    std::vector<Cp1251String> got;
    RegReadStrings(S("Main"), S("Recent"), got);
    EXPECT_EQ(got, List({"a", "c", "b"})); // moved to the top, not duplicated

    // Entries differing in case are different entries; every copy of the value goes.
    RegWriteStrings(S("Main"), S("Dups"), List({"x", "X", "y", "x"}));
    RegAddMruString(S("Main"), S("Dups"), S("x"), 10);
    RegReadStrings(S("Main"), S("Dups"), got);
    EXPECT_EQ(got, List({"x", "X", "y"}));

    // With at most 200 entries the oldest drops out when the 201st arrives.
    for (int i = 1; i <= 201; ++i)
        RegAddMruString(S("Main"), S("Many"), Cp1251String(std::to_string(i)), 200);
    RegReadStrings(S("Main"), S("Many"), got);
    ASSERT_EQ(got.size(), 200u);
    EXPECT_EQ(got.front(), S("201"));
    EXPECT_EQ(got.back(), S("2"));

    RegAddMruString(S("Main"), S("None"), S("a"), 0);
    got = List({"old"});
    RegReadStrings(S("Main"), S("None"), got);
    EXPECT_TRUE(got.empty());
}

TEST_F(RegShell, FitFormToScreen) {
    struct Case {
        const char *name;
        TWorkArea area;
        TFormPos before;
        int32_t left, top, width, height;
    };
    const TWorkArea screen{0, 0, 1280, 1024};
    const TWorkArea shifted{100, 50, 1380, 1074}; // a work area that does not start at 0
    const Case cases[] = {
        {"inside stays", screen, {{}, 10, 20, 300, 200}, 10, 20, 300, 200},
        {"beyond the right and bottom", screen, {{}, 1900, 1100, 300, 200}, 980, 824, 300, 200},
        {"before the left and top", shifted, {{}, 0, 0, 300, 200}, 100, 50, 300, 200},
        {"larger than the area", screen, {{}, 500, 500, 2000, 1500}, 0, 0, 1280, 1024},
        {"shifted area, too large", shifted, {{}, -5000, 9000, 5000, 5000}, 100, 50, 1280, 1024},
        {"extreme stored values", screen, {{}, 2147483647, -2147483647 - 1, 10, 10}, 1270, 0, 10, 10},
        {"empty work area", {0, 0, 0, 0}, {{}, 5, 5, 10, 10}, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TFormPos f = c.before;
        FitFormToScreen(f, c.area);
        EXPECT_EQ(f.Left, c.left);
        EXPECT_EQ(f.Top, c.top);
        EXPECT_EQ(f.Width, c.width);
        EXPECT_EQ(f.Height, c.height);
    }
}

TEST_F(RegShell, FormPositions) {
    // A sizeable form stores its size; a fixed one only its place.
    SaveFormPos({S("GroupsEditorForm"), 40, 50, 600, 400, true});
    SaveFormPos({S("TagSetEditorForm"), 60, 70, 600, 400, false});
    EXPECT_TRUE(StoredValueExists("\\test_engine\\GroupsEditorForm\\Pos", "Height"));
    EXPECT_TRUE(StoredValueExists("\\test_engine\\TagSetEditorForm\\Pos", "Top"));
    EXPECT_FALSE(StoredValueExists("\\test_engine\\TagSetEditorForm\\Pos", "Width"));
    // What a larger screen, another version or a hand edit may leave.
    RegWriteInteger(S("TagSetEditorForm\\Pos"), S("Width"), 900);
    SaveFormPos({S("Big"), 2500, 1800, 1600, 1200, true});
    RegWriteInteger(S("Broken\\Pos"), S("Left"), 30);
    RegWriteString(S("Broken\\Pos"), S("Top"), S("abc"));
    RegWriteInteger(S("Broken\\Pos"), S("Width"), 500);
    RegWriteInteger(S("Broken\\Pos"), S("Height"), 500);
    RegWriteInteger(S("Negative\\Pos"), S("Left"), 1);
    RegWriteInteger(S("Negative\\Pos"), S("Top"), 2);
    RegWriteInteger(S("Negative\\Pos"), S("Width"), -300);
    RegWriteInteger(S("Negative\\Pos"), S("Height"), 100);
    FreeAppRegistry(); // read the file again

    struct Case {
        const char *name;
        TFormPos asked;
        std::array<int32_t, 4> restored; // left, top, width, height
    };
    const Case cases[] = {
        {"a sizeable form takes its place and size",
         {S("GroupsEditorForm"), 0, 0, 100, 100, true},
         {40, 50, 600, 400}},
        {"a fixed form ignores a stored size",
         {S("TagSetEditorForm"), 0, 0, 100, 100, false},
         {60, 70, 100, 100}},
        {"stored on a larger screen: shrunk to the area first, then pulled back",
         {S("Big"), 0, 0, 0, 0, true},
         {0, 0, 1280, 1024}},
        {"nothing stored: only fitted", {S("NeverSaved"), 1200, 10, 300, 200, true}, {980, 10, 300, 200}},
        {"a malformed value ends the reading, keeping what came before",
         {S("Broken"), 5, 6, 100, 100, true},
         {30, 6, 100, 100}},
        {"a negative size ends the reading", {S("Negative"), 5, 6, 100, 100, true}, {1, 2, 100, 100}},
    };
    const TWorkArea screen{0, 0, 1280, 1024};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TFormPos f = c.asked;
        RestoreFormPos(f, screen);
        EXPECT_EQ((std::array<int32_t, 4>{f.Left, f.Top, f.Width, f.Height}), c.restored);
    }
}

TEST_F(RegShell, WriterErrorsReachTheCaller) {
    FreeAppRegistry();
    sptest::WriteFileBytes(dir_.File("blocker"), {1});
    SetSettingsDir(QString::fromStdString(dir_.File("blocker")));
    EXPECT_THROW(RegWriteString(S("Main"), S("x"), S("y")), ESettingsError);
    EXPECT_THROW(SaveFormPos({S("F"), 1, 2, 3, 4, true}), ESettingsError);
    // Readers still give defaults.
    EXPECT_EQ(RegReadInteger(S("Main"), S("x")), 0);
    EXPECT_FALSE(AppRegistry().HasCurrentKey());
}

TEST_F(RegShell, ValueNamesOfASectionReadBackAsWritten) {
    const Cp1251String section = Cp("TagSetEditorForm\\Presets");
    EXPECT_TRUE(RegReadValueNames(section).empty()); // missing section
    // Names with the characters the store escapes, and one with Cyrillic letters.
    for (const char *name : {"Разметка", "a/b", "c\\d", "50%", ""})
        RegWriteString(section, Cp(name), S("x"));
    RegWriteString(section + S("\\Sub"), S("inner"), S("y")); // a key below is no value of the section
    const std::vector<Cp1251String> expected = {Cp(""), Cp("50%"), Cp("a/b"), Cp("c\\d"), Cp("Разметка")};
    std::vector<Cp1251String> names = RegReadValueNames(section);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
}
