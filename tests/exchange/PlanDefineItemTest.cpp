// The plan sheet item: its sizes and pixel geometry, the record in the street stream and the format file
// (against hand-built bytes), the legacy metafiles read past, the stamps and their placement, the caption.
#include "exchange/PlanDefineItem.h"
#include "engine/MatrixShell.h"
#include "engine/StreetError.h"
#include "exchange/RegisterExchange.h"
#include "objects/RegisterObjects.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"
#include "model/StreetStructure.h"

#include "support/StreetBytes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using sptest::ByteBuilder;

std::string W1251(const char *utf8) {
    return Cp(utf8).Bytes();
}

class PlanSheet : public ::testing::Test {
protected:
    PlanSheet() {
        RegisterExchangeObjects();
        RegisterObjects(); // guide axes are the real class
    }
};

TPlanDefineItem &AddSheet(TStreetStructure &street, TXYZ p0, double angle) {
    auto *sheet = dynamic_cast<TPlanDefineItem *>(street.Lists(PlanDefineTypeCode).AddNew());
    sheet->Points.InsertNewPoint(0, p0);
    sheet->Points.InsertNewPoint(1, {float(p0.x + std::cos(angle)), float(p0.y + std::sin(angle)), 0});
    return *sheet;
}

// The sheet fields as the format file and the record hold them, laid out by hand.
struct Fields {
    double Scale = 0.002;
    int32_t DPI = 300;
    std::string Names; // code page 1251
    int32_t H = 297, W = 210, L = 20, R = 10, T = 10, B = 20;
    uint8_t Land = 0;

    ByteBuilder Bytes() const {
        ByteBuilder b;
        b.Tag("PLDFSCAL").F64(Scale).Tag("PLDFDPI").I32(DPI).Tag("PLDFDS_2").Str(Names);
        b.Tag("PLDFFMTH").I32(H).Tag("PLDFFMTW").I32(W).Tag("PLDFILFT").I32(L).Tag("PLDFIRGH").I32(R);
        b.Tag("PLDFITOP").I32(T).Tag("PLDFIBOT").I32(B).Tag("PLDFLAND").U8(Land);
        return b;
    }
};

// A street holding one sheet (id 7, vertices at (10, 20) and (11, 20)) whose record continues with the
// bytes after the record head.
std::vector<uint8_t> StreetWithSheet(const ByteBuilder &sheetFields, int32_t id = 7) {
    sptest::StreetFile f = sptest::StreetFile::Canonical();
    f.Points = {{1, 10, 20}, {2, 11, 20}};
    sptest::ItemRec rec = sptest::Rec("PLANDEF", id, {1, 2});
    rec.Extra = sheetFields;
    f.Lists.emplace_back("PLANDEF", std::vector<sptest::ItemRec>{rec});
    return f.Bytes();
}

// An empty street stream named so that it can be told apart.
ByteBuilder NamedStreet(const std::string &name) {
    sptest::StreetFile f = sptest::StreetFile::Canonical();
    f.Name = name;
    ByteBuilder b;
    const std::vector<uint8_t> bytes = f.Bytes();
    b.Raw(bytes.data(), bytes.size());
    return b;
}

std::unique_ptr<TStreetStructure> Load(const std::vector<uint8_t> &bytes) {
    TMemoryStream m(bytes);
    return LoadStreetStream(m);
}

TPlanDefineItem &SheetOf(TStreetStructure &street) {
    return dynamic_cast<TPlanDefineItem &>(*street.Lists(PlanDefineTypeCode).Items(0));
}

// ---- Sizes and pixels

