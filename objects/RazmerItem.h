#pragma once
// Chained dimension lines: vertices 0 and 1 fix a base line and every further vertex is a measured point;
// the distances between the feet of consecutive measured points are drawn as segments with arrows and
// their values. A dimension may follow another item's line (its contour) at the lateral offset of vertex
// 0, measuring along that line. Values are rounded to the street's step, or replaced by custom texts; the
// street's dimension scale sizes arrows and texts and its dimension colour draws them.
#include "engine/DxVertex.h"
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"

#include <vector>

class TItemTypeSet;

// One dimension segment as drawn.
struct TRazmerSegment {
    TXYZ A{}, B{}, M{};
    // The measured length (to 0.05) and the text shown.
    double Length = 0;
    Cp1251String Text;
    // Directions (radians, counter-clockwise from +x) in which each arrow's body runs from its tip.
    double ArrowA = 0, ArrowB = 0;
    // The direction the text runs in, and how far it is moved that way from M (before it is centred).
    double TextAngle = 0, TextShift = 0;
};

// What a dimension draws: its main line (which is also what picks it), extension lines and segments.
struct TRazmerLayout {
    TXYZArray HitPath;
    std::vector<TXYZ> Extensions; // pairs: measured point, its foot
    std::vector<TRazmerSegment> Segments;
};

class TRazmerItem : public TAbstractItem {
public:
    // The arrow: a triangle from its tip at the origin, 1 long and 0.4 wide at its base (times the scale).
    static constexpr float ArrowLength = 1.0f, ArrowHalfWidth = 0.2f;
    // A crossing this close to a measured point already there is not added by automatic dimensioning.
    static constexpr float AutoPointTolerance = 0.1f;

    static int ClassMinPointCount() { return 2; }
    static bool ClassHasControlPoints() { return true; }
    // Entry 0 lines, entry 1 arrow triangles, both (5, 5, 5); entry 2 the text triangles on the atlas.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return RazmerTypeCode; }

    // After the record head: "EXTCONTR" and a one-slot reference block, "NO_TEXTS" (byte), "CustTxts" (the
    // custom texts as one text, lines ending in CR LF); each optional on reading. "EXTCONTR" and
    // "NO_TEXTS" are always written, "CustTxts" only with the custom-text flag set.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The layout into the batches; with the custom-text flag clear, the computed texts become the custom
    // texts (so that setting the flag starts from what was shown).
    void RebuildGraphics() override;
    // The smallest lateral distance to a segment of the main line whose foot lies strictly inside it.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    bool GetHitBounds(TItemBounds &box) override;

    // The contour dimension when the contour holds an item and there are 4 or more vertices, else the
    // straight one. A base of no length, or a contour of fewer than 2 dense points, gives only the base
    // line. Texts: with the custom-text flag the custom text of each segment (empty beyond the list),
    // else the rounded value.
    TRazmerLayout Layout();

    // Leaves P0 and P1 and inserts, at index 2, a vertex at every crossing of the base segment with the
    // dense lines of the street's items of the types (type by type, in list order), except where a
    // measured point lies within 0.1 already. "TRazmerItem.MakeAutoDimention: Points.Count<2" with fewer
    // than 2 vertices.
    void MakeAutoDimention(const TItemTypeSet &types);

    TAbstractItem *Contour() const { return ContourRef.Items(0); }
    void SetContour(TAbstractItem *item);
    uint8_t NoTexts() const { return NoTexts_; }
    void SetNoTexts(uint8_t flag);
    const std::vector<Cp1251String> &CustomTexts() const { return CustomTexts_; }
    void SetCustomTexts(std::vector<Cp1251String> texts);

    // The item whose line a contour dimension follows ("EXTCONTR").
    TConnectedItems ContourRef{true, 1};

protected:
    void Created() override;

private:
    void StraightLayout(TRazmerLayout &out);
    void ContourLayout(TAbstractItem &contour, TRazmerLayout &out);
    // Arrows, text and its move of a segment i of n with the length d.
    void FinishSegment(TRazmerSegment &seg, std::size_t i, std::size_t n, double scale);

    std::vector<Cp1251String> CustomTexts_;
    uint8_t NoTexts_ = 0;
};

// The text of a dimension value: d rounded to a multiple of the step (d itself for a step that is not a
// number above 0), in the shortest form of at most 15 significant digits with "." ("3", "0.5", "0.15").
Cp1251String RazmerValueText(double d, double step);
// Sorts ascending in place: for each position the first smallest of the rest is swapped in.
void SortSingles(std::vector<float> &values);
// The custom texts as stored (each line followed by CR LF) and back (lines split at CR LF, CR or LF).
Cp1251String JoinTextLines(const std::vector<Cp1251String> &lines);
std::vector<Cp1251String> SplitTextLines(const Cp1251String &text);

void RegisterRazmerItem();
