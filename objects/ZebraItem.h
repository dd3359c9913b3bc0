#pragma once
// Pedestrian crossings: a polyline across the road along which stripes 0.4 m wide follow every 1.0 m, each
// as long as the crossing is wide, optionally with yellow patches between them. A crossing wider than 6 m
// is drawn in two halves with a 0.2 m gap and a group of three arrows near each end. The stripe and patch
// areas are kept for the paint quantities.
#include "engine/DxVertex.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <array>
#include <cstdint>
#include <optional>

// The arrow of the wide crossings' groups, x across and y along the arrow (1.2 m long, pointing along +y).
extern const std::array<TXYZ, 7> ZebraArrowGlyph;
// Its triangles: the shaft (two) and the head.
extern const std::array<int, 9> ZebraArrowIndices;

// The directions of a crossing: W along the stripes, S the direction of progress (W turned left), and the
// last vertex of the crossing line. False when a direction has no length.
struct TZebraFrame {
    TXYZ W, S;
    int LastVertex = 0;
};
bool GetZebraFrame(const TPointList &points, TZebraFrame &frame);

class TZebraItem : public TLineItem {
public:
    // Metres; the areas are summed in double from these.
    static constexpr double StripeWidth = 0.4, StripeStep = 1.0, HalfGap = 0.1;
    static constexpr float NewWidth = 6.0f, NarrowLimit = 6.0f;
    static constexpr D3DCOLOR BatchColor = MakeD3DColor(5, 5, 5, 255);
    static constexpr D3DCOLOR StripeColor = MakeD3DColor(0, 0, 0, 255);
    static constexpr D3DCOLOR YellowColor = MakeD3DColor(240, 240, 0, 255);
    // A walk of more steps than this draws the crossing line alone.
    static constexpr int64_t MaxWalkSteps = 100000;

    TZebraItem();

    // One triangle batch.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return ZebraTypeCode; }

    // The line record, then "ZEBRAWID" and "ZEBRABKG", both probed. A width that is not a finite number is
    // an error naming the file and the offset.
    void LoadFromStream(TStream &stream) override;
    // The line record, "ZEBRAWID" always, "ZEBRABKG" only when set.
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;

    // Metres across the road, the length of every stripe.
    float Width = NewWidth;
    // Not 0: yellow patches between the stripes (the byte as stored).
    uint8_t YellowBackground = 0;

    // ---- Derived by the rebuild, square metres
    double WhiteArea = 0;
    double YellowArea = 0;
    // Why the last rebuild could not measure the paint: what the plan shows then is no crossing to sum.
    enum class TPaintDoubt : uint8_t {
        None,
        FewVertices, // under two vertices
        NotFinite,   // a vertex is not a finite number
        NoDirection, // the crossing line or its last side has no length
        StepLimit,   // the walk would take more steps than allowed: the crossing line stands alone
    };
    // Bring the geometry up to date first (nothing is done when it did not change); nothing when the rebuild
    // could not measure the paint (GetPaintDoubt says why).
    std::optional<double> GetWhiteArea();
    // 0 without the yellow background.
    std::optional<double> GetYellowArea();
    TPaintDoubt GetPaintDoubt();

    // The yellow patch width the street asks for: 0.6 m, or 0.4 m with its ZEBRAYOP set.
    double PatchWidth() const;

    void BuildNarrow(const TZebraFrame &frame);
    void BuildWide(const TZebraFrame &frame);

private:
    TPaintDoubt PaintDoubt_ = TPaintDoubt::None;
};

void RegisterZebraItem();
