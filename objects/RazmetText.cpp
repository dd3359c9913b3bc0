#include "objects/RazmetText.h"

#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/RazmetGlyphs.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// How much longer the letters are drawn along the item's direction with the street's ARROWBIG flag.
constexpr float BigStretch = 2.5f;

void InitLabelBatch(TStreetStructure &street, int code) {
    TItemBatchPtr labels = NewItemBatch(TBatchKind::Triangles);
    labels->SetColor(MakeD3DColor(0, 0, 0, 255));
    if (TFontsDataForm *fonts = TFontsDataForm::Instance())
        if (TDxPrimCollection *c = PrimCollection(labels.get()))
            c->SetTexture(fonts->SmallArialTexture(false));
    street.TypeBatches(code) = {labels};
}

// Where the label of an item goes: its batch and font, turned by Angle - pi/2 so that it reads across
// the glyphs; Flipped when that would read upside down against the reference axis (the angle is then
// turned half round).
struct TLabelPlace {
    TDxPrimCollection *Prims = nullptr;
    TFontTexture *Atlas = nullptr;
    TXYZ At;
    double Angle = 0;
    bool Flipped = false;

    explicit TLabelPlace(TOrientPointItem &item) {
        TStreetStructure *street = item.Street();
        if (!street || item.Points.Count() < 1)
            return;
        TFontsDataForm *fonts = TFontsDataForm::Instance();
        Atlas = fonts ? fonts->SmallArialTexture() : nullptr;
        if (!Atlas || Atlas->AtlasSize() <= 0)
            return;
        Prims = TypePrimCollection(*street, item.GetTypeCode(), 0);
        if (!Prims)
            return;
        // The fonts object may have come after the batches were made.
        if (Prims->Texture() != Atlas)
            Prims->SetTexture(Atlas);
        Prims->SetLayerMask(PlanLayerMask);
        At = item.Points.GetPoint(0);
        Angle = item.GetAngle();
        if (TAbstractItem *axis = item.GetReferAxis(); axis && axis->Points.Count() >= 2) {
            const double along = axis->Points.DirectionAtParam(axis->Points.ParamOfPoint(At));
            if (std::sin(Angle - along) < 0) {
                Flipped = true;
                Angle += std::numbers::pi;
            }
        }
    }
    bool Enabled() const { return Prims != nullptr; }

    // Starts the label's transform: at the point, turned, moved by (dx, dy) in metres along the label,
    // scaled to metres.
    TMatrixShell &Begin(float dx, float dy) {
        TMatrixShell &m = Prims->Transform();
        m.PushMatrix();
        m.Translate(false, At.x, At.y, At.z);
        m.RotateZ(false, static_cast<float>(-(Angle - std::numbers::pi / 2)));
        m.Translate(false, dx, dy, 0);
        m.Scale(false, 0.09f, 0.09f, 0.09f);
        return m;
    }
    void Add(const Cp1251String &text, TDxOwnerKey owner) {
        Atlas->TextQuads(text, quads_);
        if (!quads_.empty())
            Prims->AddPrimitives(owner, quads_, quads_.size() / 3);
    }
    void End() { Prims->Transform().PopMatrix(); }

private:
    std::vector<TDxVertex> quads_;
};

bool OutsideView(const TXYZ &at, double reach, const TDxDrawParams &params) {
    const double dx = double(at.x) - params.ViewCenter.x, dy = double(at.y) - params.ViewCenter.y;
    return !(std::sqrt(dx * dx + dy * dy) - reach <= params.ViewRadius);
}

void DrawGlyph(TdxRenderer &r, const TRazmetGlyph &glyph) {
    if (!glyph.Vertices.empty())
        r.DrawTriangleListV(glyph.Vertices);
}

} // namespace

// ---- Road text

void TRazmetTextItem::ClassInitDrawBatches(TStreetStructure &street) {
    InitLabelBatch(street, RazmetTextTypeCode);
}

void TRazmetTextItem::LoadFromStream(TStream &stream) {
    TOrientPointItem::LoadFromStream(stream);
    Cp1251String text;
    if (CheckStreamTag(stream, "TEXTTEXT"))
        text = ReadStreamString(stream, "TRazmetTextItem.LoadFromStream");
    Text_ = std::move(text);
}