TEST_F(PlanSheet, PrintableAreaInWholePixels) {
    struct Case {
        int W, H, L, R, T, B, DPI, Wp, Hp;
    };
    for (const Case c : {
             Case{210, 297, 20, 10, 10, 20, 300, 2126, 3154}, // A4 with the default margins
             Case{841, 594, 20, 10, 10, 20, 150, 4789, 3331}, // A1 lying
             Case{100, 50, 0, 0, 0, 0, 72, 283, 142},         // 283.46, 141.73
             Case{30, 30, 10, 10, 10, 10, 300, 118, 118},     // 10 mm: 118.11
         }) {
        TStreetStructure street;
        TPlanDefineItem &s = AddSheet(street, {0, 0, 0}, 0);
        s.Format.SheetWidth = c.W;
        s.Format.SheetHeight = c.H;
        s.Format.LeftMargin = c.L;
        s.Format.RightMargin = c.R;
        s.Format.TopMargin = c.T;
        s.Format.BottomMargin = c.B;
        s.Format.DPI = c.DPI;
        EXPECT_EQ(s.PrintWidthPx(), c.Wp) << c.W << " x " << c.H;
        EXPECT_EQ(s.PrintHeightPx(), c.Hp) << c.W << " x " << c.H;
    }
    TPlanDefineItem fresh;
    EXPECT_NEAR(fresh.PixelGroundSize(), 0.04233, 1e-5); // 300 DPI at 1:500
}

TEST_F(PlanSheet, PixelToWorldMatchesTrigonometry) {
    struct Case {
        TXYZ P0;
        double Angle, Scale;
        int DPI;
    };
    for (const Case c : {Case{{0, 0, 0}, 0, 0.002, 300}, Case{{105.5f, -40, 3}, 0.5236, 0.002, 300},
                         Case{{-7, 12, 0}, 2.4, 0.001, 150}, Case{{1000, 2000, 0}, 5.0, 0.01, 600}}) {
        SCOPED_TRACE(c.Angle);
        TStreetStructure street;
        TPlanDefineItem &s = AddSheet(street, c.P0, c.Angle);
        s.Format.Scale = c.Scale;
        s.Format.DPI = c.DPI;
        const double k = 0.0254 / c.DPI / c.Scale, h = 297 / 25.4 * c.DPI;
        for (const auto &[x, y] : {std::pair{0.0, 0.0}, {0.0, h}, {512.5, 77.0}, {2500.0, 3000.0}}) {
            const double u = x * k, v = (h - y) * k;
            const TXYZ got = s.PixelToWorld(float(x), float(y));
            EXPECT_NEAR(got.x, c.P0.x + u * std::cos(c.Angle) - v * std::sin(c.Angle), 2e-3) << x << "," << y;
            EXPECT_NEAR(got.y, c.P0.y + u * std::sin(c.Angle) + v * std::cos(c.Angle), 2e-3) << x << "," << y;
        }
        const TXYZ whole = s.PixelToWorldI(300, 400), exact = s.PixelToWorld(300.0f, 400.0f);
        EXPECT_EQ(whole.x, exact.x);
        EXPECT_EQ(whole.y, exact.y);
    }
}

// ---- Layer set

TEST_F(PlanSheet, NewSheetPrintsEveryTypeButSheetsLoadedSheetKeepsItsSet) {
    TStreetStructure street;
    TPlanDefineItem &s = AddSheet(street, {0, 0, 0}, 0);
    s.InitNewItem();
    TItemTypeSet expected = FullTypeSet();
    expected.Exclude(PlanDefineTypeCode);
    EXPECT_EQ(s.Format.LayerSet, expected);

    // A set chosen before stays.
    TPlanDefineItem &chosen = AddSheet(street, {0, 0, 0}, 0);
    chosen.Format.LayerSet = TItemTypeSet{2, 3};
    chosen.InitNewItem();
    EXPECT_EQ(chosen.Format.LayerSet, (TItemTypeSet{2, 3}));

    // A stored empty set is kept.
    auto loaded = Load(StreetWithSheet(Fields{}.Bytes().Tag("PLDFSTOP")));
    EXPECT_TRUE(SheetOf(*loaded).Format.LayerSet.IsEmpty());
}

// ---- Record

