#include "platform/settings/SettingsStore.h"

#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

QString Q(const sptest::TempDir &dir, const char *name) {
    return QString::fromStdString(dir.File(name));
}

// Every character that model text can hold as Unicode: Latin-1, the Cyrillic block and the punctuation of
// the upper half of code page 1251 that lies elsewhere.
QString AllTextCharacters() {
    QString s;
    for (char16_t c = 0; c < 0x100; ++c)
        s += QChar(c);
    for (char16_t c = 0x400; c < 0x460; ++c)
        s += QChar(c);
    for (char16_t c : {0x2013, 0x2014, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2020, 0x2021,
                       0x2022, 0x2026, 0x2030, 0x2039, 0x203A, 0x20AC, 0x2116, 0x2122, 0x0490, 0x0491})
        s += QChar(c);
    return s;
}

} // namespace

TEST(SettingsStore, StringsReadBackExactly) {
    sptest::TempDir dir;
    const QString file = Q(dir, "a.ini");
    const std::vector<QString> values = {
        QString(),
        QStringLiteral(" leading and trailing "),
        QStringLiteral("a, b, c"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("semi;colon = equals # hash"),
        QStringLiteral("@ByteArray(not binary)"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("back\\slash\\"),
        QStringLiteral("line one\r\nline two\nline three\r"),
        QStringLiteral("\t"),
        QStringLiteral("Улица Ленина, д. 5 — «центр» №7"),
        QString(QChar(0x98)) + QChar(0) + QChar(0xA0),
        AllTextCharacters(),
    };
    {
        TSettingsStore store(file);
        ASSERT_TRUE(store.OpenKey("\\App\\Strings", true));
        for (std::size_t i = 0; i < values.size(); ++i)
            store.WriteString(QString::number(i), values[i]);
        store.CloseKey();
    }
    // A copy under another name is parsed afresh, not served from what this process wrote.
    const QString copy = Q(dir, "b.ini");
    ASSERT_TRUE(QFile::copy(file, copy));
    TSettingsStore store(copy);
    ASSERT_TRUE(store.OpenKey("\\App\\Strings", false));
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(store.ReadString(QString::number(i)), values[i]) << i;
}

TEST(SettingsStore, KeyPartsAndNamesMayHoldAnyCharacter) {
    sptest::TempDir dir;
    auto writer = std::make_unique<TSettingsStore>(Q(dir, "a.ini"));
    TSettingsStore &store = *writer;
    // Names that an unescaped store would fold together or split into groups.
    const std::vector<QString> names = {QStringLiteral("a/b"),
                                        QStringLiteral("a%2Fb"),
                                        QStringLiteral("a\\b"),
                                        QStringLiteral("a"),
                                        QStringLiteral("A"),
                                        QStringLiteral("%"),
                                        QString(),
                                        QStringLiteral("x=y;z"),
                                        QStringLiteral("Имя файла"),
                                        QStringLiteral("General"),
                                        QStringLiteral(" spaced ")};
    ASSERT_TRUE(store.OpenKey("\\App\\ValueEditorForm\\Подпись / с косой", true));
    for (std::size_t i = 0; i < names.size(); ++i)
        store.WriteInteger(names[i], static_cast<int32_t>(i));
    writer.reset();
    ASSERT_TRUE(QFile::copy(Q(dir, "a.ini"), Q(dir, "b.ini")));
    TSettingsStore reader(Q(dir, "b.ini"));
    ASSERT_TRUE(reader.OpenKey("\\App\\ValueEditorForm\\Подпись / с косой", false));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(reader.ReadInteger(names[i]), static_cast<int32_t>(i)) << names[i].toStdString();
    // "\" inside a value name is part of the name, not a key separator.
    EXPECT_FALSE(reader.KeyExists("\\App\\ValueEditorForm\\Подпись / с косой\\a"));
}

TEST(SettingsStore, KeysOpenRelativeOrFromTheRoot) {
    sptest::TempDir dir;
    TSettingsStore store(Q(dir, "a.ini"));
    EXPECT_FALSE(store.OpenKey("\\App\\Form\\Pos", false));
    EXPECT_FALSE(store.HasCurrentKey());
    EXPECT_FALSE(store.KeyExists("\\App"));
    ASSERT_TRUE(store.OpenKey("\\App\\Form", true));
    ASSERT_TRUE(store.OpenKey("Pos", true)); // below the current key
    store.WriteInteger("Left", 5);
    store.CloseKey();
    EXPECT_TRUE(store.KeyExists("\\App"));
    EXPECT_TRUE(store.KeyExists("\\App\\Form\\Pos"));
    ASSERT_TRUE(store.OpenKey("\\App\\Form\\Pos", false));
    EXPECT_TRUE(store.ValueExists("Left"));
    EXPECT_FALSE(store.ValueExists("Top"));
    EXPECT_EQ(store.ReadInteger("Left"), 5);
    store.CloseKey();
    EXPECT_FALSE(store.ValueExists("Left"));
    EXPECT_THROW(store.ReadInteger("Left"), ESettingsError);
    EXPECT_THROW(store.WriteInteger("Left", 1), ESettingsError);
}

TEST(SettingsStore, TypedValues) {
    sptest::TempDir dir;
    TSettingsStore store(Q(dir, "a.ini"));
    ASSERT_TRUE(store.OpenKey("\\App\\Types", true));
    store.WriteInteger("min", INT32_MIN);
    store.WriteInteger("max", INT32_MAX);
    store.WriteBool("yes", true);
    store.WriteBool("no", false);
    const QByteArray blob("\x00\x01\xFFtext,=\n", 10);
    store.WriteBinaryData("DevMode", blob);
    store.WriteString("text", "12");
    EXPECT_EQ(store.ReadInteger("min"), INT32_MIN);
    EXPECT_EQ(store.ReadInteger("max"), INT32_MAX);
    EXPECT_TRUE(store.ReadBool("yes"));
    EXPECT_FALSE(store.ReadBool("no"));
    EXPECT_EQ(store.ReadInteger("yes"), 1);
    EXPECT_EQ(store.ReadBinaryData("DevMode"), blob);
    EXPECT_EQ(store.ReadInteger("text"), 12); // the file holds text: decimal text reads as a number
    // Values of the wrong kind and missing values are errors for the caller to handle.
    EXPECT_THROW(store.ReadString("DevMode"), ESettingsError);
    EXPECT_THROW(store.ReadBinaryData("text"), ESettingsError);
    EXPECT_THROW(store.ReadInteger("DevMode"), ESettingsError);
    EXPECT_THROW(store.ReadString("missing"), ESettingsError);
    EXPECT_THROW(store.ReadBool("missing"), ESettingsError);
}

TEST(SettingsStore, MalformedFileValuesAreErrorsNotCrashes) {
    sptest::TempDir dir;
    const QString file = Q(dir, "a.ini");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[App]\n"
                "S\\abc=abc\n"
                "S\\huge=99999999999\n"
                "S\\empty=\n"
                "S\\list=a, b\n"
                "S\\spaced= 42 \n"
                "S\\float=1.5\n"
                "garbage line without equals\n"
                "[unterminated\n"
                "S\\blob=@ByteArray(\n");
    }
    TSettingsStore store(file);
    ASSERT_TRUE(store.OpenKey("\\App\\S", false));
    for (const char *name : {"abc", "huge", "empty", "list", "float", "blob", "nothing"})
        EXPECT_THROW(store.ReadInteger(name), ESettingsError) << name;
    EXPECT_EQ(store.ReadInteger("spaced"), 42);
    EXPECT_THROW(store.ReadString("list"), ESettingsError);
    EXPECT_EQ(store.ReadString("abc"), "abc");
}

