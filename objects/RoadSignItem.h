#pragma once
// Sign plates of the second kind: each item is one plate at its vertex 0. Plates hang in columns by
// shared vertices: a plate of two vertices whose vertex 1 is another plate's vertex 0 hangs from it, and
// the whole column takes its direction from the first segment of its topmost plate (the chain root).
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"
#include "objects/SignPicture.h"

#include <vector>

class TRoadSignItem : public TAbstractItem {
public:
    static int ClassMinPointCount() { return 1; }
    static int ClassMaxPointCount() { return 3; }
    static bool ClassHasControlPoints() { return true; }
    // Entry 0 triangles, 1 the polylines, 2 the label glyphs.
    static void ClassInitDrawBatches(TStreetStructure &street);
    // Draw shows nothing unless the first point lies within the view's radius.
    static constexpr bool ClassDrawsNearHitBounds = true;
    int GetTypeCode() const override { return RoadSignTypeCode; }

    const TSignPicture &Picture() const { return Picture_; }
    const TMetafile *Metafile() const { return Picture_.Metafile(); }
    int32_t Width() const { return Picture_.Width(); }
    int32_t Height() const { return Picture_.Height(); }
    int32_t LibIndex() const { return Picture_.Index(); }
    const Cp1251String &LibName() const { return Picture_.LibName(); }
    int32_t &TextureHint() { return TextureHint_; }

    const Cp1251String &FileName() const { return FileName_; }
    float Scale() const { return Scale_; }
    void SetScale(float v);
    // The scale drawing, hit testing and labels use: 0 counts as 1.
    float EffectiveScale() const { return Scale_ == 0 ? 1.0f : Scale_; }
    uint8_t TextAlign() const { return TextAlign_; }
    void SetTextAlign(uint8_t v);
    const Cp1251String &Label() const { return Label_; }
    void SetLabel(const Cp1251String &v);
    int32_t Orientation() const { return Orientation_; }
    void SetOrientation(int32_t v);

    // The picture from a file or from the rest of a stream (its file name without folder is kept); a
    // byte-identical library entry takes its place. Raises (EPlatformError, EStreetError) and keeps the
    // old picture when the bytes are no metafile.
    void LoadFromFile(const std::string &fileName);
    void LoadFromMetafileStream(TStream &stream, const Cp1251String &fileName);
    // The library's picture of that name; the missing sign when there is none.
    void SetLibraryName(const Cp1251String &name);

    // The label when set, else the number of the file name ("?" without one).
    Cp1251String GetSignNumber() const;
    // The plate this one hangs from (see the file comment); nullptr with other than 2 vertices or none.
    TRoadSignItem *GetChainParent() const;
    // The topmost plate above this one; nullptr when it hangs from none. A column that loops back stops at
    // the first plate met again.
    TRoadSignItem *GetChainRoot() const;
    // Every plate hanging below this one, depth first, each once (a loop stops where it closes).
    void CollectChain(std::vector<TRoadSignItem *> &list) const;
    // The direction of the column: the first segment of the root (of this plate without one), +x when
    // that plate has fewer than 2 vertices, in radians.
    double GetChainAngle() const;
    // The picture's frame on the plan (see TSignLabel).
    void GetFrame(TXYZ &centre, TXYZ &axisX, TXYZ &axisY) const;
    // Plan distance within which the picture is hit, beyond the pick distance.
    double HitRadius() const;

    void InitNewItem() override;
    void PointsChanged() override;
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    bool GetHitBounds(TItemBounds &box) override;
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

private:
    void PictureChanged();

    TSignPicture Picture_{0};
    Cp1251String FileName_;
    float Scale_ = 0;
    uint8_t TextAlign_ = 0;
    int32_t TextureHint_ = 0;
    Cp1251String Label_;
    int32_t Orientation_ = 0;
};

void RegisterRoadSignItem();