TEST_F(PlanSheet, RecordReadsEveryFieldAndWritesTheSameBytes) {
    Fields f;
    f.Scale = 0.001;
    f.DPI = 600;
    f.Names = W1251("Проезжая часть;Тротуар;");
    f.H = 420;
    f.W = 594;
    f.L = 25;
    f.R = 5;
    f.T = 7;
    f.B = 15;
    f.Land = 1;
    const ByteBuilder tail = f.Bytes().Tag("PLDFSTOP");
    auto street = Load(StreetWithSheet(tail));
    TPlanDefineItem &s = SheetOf(*street);
    TPlanSheetFormat want;
    want.Scale = 0.001;
    want.DPI = 600;
    want.LayerSet = TItemTypeSet{2, 3};
    want.SheetHeight = 420;
    want.SheetWidth = 594;
    want.LeftMargin = 25;
    want.RightMargin = 5;
    want.TopMargin = 7;
    want.BottomMargin = 15;
    want.StampRotation = true;
    EXPECT_EQ(s.Format, want);
    EXPECT_EQ(s.ID(), 7);
    for (TStampCorner c :
         {TStampCorner::TopLeft, TStampCorner::TopRight, TStampCorner::BotLeft, TStampCorner::BotRight})
        EXPECT_EQ(s.Stamp(c), nullptr);

    // Saved again, the street holds the same record bytes.
    TMemoryStream saved;
    street->SaveToStream(saved);
    EXPECT_EQ(saved.Bytes(), StreetWithSheet(tail));
}

TEST_F(PlanSheet, MissingFieldsKeepTheirDefaultsAndTheRawTypeSetIsRead) {
    // Only the raw type set (8 bytes in a street of 8-byte tag sets), the DPI and the margins on top
    // and bottom; no end tag.
    ByteBuilder b;
    b.Tag("PLDFDPI").I32(200).Tag("PLDFDSET").U8(0x0C).U8(0).U8(0).U8(0).U8(0x10).U8(0).U8(0).U8(0);
    b.Tag("PLDFITOP").I32(15).Tag("PLDFIBOT").I32(25);
    auto street = Load(StreetWithSheet(b));
    const TPlanSheetFormat &f = SheetOf(*street).Format;
    EXPECT_EQ(f.DPI, 200);
    EXPECT_EQ(f.LayerSet, (TItemTypeSet{2, 3, 36}));
    EXPECT_EQ(f.TopMargin, 15);
    EXPECT_EQ(f.BottomMargin, 25);
    EXPECT_EQ(f.Scale, 0.002);
    EXPECT_EQ(f.SheetWidth, 210);
    EXPECT_EQ(f.LeftMargin, 20);
    EXPECT_FALSE(f.StampRotation);
}

// ---- Legacy metafiles

ByteBuilder Emf() {
    ByteBuilder b;
    // Header record: type 1, size 88, bounds, frame, signature, version, total bytes, records, handles...
    b.U32(1).U32(88);
    for (int i = 0; i < 8; ++i)
        b.I32(i * 10);
    b.U32(0x464D4520).U32(0x10000).U32(108).U32(2).U16(1).U16(0).U32(0).U32(0).U32(0);
    b.I32(1920).I32(1080).I32(508).I32(286);
    while (b.Size() < 88)
        b.U8(0);
    // End-of-file record.
    b.U32(14).U32(20).U32(0).U32(16).U32(20);
    return b;
}

ByteBuilder Wmf(uint32_t declaredWords = 16) {
    ByteBuilder b;
    b.U16(1).U16(9).U16(0x300).U32(declaredWords).U16(0).U32(4).U16(0);
    b.U32(4).U16(0x0102).U16(1); // set background mode
    b.U32(3).U16(0);             // end of file
    return b;
}

ByteBuilder Placeable(const ByteBuilder &wmf) {
    ByteBuilder b;
    b.U32(0x9AC6CDD7).U16(0).I16(0).I16(0).I16(1000).I16(500).U16(1440).U32(0).U16(0x1234);
    return b.Append(wmf);
}

