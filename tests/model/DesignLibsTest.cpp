// Design style libraries: their records read and written back byte for byte, pictures reaching their
// batches, publishing into the street's batches, reading into a used street, and merging.
#include "StreetTestUtil.h"

#include "engine/DxTexture.h"
#include "model/DesignLibs.h"

using namespace streettest;
using sptest::ByteBuilder;
using sptest::Rec;
using sptest::StreetFile;

namespace {

// A 2 x 2 BMP with 24 bits per pixel, written by hand; `tag` varies a pixel so pictures differ.
ByteBuilder Bmp(uint8_t tag = 0x40, uint32_t xResolution = 0) {
    ByteBuilder b;
    b.Bytes("BM").U32(70).U32(0).U32(54);
    b.U32(40).I32(2).I32(2).U16(1).U16(24).U32(0).U32(16).U32(xResolution).U32(0).U32(0).U32(0);
    for (int row = 0; row < 2; ++row)
        b.U8(0xFF).U8(tag).U8(0x00).U8(0x10).U8(0x20).U8(0x30).U8(0).U8(0);
    return b;
}

ByteBuilder BlockRecord(const std::string &name, uint8_t tag) {
    ByteBuilder b;
    b.Tag("BLOCKDEF")
        .Str(name)
        .Tag("BLOCKBMP")
        .Append(Bmp(tag))
        .Tag("BLOCKWID")
        .F32(1.5f)
        .Tag("BLOCKHEI")
        .F32(3);
    b.Tag("BLOCKANC").I32(1).I32(2);
    return b;
}

ByteBuilder LineRecord(const std::string &name, bool ends) {
    ByteBuilder b;
    b.Tag("DSNLNDEF").Tag("DEFNAME").Str(name).Tag("DEFPERID").F32(2).Tag("DEFWIDTH").F32(0.5f);
    b.Tag("DEFDISP").F32(-0.25f);
    if (ends)
        b.Tag("DEFBMPST").Append(Bmp(1)).Tag("DEFBMPRP").Append(Bmp(2)).Tag("DEFBMPFN").Append(Bmp(3));
    else
        b.Tag("DEFBMP").Append(Bmp(2));
    return b;
}

ByteBuilder FigRecord(const std::string &name) {
    ByteBuilder b;
    b.Tag("DSNFGDEF").Tag("DEFNAME").Str(name).Tag("DEFPERDX").F32(0.5f).Tag("DEFPERDY").F32(2);
    b.Tag("DEFBMP").Append(Bmp(9, 2835)); // a header field our own writer would not set stays as read
    return b;
}

template <class TList> std::vector<uint8_t> Saved(const TList &list) {
    TMemoryStream m;
    list.SaveToStream(m);
    return m.Bytes();
}

TEST(DesignLibs, LibrariesWriteBackWhatTheyRead) {
    ByteBuilder blocks;
    blocks.Tag("BLOCKLST").Tag("ITEMSCNT").I32(2).Append(BlockRecord("A", 1)).Append(BlockRecord("B", 2));
    TDsnBlockDefList bl;
    TMemoryStream bm(blocks.Data());
    bl.LoadFromStream(bm);
    ASSERT_EQ(bl.Count(), 2);
    EXPECT_EQ(bl.Items(1)->Name, Cp1251String("B"));
    EXPECT_EQ(bl.Items(1)->Library(), &bl);
    EXPECT_FLOAT_EQ(bl.Items(0)->Width, 1.5f);
    EXPECT_EQ(bl.Items(0)->AnchorY, 2);
    EXPECT_EQ(bl.Items(0)->Bitmap.Bitmap().Width(), 2);
    EXPECT_EQ(bl.IndexOfName(Cp1251String("B")), 1);
    EXPECT_EQ(Saved(bl), blocks.Data());

    ByteBuilder lines;
    lines.Tag("DSNLNLST")
        .Tag("ITEMSCNT")
        .I32(2)
        .Append(LineRecord("plain", false))
        .Append(LineRecord("ends", true));
    TDsnLineDefList ll;
    TMemoryStream lm(lines.Data());
    ll.LoadFromStream(lm);
    ASSERT_EQ(ll.Count(), 2);
    EXPECT_FALSE(ll.Items(0)->HasStartBitmap());
    EXPECT_TRUE(ll.Items(0)->HasRepeatBitmap());
    EXPECT_TRUE(ll.Items(1)->HasFinishBitmap());
    EXPECT_FLOAT_EQ(ll.Items(1)->Disp, -0.25f);
    EXPECT_EQ(ll.FindByName(Cp1251String("ends")), ll.Items(1));
    EXPECT_EQ(ll.FindByName(Cp1251String("ENDS")), nullptr); // names are case-sensitive
    EXPECT_EQ(Saved(ll), lines.Data());

    ByteBuilder figs;
    figs.Tag("DSNFGLST").Tag("ITEMSCNT").I32(1).Append(FigRecord("tiles"));
    TDsnFigDefList fl;
    TMemoryStream fm(figs.Data());
    fl.LoadFromStream(fm);
    ASSERT_EQ(fl.Count(), 1);
    EXPECT_FLOAT_EQ(fl.Items(0)->PeriodY, 2);
    EXPECT_EQ(Saved(fl), figs.Data());
}

TEST(DesignLibs, NewDefinitionsAndEmptyPicturesReadBackTheSame) {
    TDsnLineDefList ll;
    TDsnLineDef *d = ll.Add();
    d->Name = Cp("новый");
    d->GetStartBitmap(); // made empty on first access: it exists
    TBitmap red(3, 1);
    red.Fill(0xFFFF0000);
    d->GetRepeatBitmap().Assign(red);
    TDsnFigDefList fl;
    fl.Add()->Name = Cp1251String("f");
    TDsnBlockDefList bl;
    bl.Add();
    for (auto lib : std::initializer_list<std::function<void()>>{
             [&] {
                 TMemoryStream m(Saved(ll));
                 TDsnLineDefList back;
                 back.LoadFromStream(m);
                 ASSERT_EQ(back.Count(), 1);
                 EXPECT_TRUE(back.Items(0)->HasStartBitmap());
                 EXPECT_TRUE(back.Items(0)->GetStartBitmap().Bitmap().Empty());
                 EXPECT_EQ(back.Items(0)->GetRepeatBitmap().Bitmap().Pixel(2, 0), 0xFFFF0000u);
                 EXPECT_FALSE(back.Items(0)->HasFinishBitmap());
                 EXPECT_EQ(Saved(back), Saved(ll));
             },
             [&] {
                 TMemoryStream m(Saved(fl));
                 TDsnFigDefList back;
                 back.LoadFromStream(m);
                 EXPECT_EQ(back.Items(0)->Bitmap.Bitmap().Width(), 16);
                 EXPECT_EQ(Saved(back), Saved(fl));
             },
             [&] {
                 TMemoryStream m(Saved(bl));
                 TDsnBlockDefList back;
                 back.LoadFromStream(m);
                 EXPECT_EQ(Saved(back), Saved(bl));
             }})
        lib();
}

const TTextureSurface *Texture(const TItemBatchPtr &batch) {
    return PrimCollection(batch.get())->Texture();
}

TEST(DesignLibs, PicturesReachTheirBatches) {
    TDsnLineDef d;
    TBitmap pic(4, 2);
    d.GetRepeatBitmap().Assign(pic);
    const TTextureSurface *repeat = Texture(d.RepeatBatch());
    ASSERT_NE(repeat, nullptr);
    ASSERT_NE(repeat->Bitmap(), nullptr);
    EXPECT_EQ(repeat->Bitmap()->Width(), 4);
    EXPECT_EQ(repeat->AddressU, 0); // wrapped along the line
    EXPECT_EQ(repeat->AddressV, 1); // clamped across it
    EXPECT_EQ(repeat->ColorOp, 0);  // texture plus vertex colour
    EXPECT_EQ(d.RepeatBatch()->Color(), 0xFF000000u);
    d.GetStartBitmap().Assign(pic);
    ASSERT_NE(Texture(d.StartBatch()), nullptr);
    EXPECT_EQ(Texture(d.StartBatch())->AddressU, 1);
    d.ClearStartBitmap();
    EXPECT_FALSE(d.HasStartBitmap());
    EXPECT_EQ(Texture(d.StartBatch()), nullptr);

    TDsnFigDef f;
    EXPECT_EQ(f.Batch()->Color(), 0xFFFF0000u);
    f.Bitmap.Assign(pic);
    ASSERT_NE(Texture(f.Batch()), nullptr);
    EXPECT_EQ(Texture(f.Batch())->AddressV, 0); // tiles both ways

    TDsnBlockDef b;
    b.TextureValid = true;
    b.Bitmap.Assign(pic);
    EXPECT_FALSE(b.TextureValid);
}

TEST(DesignLibs, BadRecordsAreRefused) {
    struct TBad {
        const char *Name;
        ByteBuilder Bytes;
        const char *Expect;
    };
    ByteBuilder notBmp =
        ByteBuilder().Tag("BLOCKLST").Tag("ITEMSCNT").I32(1).Tag("BLOCKDEF").Str("x").Tag("BLOCKBMP");
    notBmp.Bytes("XX").U32(70).Bytes(std::string(64, '\0'));
    ByteBuilder shortBmp =
        ByteBuilder().Tag("BLOCKLST").Tag("ITEMSCNT").I32(1).Tag("BLOCKDEF").Str("x").Tag("BLOCKBMP");
    shortBmp.Bytes("BM").U32(700).Bytes(std::string(64, '\0'));
    ByteBuilder badBmp =
        ByteBuilder().Tag("BLOCKLST").Tag("ITEMSCNT").I32(1).Tag("BLOCKDEF").Str("x").Tag("BLOCKBMP");
    badBmp.Bytes("BM").U32(26).U32(0).U32(26).U32(99).U32(0).U32(0);
    const TBad cases[] = {
        {"count beyond the data", ByteBuilder().Tag("BLOCKLST").Tag("ITEMSCNT").I32(1000000),
         "exceeds the data present"},
        {"record missing", ByteBuilder().Tag("BLOCKLST").Tag("ITEMSCNT").I32(1).Tag("BLOCKXXX").Str("x"),
         "record 1 of 1 is missing"},
        {"not a BMP", notBmp, "not a BMP file"},
        {"BMP longer than the data", shortBmp, "exceeds the data present"},
        {"BMP header", badBmp, "picture: "},
    };
    for (const TBad &c : cases) {
        TDsnBlockDefList bl;
        TMemoryStream m(c.Bytes.Data(), "lib");
        const std::string e = ErrorOf([&] { bl.LoadFromStream(m); });
        EXPECT_NE(e.find(c.Expect), std::string::npos) << c.Name << ": " << e;
        EXPECT_NE(e.find(" at offset "), std::string::npos) << c.Name << ": " << e;
        EXPECT_EQ(bl.Count(), 0) << c.Name;
    }
    TDsnLineDefList ll;
    TMemoryStream m(
        ByteBuilder().Tag("DSNLNLST").Tag("ITEMSCNT").I32(2).Append(LineRecord("a", false)).Data());
    EXPECT_THROW(ll.LoadFromStream(m), EStreetError);
}

StreetFile WithLibraries(const std::string &block, const std::string &line, const std::string &fig) {
    StreetFile f = StreetFile::Canonical();
    f.BlockDef = ByteBuilder().Tag("BLOCKLST").Tag("ITEMSCNT").I32(1).Append(BlockRecord(block, 5));
    f.LineDefs = ByteBuilder().Tag("DSNLNLST").Tag("ITEMSCNT").I32(1).Append(LineRecord(line, true));
    f.FigDefs = ByteBuilder().Tag("DSNFGLST").Tag("ITEMSCNT").I32(1).Append(FigRecord(fig));
    return f;
}

TEST(DesignLibs, StreetsReadTheirLibrariesOnce) {
    const std::vector<uint8_t> bytes = WithLibraries("blk", "ln", "fg").Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_EQ(SaveBytes(*s), bytes);
    // Published: the styles' batches sit in the design types' batch arrays.
    ASSERT_EQ(s->TypeBatches(19).size(), 7u);
    EXPECT_EQ(s->TypeBatches(19)[5], s->LineDefs().Items(0)->RepeatBatch());
    ASSERT_EQ(s->TypeBatches(7).size(), 2u);
    EXPECT_EQ(s->TypeBatches(7)[1], s->FigDefs().Items(0)->Batch());

    // Reading a street again into the same object replaces the libraries instead of adding to them.
    TMemoryStream again(WithLibraries("other", "ln2", "fg2").Bytes());
    s->LoadFromStream(again);
    EXPECT_EQ(s->BlockDefs().GetNames(), (std::vector<Cp1251String>{Cp1251String("other")}));
    EXPECT_EQ(s->LineDefs().GetNames(), (std::vector<Cp1251String>{Cp1251String("ln2")}));
    EXPECT_EQ(s->FigDefs().GetNames(), (std::vector<Cp1251String>{Cp1251String("fg2")}));

    // Clearing keeps the blocks and empties the styles.
    s->Clear();
    EXPECT_EQ(s->BlockDefs().Count(), 1);
    EXPECT_EQ(s->LineDefs().Count(), 0);
    EXPECT_EQ(s->FigDefs().Count(), 0);
}

TEST(DesignLibs, MergingBringsTheStylesTheMovedItemsUse) {
    TStreetStructure a;
    a.BlockDefs().Add()->Name = Cp1251String("used");
    a.BlockDefs().Items(0)->Width = 9;
    StreetFile f;
    f = WithLibraries("used", "used", "unused");
    f.BlockDef = ByteBuilder()
                     .Tag("BLOCKLST")
                     .Tag("ITEMSCNT")
                     .I32(2)
                     .Append(BlockRecord("used", 5))
                     .Append(BlockRecord("unused", 6));
    f.Points = {{1, 0, 0}, {2, 1, 0}};
    sptest::ItemRec line = Rec("SLOPMEAS", 1, {1, 2});
    line.Comment = "used";
    f.Lists = {{"SLOPMEAS", {line}}};
    std::unique_ptr<TStreetStructure> b = LoadBytes(f.Bytes());
    a.Merge(*b);
    // A block of that name is there already: it stays as it is.
    ASSERT_EQ(a.BlockDefs().Count(), 1);
    EXPECT_FLOAT_EQ(a.BlockDefs().Items(0)->Width, 9);
    ASSERT_EQ(a.LineDefs().Count(), 1);
    EXPECT_EQ(a.LineDefs().Items(0)->Name, Cp1251String("used"));
    EXPECT_TRUE(a.LineDefs().Items(0)->HasFinishBitmap());
    EXPECT_EQ(a.FigDefs().Count(), 0);
    EXPECT_EQ(a.TypeBatches(19).size(), 7u);
}

} // namespace
