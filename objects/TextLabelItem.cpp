#include "objects/TextLabelItem.h"

#include "engine/DxDraw.h"
#include "engine/DxFont.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/KolodItem.h"

#include <array>
#include <cmath>

namespace {

const Cp1251String &DefaultFontName() {
    static const Cp1251String name("Arial");
    return name;
}

// The frame's corners about the anchor, turned with the direction and moved to the anchor.
std::array<TXYZ, 4> PlacedCorners(const TTextFrame &f, const TXYZ &at, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double xy[4][2] = {{f.X0, f.Y0}, {f.X1, f.Y0}, {f.X1, f.Y1}, {f.X0, f.Y1}};
    std::array<TXYZ, 4> out;
    for (int i = 0; i < 4; ++i)
        out[std::size_t(i)] = {float(at.x + xy[i][0] * c - xy[i][1] * s), float(at.y + xy[i][0] * s + xy[i][1] * c),
                               at.z};
    return out;
}

} // namespace

TTextLabelItem::TTextLabelItem() : Text_(Cp("Надпись")), FontName_(DefaultFontName()) {}

void TTextLabelItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr triangles = NewItemBatch(TBatchKind::Triangles);
    triangles->SetColor(MakeD3DColor(1, 1, 1, 255));
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(1, 1, 1, 255));
    street.TypeBatches(TextLabelTypeCode) = {triangles, lines};
}

// ---- Reading and writing

void TTextLabelItem::LoadFromStream(TStream &stream) {
    const char *what = "TTextLabelItem.LoadFromStream";
    TOrientPointItem::LoadFromStream(stream);
    TTextLabelItem d; // the defaults
    if (CheckStreamTag(stream, "TXTLTEXT"))
        d.Text_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "TXTLSIZE"))
        d.Size_ = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "TXTLCOLR"))
        d.Color_ = static_cast<D3DCOLOR>(stream.ReadInt32(what));
    if (CheckStreamTag(stream, "TXTLFONT"))
        d.FontName_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "TXTLSTYL"))
        d.Style_ = stream.ReadByte(what);
    if (CheckStreamTag(stream, "TXTLALGN"))
        d.Align_ = EffectiveTextAlign(stream.ReadByte(what));
    if (CheckStreamTag(stream, "TXTLOUTL"))
        d.Outline_ = stream.ReadByte(what);
    Text_ = std::move(d.Text_);
    Size_ = d.Size_;
    Color_ = d.Color_;
    FontName_ = std::move(d.FontName_);
    Style_ = d.Style_;
    Align_ = d.Align_;
    Outline_ = d.Outline_;
}

void TTextLabelItem::SaveToStream(TStream &stream) const {
    TOrientPointItem::SaveToStream(stream);
    WriteStreamTag(stream, "TXTLTEXT");
    WriteStreamString(stream, Text_);
    WriteStreamTag(stream, "TXTLSIZE");
    stream.WriteInt32(Size_);
    WriteStreamTag(stream, "TXTLCOLR");
    stream.WriteInt32(static_cast<int32_t>(Color_));
    WriteStreamTag(stream, "TXTLFONT");
    WriteStreamString(stream, FontName_);
    WriteStreamTag(stream, "TXTLSTYL");
    stream.WriteByte(Style_);
    WriteStreamTag(stream, "TXTLALGN");
    stream.WriteByte(Align_);
    WriteStreamTag(stream, "TXTLOUTL");
    stream.WriteByte(Outline_);
}

// ---- Fields

void TTextLabelItem::Changed() {
    Points.SetChanged(true);
}

void TTextLabelItem::SetText(const Cp1251String &text) {
    Text_ = text;
    Changed();
}

void TTextLabelItem::SetSize(int32_t size) {
    Size_ = size;
    Changed();
}

void TTextLabelItem::SetColor(D3DCOLOR color) {
    Color_ = color;
    Changed();
}

void TTextLabelItem::SetFontName(const Cp1251String &name) {
    FontName_ = name;
    Changed();
}

void TTextLabelItem::SetStyle(uint8_t style) {
    Style_ = style;
    Changed();
}

void TTextLabelItem::SetAlign(uint8_t align) {
    Align_ = EffectiveTextAlign(align);
    Changed();
}

void TTextLabelItem::SetOutline(bool outline) {
    Outline_ = outline ? 1 : 0;
    Changed();
}

// ---- Geometry

TDxFont *TTextLabelItem::Font() const {
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    return fonts ? fonts->GetDxFont(FontName_.ToUtf8(), Style_) : nullptr;
}

double TTextLabelItem::TextWidthMetres(const TDxFont *font) const {
    return font ? double(font->TextWidth(Text_)) * double(Size_) / 15.625 / 100 : 0;
}

TTextFrame TTextLabelItem::FrameOfWidth(double w, int32_t size, uint8_t align) {
    const double h = double(size) / 16;
    const int a = EffectiveTextAlign(align);
    TTextFrame f;
    f.Y0 = a < 3 ? -h : a < 6 ? -h / 2 : 0;
    f.X0 = a % 3 == 1 ? -w / 2 : a % 3 == 2 ? -w : 0;
    f.X1 = f.X0 + w;
    f.Y1 = f.Y0 + h;
    return f;
}

TTextFrame TTextLabelItem::GetTextFrame() const {
    return FrameOfWidth(TextWidthMetres(Font()), Size_, Align_);
}

void TTextLabelItem::GetTransformedPoints(const TMatrixShell &view, TXYZArray &points) const {
    points.clear();
    if (Points.Count() < 1)
        return;
    const TDxMatrix m = view.GetMatrix();
    for (const TXYZ &corner : PlacedCorners(GetTextFrame(), Points.GetPoint(0), GetAngle()))
        points.push_back(TransformVector(m, corner));
}

// ---- Drawing

void TTextLabelItem::Draw(const TDxDrawParams &params, uint32_t) {
    if (!params.Renderer)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 1)
        return;
    TDxFont *font = Font();
    if (!font)
        return;
    const double w = TextWidthMetres(font);
    const TXYZ at = Points.GetPoint(0);
    const double dx = double(at.x) - params.ViewCenter.x, dy = double(at.y) - params.ViewCenter.y;
    if (!(std::sqrt(dx * dx + dy * dy) - w <= double(params.ViewRadius)))
        return;
    TdxRenderer &r = *params.Renderer;
    const double u = UnitMetres();
    TMatrixShell &world = r.World();
    world.PushMatrix();
    world.Translate(false, at.x, at.y, at.z);
    world.RotateZ(false, -GetAngle());
    if (double(r.PixelSize()) / u >= FrameFromUnitsPerPixel) {
        const TTextFrame f = FrameOfWidth(w, Size_, Align_);
        const TXYZ frame[5] = {{float(f.X0), float(f.Y0), 0},
                               {float(f.X1), float(f.Y0), 0},
                               {float(f.X1), float(f.Y1), 0},
                               {float(f.X0), float(f.Y1), 0},
                               {float(f.X0), float(f.Y0), 0}};
        r.DrawPolyline(frame, Color_);
    } else {
        world.Scale(false, float(u), float(u), float(u));
        font->DrawText(params, Text_, Align_, Color_, Outline_ == 1, Outline_ == 0);
    }
    world.PopMatrix();
}

void RegisterTextLabelItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TTextLabelItem>>(TextLabelTypeCode));
}