TEST_F(PlanSheet, LegacyMetafilesAreReadPastAndDropped) {
    struct Case {
        const char *Name;
        ByteBuilder Picture;
    };
    const Case cases[] = {
        {"enhanced", Emf()},
        {"placeable Windows", Placeable(Wmf())},
        // Writers disagree whether the size counts the placeable header: the records decide.
        {"placeable Windows counting its own header", Placeable(Wmf(27))},
        {"plain Windows", Wmf()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        ByteBuilder tail;
        tail.Tag("PLDFSTMP").Append(c.Picture).Tag("PLDFCOMM").Append(c.Picture);
        Fields f;
        f.DPI = 123;
        tail.Append(f.Bytes()).Tag("PLDFSTOP");
        auto street = Load(StreetWithSheet(tail));
        EXPECT_EQ(SheetOf(*street).Format.DPI, 123);
        // Nothing of them is written back.
        TMemoryStream saved;
        street->SaveToStream(saved);
        EXPECT_EQ(saved.Bytes(), StreetWithSheet(f.Bytes().Tag("PLDFSTOP")));
    }
}

TEST_F(PlanSheet, BrokenMetafileFailsTheLoad) {
    ByteBuilder emf = Emf();
    std::vector<uint8_t> bytes = emf.Data();
    bytes[48] = 0xFF; // total size beyond the stream
    bytes[49] = 0xFF;
    ByteBuilder tooLong;
    tooLong.Raw(bytes.data(), bytes.size());
    ByteBuilder noPicture;
    noPicture.Bytes("not a picture at all, just text");
    for (const ByteBuilder &picture : {tooLong, noPicture}) {
        ByteBuilder tail;
        tail.Tag("PLDFSTMP").Append(picture).Append(Fields{}.Bytes()).Tag("PLDFSTOP");
        EXPECT_THROW(Load(StreetWithSheet(tail)), EStreetError);
    }
}

// ---- Stamps

Cp1251String StampName(const TPlanDefineItem &s, TStampCorner c) {
    return s.Stamp(c) ? s.Stamp(c)->Name() : Cp1251String("-");
}

TEST_F(PlanSheet, StampsAreReadIntoTheirCorners) {
    struct Case {
        const char *Name;
        std::vector<std::pair<const char *, const char *>> Stamps; // tag, street name
        std::array<const char *, 4> Want;                          // TL, TR, BL, BR
    };
    const Case cases[] = {
        {"old single stamp", {{"PLDFSTP2", "old"}}, {"-", "old", "-", "-"}},
        // The old stamp and a top-right one: the later wins, the earlier is freed.
        {"old and top-right", {{"PLDFSTP2", "old"}, {"PLDFSTTR", "tr"}}, {"-", "tr", "-", "-"}},
        {"every corner",
         {{"PLDFSTTL", "tl"}, {"PLDFSTTR", "tr"}, {"PLDFSTBL", "bl"}, {"PLDFSTBR", "br"}},
         {"tl", "tr", "bl", "br"}},
        {"bottom-right only", {{"PLDFSTBR", "br"}}, {"-", "-", "-", "br"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        for (bool endTag : {true, false}) {
            ByteBuilder tail = Fields{}.Bytes();
            for (const auto &[tag, name] : c.Stamps)
                tail.Tag(tag).Append(NamedStreet(name));
            if (endTag)
                tail.Tag("PLDFSTOP");
            // A second sheet follows, so that the stamp's end is found before the next record.
            sptest::StreetFile f = sptest::StreetFile::Canonical();
            f.Points = {{1, 10, 20}, {2, 11, 20}};
            sptest::ItemRec first = sptest::Rec("PLANDEF", 7, {1, 2}),
                            second = sptest::Rec("PLANDEF", 8, {1, 2});
            first.Extra = tail;
            Fields f2;
            f2.DPI = 77;
            second.Extra = f2.Bytes().Tag("PLDFSTOP");
            f.Lists.emplace_back("PLANDEF", std::vector<sptest::ItemRec>{first, second});
            auto street = Load(f.Bytes());
            const TPlanDefineItem &s = SheetOf(*street);
            const TStampCorner corners[] = {TStampCorner::TopLeft, TStampCorner::TopRight,
                                            TStampCorner::BotLeft, TStampCorner::BotRight};
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(StampName(s, corners[i]), Cp1251String(c.Want[std::size_t(i)])) << i;
            EXPECT_EQ(dynamic_cast<TPlanDefineItem &>(*street->Lists(PlanDefineTypeCode).Items(1)).Format.DPI,
                      77);
        }
    }
}

TEST_F(PlanSheet, StampsSurviveASaveAndKillingOneMarksTheSheetChanged) {
    TStreetStructure street;
    TPlanDefineItem &s = AddSheet(street, {5, 5, 0}, 1);
    s.EnsureStamp(TStampCorner::TopLeft).SetName(Cp1251String("left"));
    TStreetStructure &inner = s.EnsureStamp(TStampCorner::BotRight);
    inner.SetName(Cp1251String("right"));
    AddSheet(inner, {0, 0, 0}, 0).EnsureStamp(TStampCorner::TopRight).SetName(Cp1251String("nested"));
    // A stamp of many items: its records' tags are no end of it.
    for (int i = 0; i < 12; ++i)
        AddSheet(inner, {float(i), 0, 0}, 0);
    TMemoryStream saved;
    street.SaveToStream(saved);
    auto back = Load(saved.Bytes());
    TPlanDefineItem &b = SheetOf(*back);
    EXPECT_EQ(StampName(b, TStampCorner::TopLeft), Cp1251String("left"));
    EXPECT_EQ(StampName(b, TStampCorner::TopRight), Cp1251String("-"));
    EXPECT_EQ(StampName(b, TStampCorner::BotRight), Cp1251String("right"));
    EXPECT_EQ(StampName(SheetOf(*b.Stamp(TStampCorner::BotRight)), TStampCorner::TopRight),
              Cp1251String("nested"));
    EXPECT_EQ(b.Stamp(TStampCorner::BotRight)->Lists(PlanDefineTypeCode).Count(), 13);

    b.Points.SetChanged(false);
    b.KillStampTopLeft();
    EXPECT_EQ(b.Stamp(TStampCorner::TopLeft), nullptr);
    EXPECT_TRUE(b.Points.Changed());
}

TEST_F(PlanSheet, BrokenStampFailsTheLoadWithTheStreetReadersComplaint) {
    ByteBuilder stamp = NamedStreet("stamp");
    std::vector<uint8_t> cut(stamp.Data().begin(), stamp.Data().end() - 5);
    ByteBuilder tail = Fields{}.Bytes();
    tail.Tag("PLDFSTTL").Raw(cut.data(), cut.size()).Tag("PLDFSTOP");
    try {
        Load(StreetWithSheet(tail));
        FAIL() << "no error";
    } catch (const EStreetError &e) {
        EXPECT_NE(std::string(e.what()).find("TPlanDefineItem.LoadFromStream"), std::string::npos)
            << e.what();
    }
}

TEST_F(PlanSheet, StampPlacementFollowsTheCornerAndTheRotationSetting) {
    struct Case {
        TStampCorner Corner;
        bool Rotation;
        double AnchorX, AnchorY; // mm from the paper's bottom-left corner (210 x 297, margins 20 10 10 20)
        double Turn;             // counter-clockwise, radians
    };
    const double q = std::numbers::pi / 2, h = std::numbers::pi;
    const Case cases[] = {
        {TStampCorner::TopLeft, false, 20, 287, q}, {TStampCorner::TopRight, false, 200, 287, q},
        {TStampCorner::BotLeft, false, 20, 20, q},  {TStampCorner::BotRight, false, 200, 20, q},
        {TStampCorner::TopLeft, true, 20, 20, h},   {TStampCorner::TopRight, true, 20, 287, h},
        {TStampCorner::BotLeft, true, 200, 20, h},  {TStampCorner::BotRight, true, 200, 287, h},
    };
    const TXYZ p0{300, -120, 0};
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.Corner) + 10 * c.Rotation);
        TStreetStructure street;
        TPlanDefineItem &s = AddSheet(street, p0, 0.6);
        // The direction as the sheet's single-precision vertices give it.
        const double angle = s.GetAngle();
        s.Format.StampRotation = c.Rotation;
        TMatrixShell m;
        s.PlaceStamp(c.Corner, m);
        // A stamp point in mm: turned, moved to the anchor, to metres at 1:500, turned with the sheet.
        for (const auto &[x, y] : {std::pair{0.0, 0.0}, {12.0, 0.0}, {3.0, -8.0}}) {
            const double tx = x * std::cos(c.Turn) - y * std::sin(c.Turn) + c.AnchorX;
            const double ty = x * std::sin(c.Turn) + y * std::cos(c.Turn) + c.AnchorY;
            const double u = tx * 0.001 / 0.002, v = ty * 0.001 / 0.002;
            TXYZ p{float(x), float(y), 0};
            m.TransformPoint(p);
            EXPECT_NEAR(p.x, p0.x + u * std::cos(angle) - v * std::sin(angle), 1e-3) << x << "," << y;
            EXPECT_NEAR(p.y, p0.y + u * std::sin(angle) + v * std::cos(angle), 1e-3) << x << "," << y;
        }
    }
}

