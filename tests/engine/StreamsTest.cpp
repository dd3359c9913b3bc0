#include "engine/StreetError.h"
#include "engine/Streams.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using sptest::ByteBuilder;

TEST(Streams, TypedReadsAreLittleEndianAndBounded) {
    ByteBuilder b;
    b.I32(-5).F32(1.5f).F64(2.25).U8(7).U16(0x1234);
    TMemoryStream s(b.Data());
    EXPECT_EQ(s.ReadInt32(), -5);
    EXPECT_EQ(s.ReadSingle(), 1.5f);
    EXPECT_EQ(s.ReadDouble(), 2.25);
    EXPECT_TRUE(s.ReadBool());
    EXPECT_EQ(s.ReadUInt16(), 0x1234);
    EXPECT_EQ(s.Remaining(), 0);
    try {
        s.ReadInt32("TTest.Load");
        FAIL();
    } catch (const EStreetError &e) {
        EXPECT_STREQ(e.what(), "TTest.Load: unexpected end of data (need 4 bytes, 0 left) at offset 19");
    }
}

TEST(Streams, ShortReadDoesNotMoveAndDoesNotTouchBuffer) {
    TMemoryStream s(ByteBuilder().U8(1).U8(2).Data());
    int32_t v = 42;
    EXPECT_THROW(s.ReadBuffer(&v, 4), EStreetError);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(s.Position(), 0);
}

TEST(Streams, CheckCountRefusesNegativeAndOversizedCounts) {
    TMemoryStream s(std::vector<uint8_t>(100));
    EXPECT_EQ(s.CheckCount(25, 4, "T.X"), 25);
    EXPECT_EQ(s.CheckCount(0, 28, "T.X"), 0);
    EXPECT_THROW(s.CheckCount(26, 4, "T.X"), EStreetError);
    EXPECT_THROW(s.CheckCount(-1, 4, "T.X"), EStreetError);
    EXPECT_THROW(s.CheckCount(INT64_MAX, 8, "T.X"), EStreetError);
    EXPECT_THROW(s.Skip(101), EStreetError);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::Begin), EStreetError);
}

TEST(Streams, MemoryWriteSeekOverwrite) {
    TMemoryStream s;
    s.WriteInt32(1);
    s.WriteInt32(2);
    s.Seek(-4, TSeekOrigin::Current);
    s.WriteInt32(3);
    s.Seek(0, TSeekOrigin::Begin);
    EXPECT_EQ(s.ReadInt32(), 1);
    EXPECT_EQ(s.ReadInt32(), 3);
    EXPECT_EQ(s.Size(), 8);
}

TEST(Streams, FileErrorsNameTheFile) {
    sptest::TempDir dir;
    const std::string missing = dir.File("нет.zrv");
    try {
        TFileStream f(missing);
        FAIL();
    } catch (const EStreetError &e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
    }
    sptest::WriteFileBytes(dir.File("a.bin"), {1, 2, 3});
    TFileStream f(dir.File("a.bin"));
    EXPECT_EQ(f.Size(), 3);
    try {
        f.ReadInt32("TStreetStructure.LoadFromStream");
        FAIL();
    } catch (const EStreetError &e) {
        EXPECT_NE(std::string(e.what()).find("a.bin"), std::string::npos);
    }
    // A folder is no file: an error rather than a read of its reported size.
    TMemoryStream m;
    EXPECT_THROW(m.LoadFromFile(dir.Path().string()), EStreetError);
}

TEST(Streams, SaveIsAtomic) {
    sptest::TempDir dir;
    const std::string name = dir.File("street.zrv");
    sptest::WriteFileBytes(name, {9, 9});
    {
        TSaveFileStream out(name);
        out.WriteInt32(1);
        // Dropped without Commit: the old file stays.
    }
    EXPECT_EQ(sptest::ReadFileBytes(name), (std::vector<uint8_t>{9, 9}));
    TMemoryStream m;
    m.WriteInt32(0x04030201);
    m.SaveToFile(name);
    EXPECT_EQ(sptest::ReadFileBytes(name), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    // A folder that does not exist: the save fails loudly.
    EXPECT_THROW(m.SaveToFile(dir.File("no/such/folder/x.zrv")), EStreetError);
}
