#pragma once
// Road-sign posts: a foot (vertex 0), a direction (vertex 1 to vertex 2) and an anchor (vertex 2) from
// which an ordered list of plates hangs. Each plate is a sign picture (normally shared from the sign
// library), placed at an offset from the anchor in the post's frame, turned, scaled and labelled with its
// sign number.
#include "model/ItemTypeCodes.h"
#include "model/PointItem.h"
#include "objects/SignPicture.h"

#include <memory>
#include <vector>

class TdxRenderer;
class TZnakItem;

class TEmfSubItem {
public:
    // Appends the plate to the post's list and marks the post changed.
    explicit TEmfSubItem(TZnakItem &post);
    ~TEmfSubItem();
    TEmfSubItem(const TEmfSubItem &) = delete;
    TEmfSubItem &operator=(const TEmfSubItem &) = delete;

    TZnakItem &Post() const { return *Post_; }
    const TSignPicture &Picture() const { return Picture_; }
    const TMetafile *Metafile() const { return Picture_.Metafile(); }
    int32_t Width() const { return Picture_.Width(); }
    int32_t Height() const { return Picture_.Height(); }
    int32_t LibIndex() const { return Picture_.Index(); }
    const Cp1251String &LibName() const { return Picture_.LibName(); }
    int32_t &TextureHint() { return TextureHint_; }

    // Loads the file as the plate's picture (a byte-identical library entry takes its place); raises
    // EPlatformError and keeps the old picture when it cannot be read.
    void LoadFromFile(const std::string &fileName);
    // The same with a metafile at hand.
    void SetMetafile(const TMetafile &metafile);
    // The library's picture of that name (an old name is translated); the missing sign when there is none.
    void SetLibraryName(const Cp1251String &name);
    // The post's selected index becomes this plate's; returns it.
    int Select();
    // With a picture of non-zero width, the origin goes back to the anchor.
    void ResetOrigin();
    // The anchor plus the origin turned by the post's heading (z of the anchor).
    TXYZ GetWorldPosition() const;
    // Post heading plus the rotation, in radians; reduced once by 2 pi above 2 pi.
    double GetAbsoluteAngle() const;
    // The text when set; else the number of the library name, else of the file name; else empty.
    Cp1251String GetSignNumber() const;
    Cp1251String GetDescription() const;
    // The area of the sign number in the area table (0 when absent or not a number).
    float GetLibraryArea() const;
    // The custom area when not 0, else the library area.
    float GetArea() const;

    // The fields. Setters of saved fields mark the post changed (and the street modified) when the value
    // changes.
    float Scale() const { return Scale_; }
    void SetScale(float v);
    const Cp1251String &GetText() const { return Text_; }
    void SetText(const Cp1251String &v);
    const TXYZ &Origin() const { return Origin_; }
    void SetOrigin(const TXYZ &v);
    uint8_t Alignment() const { return Alignment_; }
    void SetAlignment(uint8_t v);
    const Cp1251String &FileName() const { return FileName_; }
    void SetFileName(const Cp1251String &v);
    int32_t Rotation() const { return Rotation_; }
    void SetRotation(int32_t v);
    const Cp1251String &ObjectKind() const { return ObjectKind_; }
    void SetObjectKind(const Cp1251String &v);
    const Cp1251String &SignText() const { return SignText_; }
    void SetSignText(const Cp1251String &v);
    int32_t MainId() const { return MainId_; }
    void SetMainId(int32_t v);
    float AnchorHeight() const { return AnchorHeight_; }
    void SetAnchorHeight(float v);
    float CustomArea() const { return CustomArea_; }
    void SetCustomArea(float v);
    const Cp1251String &Status() const { return Status_; }
    void SetStatus(const Cp1251String &v);

    // The scale drawing uses: 0 counts as 1.
    float EffectiveScale() const { return Scale_ == 0 ? 1.0f : Scale_; }
    // The picture's frame on the plan (see TSignLabel): centre and the plan vectors of one picture unit.
    void GetFrame(TXYZ &centre, TXYZ &axisX, TXYZ &axisY) const;
    // The four corners of the picture (top-left, top-right, bottom-right, bottom-left) enlarged on each side
    // by `grow` picture units in x and y.
    void GetCorners(TXYZ corners[4], double growX = 0, double growY = 0) const;
    // Red outline of the picture enlarged by 1/20 of its width and height on each side.
    void DrawFrame(TdxRenderer &renderer) const;

    void LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;

private:
    friend class TZnakItem;
    struct TLoading {};
    TEmfSubItem(TZnakItem &post, TLoading);
    void Changed();

    TZnakItem *Post_;
    TSignPicture Picture_{TSignPicture::Own};
    int32_t TextureHint_ = 0;
    float Scale_ = 1.0f;
    Cp1251String Text_;
    TXYZ Origin_{0, 0, 0};
    uint8_t Alignment_ = 1;
    Cp1251String FileName_;
    int32_t Rotation_ = 0;
    Cp1251String ObjectKind_;
    Cp1251String SignText_;
    int32_t MainId_ = 0;
    float AnchorHeight_ = 0;
    float CustomArea_ = 0;
    Cp1251String Status_;
};

class TZnakItem : public TPointItem {
public:
    TZnakItem();
    ~TZnakItem() override;

    static int ClassMinPointCount() { return 3; }
    static int ClassMaxPointCount() { return 3; }
    // Entry 0 the foot bar (triangles), 1 the post (lines), 2 the label glyphs (triangles).
    static void ClassInitDrawBatches(TStreetStructure &street);
    // Draw shows nothing unless the first or third point lies within the view's radius.
    static constexpr bool ClassDrawsNearHitBounds = true;
    int GetTypeCode() const override { return ZnakTypeCode; }

    int PlateCount() const { return static_cast<int>(Plates_.size()); }
    // nullptr outside 0 .. count - 1.
    TEmfSubItem *GetPlate(int index) const;
    // A new plate at the end of the list.
    TEmfSubItem *AddPlate();
    // Frees the plate at the index (nothing outside the list).
    void DeletePlate(int index);
    // The stored index, or -1 when it lies past the last plate.
    int GetSelectedIndex() const;
    void SetSelectedIndex(int index) { SelectedIndex_ = index; }
    const Cp1251String &SupportKind() const { return SupportKind_; }
    void SetSupportKind(const Cp1251String &v);
    bool NewLayout() const { return NewLayout_; }

    // Heading of vertex 2 from vertex 1 in [0, 2 pi]; 0 with fewer than 3 vertices.
    double GetPostAngle() const;
    // The plate whose world position is nearest (the first of equals); -1 without plates or vertices.
    int NearestPlate(const TXYZ &point) const;

    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void AfterLoad() override;
    void RebuildGraphics() override;
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

private:
    friend class TEmfSubItem;

    std::vector<std::unique_ptr<TEmfSubItem>> Plates_;
    int32_t SelectedIndex_ = 0;
    Cp1251String SupportKind_;
    bool NewLayout_ = false;
    bool Loading_ = false;
};

void RegisterZnakItem();