// ---- Caption

TEST_F(PlanSheet, CaptionNamesTheIdOrThePicketsAlongTheAxis) {
    for (const auto &[id, want] : {std::pair{7, "План 007"}, {1234, "План 1234"}, {45, "План 045"}}) {
        auto street = Load(StreetWithSheet(Fields{}.Bytes(), id));
        EXPECT_EQ(SheetOf(*street).GetCaption(), Cp(want));
    }

    TStreetStructure street;
    TAbstractItem *axis = street.Lists(AxisTypeCode).AddNew();
    axis->Points.InsertNewPoint(0, {0, 0, 0});
    axis->Points.InsertNewPoint(1, {1000, 0, 0});
    // At 1:500 the printable area runs 10 to 100 m along the sheet's width: 113 to 203 m along the axis.
    TPlanDefineItem &s = AddSheet(street, {103, -50, 0}, 0);
    s.SetReferAxis(axis);
    EXPECT_EQ(s.GetCaption().Bytes().substr(0, 5), Cp("План ").Bytes()) << "no axis query yet";
    SetAxisPicketStepQuery([](TAbstractItem &a, float &step) {
        step = 10;
        return a.GetTypeCode() == AxisTypeCode;
    });
    EXPECT_EQ(s.GetCaption(), Cp("План ПК012-020"));
    SetAxisPicketStepQuery({});
}