TEST(SettingsStore, FileIsNamedAfterTheExecutableInTheSettingsFolder) {
    EXPECT_EQ(ExecutableBaseName(), "test_platform");
    sptest::TempDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    setenv("STREETPLAN_SETTINGS_DIR", (folder + "/env").toLocal8Bit().constData(), 1);
    EXPECT_EQ(SettingsDir(), folder + "/env");
    SetSettingsDir(folder + "/set"); // the setter wins over the environment
    EXPECT_EQ(DefaultSettingsFile(), folder + "/set/test_platform.ini");
    {
        TSettingsStore store(DefaultSettingsFile());
        ASSERT_TRUE(store.OpenKey("\\test_platform\\Main", true));
        store.WriteString("Last", "x");
    }
    EXPECT_TRUE(QFile::exists(folder + "/set/test_platform.ini"));
    SetSettingsDir(QString());
    EXPECT_EQ(SettingsDir(), folder + "/env");
    unsetenv("STREETPLAN_SETTINGS_DIR");
    EXPECT_TRUE(SettingsDir().endsWith("/StreetPlan"));
}

TEST(SettingsStore, WriteFailureIsReported) {
    sptest::TempDir dir;
    // The settings file's folder is a file: nothing can be written there.
    sptest::WriteFileBytes(dir.File("blocker"), {1});
    TSettingsStore store(Q(dir, "blocker") + "/a.ini");
    ASSERT_TRUE(store.OpenKey("\\App\\S", true));
    EXPECT_THROW(store.WriteString("x", "y"), ESettingsError);
}