void TRazmetTextItem::SaveToStream(TStream &stream) const {
    TOrientPointItem::SaveToStream(stream);
    WriteStreamTag(stream, "TEXTTEXT");
    WriteStreamString(stream, Text_);
}

void TRazmetTextItem::SetText(const Cp1251String &text) {
    Text_ = text;
    Points.SetChanged(true);
}

Cp1251String TRazmetTextItem::GetGostNumber() const {
    return Cp1251String(Text_ == Cp("СТОП") ? "1.21" : "1.22");
}

std::optional<double> TRazmetTextItem::GetPaintArea() const {
    const TRazmetFont &font = LoadRazmetFont();
    if (!RazmetFontProblem().Empty())
        return std::nullopt;
    double area = 0;
    for (std::size_t i = 0; i < Text_.Size(); ++i) {
        const TRazmetGlyph &g = font[Text_[i]];
        if (!g.Known)
            return std::nullopt;
        area += g.Area;
    }
    return area;
}

double TRazmetTextItem::TextLength() const {
    const TRazmetFont &font = LoadRazmetFont();
    double length = 0;
    for (std::size_t i = 0; i < Text_.Size(); ++i)
        length += font[Text_[i]].Width;
    return length;
}

void TRazmetTextItem::RebuildGraphics() {
    TLabelPlace place(*this);
    if (!place.Enabled())
        return;
    const Cp1251String number = GetGostNumber();
    const float w = float(place.Atlas->TextWidth(number)), h = float(place.Atlas->TextHeight());
    const float half = static_cast<float>(TextLength() / 2);
    TMatrixShell &m = place.Flipped ? place.Begin(-0.1f, -half) : place.Begin(0.1f, half);
    m.Translate(false, place.Flipped ? -w : 0, -h / 2, 0);
    place.Add(number, Serial());
    place.End();
}

void TRazmetTextItem::Draw(const TDxDrawParams &params, uint32_t) {
    TdxRenderer *r = params.Renderer;
    if (!r || Points.Count() < 1)
        return;
    Points.EnsureGeometry();
    const TRazmetFont &font = LoadRazmetFont();
    const float stretch = Street() && Street()->ArrowBig() ? BigStretch : 1.0f;
    double length = 0, reach = 0;
    for (std::size_t i = 0; i < Text_.Size(); ++i) {
        const TRazmetGlyph &g = font[Text_[i]];
        reach = std::max(reach, length + g.Reach * stretch);
        length += std::fabs(g.Width);
    }
    const TXYZ at = Points.GetPoint(0);
    if (OutsideView(at, reach, params))
        return;
    TMatrixShell &world = r->World();
    world.PushMatrix();
    world.Translate(false, at.x, at.y, at.z);
    world.RotateZ(false, -GetAngle());
    if (stretch != 1.0f)
        world.Scale(false, 1, stretch, 1);
    r->SetTexture(nullptr);
    for (std::size_t i = 0; i < Text_.Size(); ++i) {
        const TRazmetGlyph &g = font[Text_[i]];
        DrawGlyph(*r, g);
        world.Translate(false, g.Width, 0, 0);
    }
    world.PopMatrix();
}

// ---- Painted sign

void TRazmetZnakItem::ClassInitDrawBatches(TStreetStructure &street) {
    InitLabelBatch(street, RazmetZnakTypeCode);
}

void TRazmetZnakItem::LoadFromStream(TStream &stream) {
    TOrientPointItem::LoadFromStream(stream);
    Cp1251String name;
    if (CheckStreamTag(stream, "ZNAKNAME"))
        name = ReadStreamString(stream, "TRazmetZnakItem.LoadFromStream");
    SignName_ = std::move(name);
    GlyphsResolved_ = false;
}

void TRazmetZnakItem::SaveToStream(TStream &stream) const {
    TOrientPointItem::SaveToStream(stream);
    WriteStreamTag(stream, "ZNAKNAME");
    WriteStreamString(stream, SignName_);
}

void TRazmetZnakItem::SetSignName(const Cp1251String &name) {
    SignName_ = name;
    GlyphsResolved_ = false;
    Points.SetChanged(true);
}