// ---- Format file

TEST_F(PlanSheet, FormatFileHoldsTheSheetFieldsOnly) {
    TStreetStructure street;
    TPlanDefineItem &s = AddSheet(street, {0, 0, 0}, 0);
    s.Format.LayerSet = TItemTypeSet{4};
    s.Format.DPI = 144;
    s.Format.StampRotation = true;
    s.EnsureStampTopLeft();
    TMemoryStream m;
    s.SaveFormat(m);
    Fields f;
    f.DPI = 144;
    f.Names = W1251("Газон;");
    f.Land = 1;
    EXPECT_EQ(m.Bytes(), f.Bytes().Data());

    sptest::TempDir dir;
    const std::string file = dir.File("sheet.qk_format");
    s.SaveFormatFile(file);
    EXPECT_EQ(sptest::ReadFileBytes(file), f.Bytes().Data());
    TPlanDefineItem other;
    other.LoadFormatFile(file);
    EXPECT_EQ(other.Format, s.Format);
}

TEST_F(PlanSheet, FormatReadingProbesEachFieldAndRefusesWhatIsNotAFormat) {
    TPlanDefineItem s;
    s.Format.SheetWidth = 500;
    s.Format.StampRotation = true;
    // Only the scale and the paper height: the rest stays.
    ByteBuilder partial;
    partial.Tag("PLDFSCAL").F64(0.004).Tag("PLDFFMTH").I32(400);
    TMemoryStream m(partial.Data());
    s.LoadFormat(m);
    EXPECT_EQ(s.Format.Scale, 0.004);
    EXPECT_EQ(s.Format.SheetHeight, 400);
    EXPECT_EQ(s.Format.SheetWidth, 500);
    EXPECT_TRUE(s.Format.StampRotation);

    sptest::TempDir dir;
    const TPlanSheetFormat before = s.Format;
    struct Case {
        const char *Name;
        std::vector<uint8_t> Bytes;
    };
    ByteBuilder trailing = Fields{}.Bytes();
    trailing.Tag("PLDFSTOP");
    ByteBuilder cut;
    cut.Tag("PLDFSCAL").F64(0.004).Tag("PLDFDPI").U16(3);
    ByteBuilder hugeNames;
    hugeNames.Tag("PLDFSCAL").F64(0.004).Tag("PLDFDS_2").I32(0x7FFFFFF0);
    for (const Case &c :
         {Case{"something after the fields", trailing.Data()}, Case{"a field cut short", cut.Data()},
          Case{"a string longer than the file", hugeNames.Data()},
          Case{"a street file", StreetWithSheet(Fields{}.Bytes())}}) {
        SCOPED_TRACE(c.Name);
        const std::string file = dir.File("bad.qk_format");
        sptest::WriteFileBytes(file, c.Bytes);
        EXPECT_THROW(s.LoadFormatFile(file), EStreetError);
        EXPECT_EQ(s.Format, before);
    }
    EXPECT_THROW(s.LoadFormatFile(dir.File("missing.qk_format")), EStreetError);
}

} // namespace
