#include "objects/KMSignItem.h"

#include "engine/DataFiles.h"
#include "engine/DrawProblems.h"
#include "objects/ItemTextures.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "engine/FontsDataForm.h"
#include "engine/NumText.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>
#include <exception>
#include <memory>

namespace {

const char *const Where = "TKMSignItem.LoadFromStream";

// A plate 4 units wide and 2 high whose middle part (x from -1 to 1) stretches the picture's middle column.
constexpr TDxVertex PlateStrip[8] = {
    {-2, -1, 0, 0, 0, 0},   {-2, 1, 0, 0, 0, 1},   {-1, -1, 0, 0, 0.5f, 0}, {-1, 1, 0, 0, 0.5f, 1},
    {1, -1, 0, 0, 0.5f, 0}, {1, 1, 0, 0, 0.5f, 1}, {2, -1, 0, 0, 1, 0},     {2, 1, 0, 0, 1, 1},
};

struct TPlatePicture {
    std::unique_ptr<TTextureSurface> Texture;
    bool Tried = false;
};

TPlatePicture &Plate() {
    static TPlatePicture plate;
    return plate;
}

} // namespace

// ---- Reading and writing

void TKMSignItem::LoadFromStream(TStream &stream) {
    TPointItem::LoadFromStream(stream);
    int32_t a = 0, b = 0;
    Cp1251String status;
    if (CheckStreamTag(stream, "KMNUMBER")) {
        a = stream.ReadInt32(Where);
        b = stream.ReadInt32(Where);
    }
    if (CheckStreamTag(stream, "KMSTATUS"))
        status = ReadStreamString(stream, Where);
    KmA_ = a;
    KmB_ = b;
    Status_ = std::move(status);
    CachedValue_ = std::numeric_limits<double>::quiet_NaN();
}

void TKMSignItem::SaveToStream(TStream &stream) const {
    TPointItem::SaveToStream(stream);
    WriteStreamTag(stream, "KMNUMBER");
    stream.WriteInt32(KmA_);
    stream.WriteInt32(KmB_);
    if (!Status_.Empty()) {
        WriteStreamTag(stream, "KMSTATUS");
        WriteStreamString(stream, Status_);
    }
}

void TKMSignItem::PointsChanged() {
    CachedValue_ = std::numeric_limits<double>::quiet_NaN();
}

void TKMSignItem::SetKmA(int32_t km) {
    if (km == KmA_)
        return;
    KmA_ = km;
    NotifyModified();
}

void TKMSignItem::SetKmB(int32_t km) {
    if (km == KmB_)
        return;
    KmB_ = km;
    NotifyModified();
}

void TKMSignItem::SetStatus(const Cp1251String &status) {
    if (status == Status_)
        return;
    Status_ = status;
    NotifyModified();
}

double TKMSignItem::CachedValue() const {
    // A vertex shared with another item may have been moved through that item, which does not tell this
    // one: the value holds only while the vertex stands where it was computed.
    if (Points.Count() < 1 || !VectorsEqual(Points.GetPoint(0), CachedAt_))
        return std::numeric_limits<double>::quiet_NaN();
    return CachedValue_;
}

void TKMSignItem::SetCachedValue(double value) {
    CachedValue_ = value;
    CachedAt_ = Points.Count() > 0 ? Points.GetPoint(0) : TXYZ{};
}

// ---- Drawing

int32_t TKMSignItem::ZoomStep(float pixelSize) {
    for (int32_t k : {1, 2, 5, 10, 20, 50, 100})
        if (double(k) * 1000 >= 100 * double(pixelSize))
            return k;
    return 100;
}

bool TKMSignItem::VisibleAtStep(int32_t step) const {
    // A sign with only its second number is thinned by that number.
    const int32_t km = KmA_ > NoKm ? KmA_ : KmB_;
    return km > NoKm && step > 0 && km % step == 0;
}

float TKMSignItem::PlateScale(float pixelSize) const {
    if (TStreetStructure *s = Street(); s && s->GetStrOption(Cp("KMSignScaled")) == Cp("1")) {
        const float scale = s->GetFloatOption(Cp("ZnakScale")) / 100;
        return scale == 0 ? 1.0f : scale;
    }
    return 12 * pixelSize;
}

float TKMSignItem::Direction() const {
    TAbstractItem *axis = GetReferAxis();
    if (!axis || axis == this || Points.Count() < 1)
        return 0;
    float t = 0, along = 0, offset = 0;
    if (!axis->Points.Project(Points.GetPoint(0), t, along, offset))
        return 0;
    return axis->Points.DirectionAtParam(t);
}

TTextureSurface *TKMSignItem::PlateTexture() {
    TPlatePicture &plate = Plate();
    if (plate.Tried)
        return plate.Texture.get();
    plate.Tried = true;
    plate.Texture = LoadDataTexture(Cp("Знаки\\KM.bmp"), "KM.bmp", "the kilometre plate");
    if (plate.Texture)
        plate.Texture->AddressU = plate.Texture->AddressV = 1;
    return plate.Texture.get();
}

void TKMSignItem::ResetPlateTexture() {
    Plate() = TPlatePicture();
}

void TKMSignItem::Draw(const TDxDrawParams &params, uint32_t) {
    if (!params.Renderer)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 1)
        return;
    TdxRenderer &r = *params.Renderer;
    const float ps = r.PixelSize();
    if (!VisibleAtStep(ZoomStep(ps)))
        return;
    const TXYZ at = Points.GetPoint(0);
    const double dx = double(at.x) - params.ViewCenter.x, dy = double(at.y) - params.ViewCenter.y;
    if (!(std::sqrt(dx * dx + dy * dy) <= params.ViewRadius))
        return;
    const float scale = PlateScale(ps);
    const float dir = Direction();
    TTextureSurface *texture = PlateTexture();
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TDxFont *font = fonts ? fonts->GetDxFont("Road", 0) : nullptr;

    TMatrixShell &world = r.World();
    world.PushMatrix();
    world.Translate(false, at.x, at.y, at.z);
    world.RotateZ(false, -dir);
    world.Scale(false, scale, scale, scale);
    const std::pair<float, int32_t> plates[] = {{-2.1f, KmA_}, {2.1f, KmB_}};
    for (const auto &[x, km] : plates) {
        if (km <= NoKm)
            continue;
        world.PushMatrix();
        world.Translate(false, x, 0, 0);
        r.SetTexture(texture);
        r.DrawTriangleStripV(PlateStrip);
        r.SetTexture(nullptr);
        if (font) {
            world.Scale(false, 0.01f, 0.01f, 0.01f);
            font->DrawText(params, Cp1251String(IntToStr(km)), 4, MakeD3DColor(255, 255, 255, 255), true,
                           true);
        }
        world.PopMatrix();
    }
    world.PopMatrix();
}

void RegisterKMSignItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TKMSignItem>>(KMSignTypeCode));
}
