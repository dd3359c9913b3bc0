#pragma once
// Traffic islands: a closed outline painted as a hatch of 0.4 m stripes by one of five schemes, or, for
// islands of older files, from the island's nose vertex. The hatch is worked out from the vertices at every
// rebuild and kept with the painted area and the outline length, which the paint quantities read. An
// island whose scheme yields no stripe is filled plainly.
#include "engine/DxVertex.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

class TDxPrimCollection;

// The scheme captions, indexed by the scheme number.
extern const std::array<Cp1251String, 5> OstrovokGostNames;

class TOstrovokItem : public TPolygonItem {
public:
    static constexpr D3DCOLOR BatchColor = MakeD3DColor(5, 5, 5, 255);
    static constexpr D3DCOLOR NoseHatchColor = MakeD3DColor(0, 0, 0, 255);
    static constexpr uint8_t GostVariantCount = 5;
    // A comb hatch of more stations than this is not drawn (the island is filled plainly).
    static constexpr int64_t MaxHatchSteps = 100000;

    TOstrovokItem();

    // [0] triangles (fill, stripes, outline band), [1] lines (stripe edges, outline).
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return OstrovokTypeCode; }

    // The polygon record, then "OSTRMNPT", "OSTRGOST", "OSTRGSCH" (only when not 0) and "OSTRNOTL". A
    // missing tag keeps the field, except that a missing "OSTRGSCH" means the nose hatch. A scheme number
    // outside 0..4 is an error naming the file and the offset.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;

    // The hatch by the scheme (or from the nose), or the plain fill when it yields no stripe.
    void RebuildGraphics() override;
    // Hit, at distance 0, inside a stripe or a fill triangle only; the bare outline is not hit.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    THitRank PickRank(const TXYZ &point, double maxDistance) override;
    // The outline's box widened by the stripes' (stripes of the edge schemes reach past the outline).
    bool GetHitBounds(TItemBounds &box) override;

    // ---- Fields
    // The nose vertex as stored (0 in new islands). Drawing uses EffectiveMainPoint and writes nothing back.
    int32_t MainPoint = 0;
    uint8_t GostVariant() const { return GostVariant_; }
    // Takes a scheme 0..4 and switches the island to the scheme builders for good; False (nothing changes)
    // for any other number. The caller marks the points changed for the hatch to be rebuilt.
    bool SetGostVariant(int variant);
    // Not 0: the scheme builders; 0: the hatch from the nose vertex (the byte as stored).
    uint8_t StandardScheme = 1;
    // Not 0: the outline is not drawn (the byte as stored).
    uint8_t NoOutline = 0;

    // The nose vertex used for drawing: MainPoint moved into 1..n-2 (1 when there are too few vertices).
    int EffectiveMainPoint() const;

    // ---- Derived by the rebuild
    // Painted area of the stripes and the fill triangles, square metres.
    double FillArea = 0;
    // Length of the drawn outline, metres.
    double OutlineLength = 0;
    // Four points per stripe (ring order p0, p1, p3, p2).
    TXYZArray HatchQuads;
    // Three points per triangle.
    TXYZArray FillTriangles;

    // Why the last rebuild could not measure the paint: the hatch drawn (or the plain fill standing in for
    // it) is not what the scheme paints, so its area is no quantity to sum.
    enum class TPaintDoubt : uint8_t {
        None,
        FewVertices,     // under three vertices: no outline
        NotFinite,       // a vertex or a figure is not a finite number
        DegenerateFrame, // an axis of no length, a side across the axis, a template along its baseline
        StepLimit,       // the comb would take more stations than allowed
        NoNoseHatch,     // the nose hatch has no stripes for the scheme
        IncompleteFill,  // the plain fill covers only part of a crossing outline
    };
    // Brings the hatch up to date; the stripes and fill plus the outline as a line 0.1 m wide, or nothing
    // when the rebuild could not measure it (GetPaintDoubt says why).
    std::optional<double> GetPaintArea();
    // Brings the hatch up to date; None when the paint area is known.
    TPaintDoubt GetPaintDoubt();

    // ---- Builders (public for the paint figures' tests)
    void BuildStandardHatch();
    void BuildCombHatch();
    void BuildEdgeStripes();
    void BuildMainPointHatch();
    void AddOutline(std::span<const TXYZ> points, int from, int to);
    void AddHatchQuads(std::span<const TXYZ> quads);
    void AddFillTriangles(std::span<const TXYZ> triangles);

private:
    TDxPrimCollection *Batch(std::size_t i) const;
    void SetBatchColors(D3DCOLOR color) const;

    uint8_t GostVariant_ = 0;
    TPaintDoubt PaintDoubt_ = TPaintDoubt::None;
    // The first doubt found by a rebuild stays.
    void Doubt(TPaintDoubt why) {
        if (PaintDoubt_ == TPaintDoubt::None)
            PaintDoubt_ = why;
    }
};

void RegisterOstrovokItem();
