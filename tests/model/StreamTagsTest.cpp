#include "model/StreamTags.h"

#include "engine/StreetError.h"

#include "support/Expectations.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using sptest::ByteBuilder;

namespace {

using sptest::ErrorOf;

TEST(StreamTags, CheckStreamTagProbes) {
    struct TCase {
        const char *name;
        ByteBuilder bytes;
        int64_t start;
        const char *tag;
        bool result;
        int64_t endPos;
    };
    const TCase cases[] = {
        {"match", ByteBuilder().Tag("STRSTART").I32(1), 0, "STRSTART", true, 8},
        {"mismatch leaves the position", ByteBuilder().Tag("STRSTART").I32(1), 0, "STRNAME ", false, 0},
        {"mismatch in the middle", ByteBuilder().I32(7).Tag("STRSTART"), 4, "STRNAME ", false, 4},
        {"case-sensitive", ByteBuilder().Tag("LfSideNm"), 0, "LFSIDENM", false, 0},
        {"at the end", ByteBuilder().Tag("STRSTART"), 8, "STRSTART", false, 8},
        {"empty stream", ByteBuilder(), 0, "STREET  ", false, 0},
        {"partial tag is not consumed", ByteBuilder().Tag("STRSTART").Bytes("STRST"), 8, "STRSTART", false,
         8},
        {"beyond the end", ByteBuilder().Tag("STRSTART"), 12, "STRSTART", false, 12},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream s(c.bytes.Data());
        s.Seek(c.start, TSeekOrigin::Begin);
        EXPECT_EQ(CheckStreamTag(s, c.tag), c.result);
        EXPECT_EQ(s.Position(), c.endPos);
    }
}

TEST(StreamTags, OptionalFieldsAreProbedInOrder) {
    // "GROUPNAM" absent: its probe fails and the following field is still read.
    TMemoryStream s(ByteBuilder().Tag("ITEMACTV").U8(1).Tag("COMMENT ").Str("abc").Data());
    ASSERT_TRUE(CheckStreamTag(s, "ITEMACTV"));
    EXPECT_TRUE(s.ReadBool());
    EXPECT_FALSE(CheckStreamTag(s, "GROUPNAM"));
    ASSERT_TRUE(CheckStreamTag(s, "COMMENT "));
    EXPECT_EQ(ReadStreamString(s), Cp1251String("abc"));
    EXPECT_EQ(s.Remaining(), 0);
}

TEST(StreamTags, TagsMustBeEightBytes) {
    TMemoryStream s;
    WriteStreamTag(s, "STREET  ");
    EXPECT_EQ(s.Bytes(), ByteBuilder().Tag("STREET").Data());
    EXPECT_THROW(WriteStreamTag(s, "STREET"), EStreetError);
    EXPECT_THROW(CheckStreamTag(s, "STREET   "), EStreetError);
    EXPECT_EQ(s.Size(), 8);
}

TEST(StreamTags, StringsAreCountedBytes) {
    struct TCase {
        const char *name;
        std::string bytes;
    };
    const TCase cases[] = {
        {"empty", ""},
        {"ascii", "abc"},
        {"cyrillic", Cp("Тротуар").Bytes()},
        {"every byte",
         [] {
             std::string b;
             for (int i = 0; i < 256; ++i)
                 b.push_back(static_cast<char>(i));
             return b;
         }()},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream out;
        WriteStreamString(out, Cp1251String(c.bytes));
        EXPECT_EQ(out.Bytes(), ByteBuilder().Str(c.bytes).Data());
        TMemoryStream in(ByteBuilder().Str(c.bytes).U8(0xEE).Data());
        EXPECT_EQ(ReadStreamString(in).Bytes(), c.bytes);
        EXPECT_EQ(in.Remaining(), 1);
    }
    TMemoryStream empty;
    WriteStreamString(empty, Cp1251String());
    EXPECT_EQ(empty.Bytes(), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(StreamTags, BadStringCountsAreErrors) {
    struct TCase {
        const char *name;
        ByteBuilder bytes;
        const char *reason;
    };
    const TCase cases[] = {
        {"negative", ByteBuilder().I32(-1).Bytes("abcd"), "negative count -1"},
        {"beyond the data", ByteBuilder().I32(5).Bytes("abcd"),
         "count 5 exceeds the data present (4 bytes left)"},
        {"huge", ByteBuilder().I32(0x7FFFFFFF).Bytes("ab"), "count 2147483647 exceeds the data present"},
        {"truncated count", ByteBuilder().U8(3).U8(0), "unexpected end of data (need 4 bytes, 2 left)"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream s(c.bytes.Data(), "Street.zrv");
        const std::string e = ErrorOf([&] { ReadStreamString(s, "TAbstractItem.LoadFromStream"); });
        EXPECT_EQ(e.rfind("TAbstractItem.LoadFromStream: ", 0), 0u) << e;
        EXPECT_NE(e.find(c.reason), std::string::npos) << e;
        EXPECT_NE(e.find("Street.zrv"), std::string::npos) << e;
    }
    TMemoryStream s(ByteBuilder().I32(-3).Data());
    EXPECT_EQ(ErrorOf([&] { ReadStreamString(s); }).rfind("ReadStreamString: ", 0), 0u);
}

TEST(StreamTags, StoredTypeSets) {
    const ByteBuilder ones = ByteBuilder().Bytes(std::string(8, '\xFF')).Tag("NEXTFLD ");
    struct TCase {
        int size;
        std::array<uint8_t, 6> bytes;
    };
    const TCase cases[] = {
        {8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {6, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {4, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
        {1, {0xFF, 0, 0, 0, 0, 0}},
        {0, {0, 0, 0, 0, 0, 0}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.size);
        TMemoryStream s(ones.Data());
        const TItemTypeSet set = ReadStoredTypeSet(s, c.size);
        EXPECT_EQ(set.Bytes(), c.bytes);
        EXPECT_EQ(s.Position(), c.size);
    }
    TMemoryStream s4(ones.Data());
    const TItemTypeSet set = ReadStoredTypeSet(s4, 4);
    for (int code = 32; code < 48; ++code)
        EXPECT_FALSE(set.Contains(code)) << code;
    EXPECT_TRUE(set.Contains(31));

    for (int bad : {9, -1, 1000}) {
        TMemoryStream s(ones.Data());
        const std::string e = ErrorOf([&] { ReadStoredTypeSet(s, bad, "TPlanDefineItem.LoadFromStream"); });
        EXPECT_NE(
            e.find("TPlanDefineItem.LoadFromStream: tag-set size " + std::to_string(bad) + " out of range"),
            std::string::npos)
            << e;
    }
    TMemoryStream shortSet(ByteBuilder().U8(1).U8(2).U8(3).Data());
    EXPECT_NE(ErrorOf([&] { ReadStoredTypeSet(shortSet, 4); }).find("ReadStoredTypeSet: unexpected end"),
              std::string::npos);
}

} // namespace