Cp1251String TRazmetZnakItem::GetGostNumber() const {
    const char *number = "????";
    switch (SignName_.Empty() ? 0 : SignName_[0]) {
    case '1':
        number = "1.24.1";
        break;
    case '3':
        number = "1.24.2";
        break;
    case '8':
        number = "1.24.3";
        break;
    case '5':
        number = "1.24.4(*)";
        break;
    default:
        break;
    }
    return Cp1251String(number);
}

void TRazmetZnakItem::ResolveGlyphs() const {
    const TRazmetZnakTable &table = LoadRazmetZnakGlyphs();
    if (GlyphsResolved_ && ResolvedGeneration_ == RazmetZnakGeneration())
        return;
    FrameGlyph_ = SignGlyph_ = -1;
    if (!SignName_.Empty()) {
        const Cp1251String frame = SignName_.Sub(0, 1) + Cp1251String(".*");
        for (std::size_t i = 0; i < table.Entries.size(); ++i) {
            if (table.Entries[i].Name == SignName_)
                SignGlyph_ = static_cast<int32_t>(i);
            if (table.Entries[i].Name == frame)
                FrameGlyph_ = static_cast<int32_t>(i);
        }
    }
    GlyphsResolved_ = true;
    ResolvedGeneration_ = RazmetZnakGeneration();
}

std::optional<double> TRazmetZnakItem::GetPaintArea() const {
    ResolveGlyphs();
    const TRazmetZnakTable &table = LoadRazmetZnakGlyphs();
    if (!RazmetZnakProblem().Empty() || SignGlyph_ < 0)
        return std::nullopt;
    double area = 0;
    for (const int32_t index : {FrameGlyph_, SignGlyph_}) {
        if (index < 0)
            continue;
        const TRazmetGlyph &g = table.Entries[std::size_t(index)].Glyph;
        if (!g.Known)
            return std::nullopt;
        area += g.Area / 1e6;
    }
    if (SignName_[0] == '5')
        area *= 0.3125 * 0.3125;
    return area;
}

void TRazmetZnakItem::RebuildGraphics() {
    TLabelPlace place(*this);
    if (!place.Enabled())
        return;
    const Cp1251String number = GetGostNumber();
    const Cp1251String name = Cp1251String("(") + SignName_ + Cp1251String(")");
    const float w = float(std::max(place.Atlas->TextWidth(number), place.Atlas->TextWidth(name)));
    const float h = float(place.Atlas->TextHeight());
    TMatrixShell &m = place.Begin(place.Flipped ? -0.1f : 0.1f, 0);
    if (place.Flipped)
        m.Translate(false, -w, 0, 0);
    place.Add(number, Serial());
    m.Translate(false, 0, -h, 0);
    place.Add(name, Serial());
    place.End();
}

void TRazmetZnakItem::Draw(const TDxDrawParams &params, uint32_t) {
    TdxRenderer *r = params.Renderer;
    if (!r || Points.Count() < 1)
        return;
    Points.EnsureGeometry();
    ResolveGlyphs();
    const TRazmetZnakTable &table = LoadRazmetZnakGlyphs();
    static const TRazmetGlyph fallback = MakeDefaultZnakGlyph();
    const TRazmetGlyph *glyphs[2] = {nullptr, nullptr};
    if (FrameGlyph_ >= 0)
        glyphs[0] = &table.Entries[std::size_t(FrameGlyph_)].Glyph;
    if (SignGlyph_ >= 0)
        glyphs[1] = &table.Entries[std::size_t(SignGlyph_)].Glyph;
    if (!glyphs[0] && !glyphs[1])
        glyphs[1] = &fallback;
    double reach = 3200;
    for (const TRazmetGlyph *g : glyphs)
        if (g)
            reach = std::max(reach, double(g->Reach));
    const TXYZ at = Points.GetPoint(0);
    if (OutsideView(at, reach * 0.001, params))
        return;
    TMatrixShell &world = r->World();
    world.PushMatrix();
    world.Translate(false, at.x, at.y, at.z);
    world.RotateZ(false, -GetAngle());
    world.Scale(false, 0.001f, 0.001f, 0.001f);
    r->SetTexture(nullptr);
    for (const TRazmetGlyph *g : glyphs)
        if (g)
            DrawGlyph(*r, *g);
    world.PopMatrix();
}

void RegisterRazmetTextItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRazmetTextItem>>(RazmetTextTypeCode));
}

void RegisterRazmetZnakItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRazmetZnakItem>>(RazmetZnakTypeCode));
}
