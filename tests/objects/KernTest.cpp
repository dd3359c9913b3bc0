// Pavement cores: their records written back byte for byte, a record without the layer tags read as
// empty layers, the label set beside the block and turned with the axis through the font hook, and the
// default block when the library has no "Керн".
#include "ObjectsTestUtil.h"

#include "engine/DxDraw.h"
#include "model/ItemLayers.h"
#include "objects/Kern.h"

#include <cmath>

using namespace objtest;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

ItemRec Core(int32_t id, std::vector<int32_t> points, bool layers) {
    ItemRec r = Rec("KERN", id, std::move(points));
    r.Extra.Tag("DSNBNAME").Str(W("Керн")).Tag("DSNBAXIS").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
    if (!layers)
        return r;
    r.Extra.Tag("TXTLABEL").Str(W("К-1")).Tag("MATNAME1").Str(W("асфальтобетон")).Tag("MAT_H1").F32(0.05f);
    r.Extra.Tag("MATNAME2").Str(W("щебень")).Tag("MAT_H2").F32(0.2f);
    r.Extra.Tag("MATNAME3").Str("").Tag("MAT_H3").F32(0);
    return r;
}

// One unit square per character; the text as wide as its characters and 1 high.
TKernLabelFont SquareFont() {
    TKernLabelFont font;
    font.Triangles = [](const Cp1251String &text, std::vector<TDxVertex> &t, float &w, float &h) {
        t.clear();
        for (std::size_t i = 0; i < text.Size(); ++i) {
            const float x = float(i);
            for (const auto &[px, py] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}})
                t.push_back({x + px, float(py), 0, 0, float(px), float(py)});
        }
        w = float(text.Size());
        h = 1;
    };
    return font;
}

class Kern : public TWithClasses {
protected:
    Kern() { SetKernLabelFont(SquareFont()); }
    ~Kern() override { SetKernLabelFont({}); }
    TStreetStructure S_;
};

TEST_F(Kern, RecordsWriteBackAndMissingLayersReadEmpty) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 5, 5}, {2, 8, 5}};
    f.Lists = {{"KERN", {Core(1, {1}, true)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *core = dynamic_cast<TKernItem *>(s->Lists(KernTypeCode).FindById(1));
    ASSERT_TRUE(core);
    EXPECT_EQ(core->KernLabel(), Cp("К-1"));
    EXPECT_EQ(core->MatName2, Cp("щебень"));
    EXPECT_FLOAT_EQ(core->MatH1, 0.05f);

    // Without the layer tags: empty names, thicknesses 0, all written back. Without a vertex: dropped.
    StreetFile bare = f;
    bare.Lists = {{"KERN", {Core(1, {1}, false), Core(2, {}, false)}}};
    auto b = LoadBytes(bare.Bytes());
    ASSERT_EQ(b->Lists(KernTypeCode).Count(), 1);
    auto *plain = dynamic_cast<TKernItem *>(b->Lists(KernTypeCode).Items(0));
    EXPECT_TRUE(plain->KernLabel().Empty() && plain->MatName1.Empty() && plain->MatName3.Empty());
    EXPECT_EQ(plain->MatH2, 0.0f);
    ItemRec written = Core(1, {1}, false);
    written.Extra.Tag("TXTLABEL").Str("").Tag("MATNAME1").Str("").Tag("MAT_H1").F32(0);
    written.Extra.Tag("MATNAME2").Str("").Tag("MAT_H2").F32(0).Tag("MATNAME3").Str("").Tag("MAT_H3").F32(0);
    StreetFile expected = bare;
    expected.Lists = {{"KERN", {written}}};
    EXPECT_EQ(SaveBytes(*b), expected.Bytes());
}

TEST_F(Kern, TheLabelStandsBesideTheBlockTurnedWithTheAxis) {
    auto *core = dynamic_cast<TKernItem *>(MakeItem(S_, KernTypeCode, {{10, 20, 0}}));
    ASSERT_TRUE(core);
    EXPECT_EQ(core->BlockName(), Cp("Керн"));
    // No "Керн" in the library: the default block, 1.5 x 3.
    EXPECT_EQ(&core->GetBlockDef(), &DefaultDesignBlock());

    const auto labelPoints = [&] {
        std::vector<TXYZ> points;
        TDxPrimCollection *batch = TypePrimCollection(S_, KernTypeCode, 0);
        for (std::size_t i = 0; batch && i < batch->Count(); ++i)
            if (!batch->Group(i).Deleted && batch->Group(i).Owner == core->Serial())
                for (const TDxVertex &v : batch->Group(i).Vertices)
                    points.push_back({v.x, v.y, v.z});
        return points;
    };
    core->UpdateGraphics();
    EXPECT_TRUE(labelPoints().empty()) << "an empty label shows only the block";

    core->SetLabel(Cp("AB"));
    core->UpdateGraphics();
    std::vector<TXYZ> p = labelPoints();
    ASSERT_EQ(p.size(), 12u);
    // The first character's lower-left corner: ((0 - 0.2 x 2) x 0.08 + 1.5 / 4, (0 - 0.5) x 0.1 + 3 / 3).
    EXPECT_NEAR(p[0].x, 10 + 0.375 - 0.032, 1e-5);
    EXPECT_NEAR(p[0].y, 20 + 1 - 0.05, 1e-5);
    // Along x: one character is 0.08 m wide.
    EXPECT_NEAR(p[1].x - p[0].x, 0.08, 1e-5);

    // Along an axis running up the plan, the text runs up too.
    TAbstractItem *axis = MakeItem(S_, TestAxis, {{0, 0, 0}, {0, 50, 0}});
    core->SetReferAxis(axis);
    core->UpdateGraphics();
    p = labelPoints();
    ASSERT_EQ(p.size(), 12u);
    EXPECT_NEAR(p[1].x - p[0].x, 0, 1e-5);
    EXPECT_NEAR(p[1].y - p[0].y, 0.08, 1e-5);
    EXPECT_NEAR(p[0].x, 10 - (1 - 0.05), 1e-5);
}

} // namespace
