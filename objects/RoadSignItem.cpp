#include "objects/RoadSignItem.h"

#include "engine/DxPrimBuilders.h"
#include "engine/DxRenderer.h"
#include "engine/StreetError.h"
#include "engine/UndefinedValue.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/PointStructure.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/EmfTexture.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr D3DCOLOR LineColor = MakeD3DColor(5, 5, 5, 255);
constexpr D3DCOLOR PlateColor = MakeD3DColor(255, 255, 255, 255);
constexpr D3DCOLOR UntexturedPlateColor = MakeD3DColor(160, 160, 160, 255);

TXYZ Turn(double x, double y, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {float(x * c - y * s), float(x * s + y * c), 0};
}

TRoadSignItem *AsSign(TPointList *list) {
    return list ? dynamic_cast<TRoadSignItem *>(list->GetOwner()) : nullptr;
}

Cp1251String WithoutFolder(const Cp1251String &fileName) {
    const std::string &s = fileName.Bytes();
    const std::size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? fileName : Cp1251String(s.substr(slash + 1));
}

} // namespace

void TRoadSignItem::ClassInitDrawBatches(TStreetStructure &street) {
    street.TypeBatches(RoadSignTypeCode) = {NewItemBatch(TBatchKind::Triangles), NewItemBatch(TBatchKind::Lines),
                                            NewItemBatch(TBatchKind::Triangles)};
}

void TRoadSignItem::PictureChanged() {
    Points.SetChanged(true);
}

#define SP_SIGN_SETTER(Name, Field, Type)                                                                    \
    void TRoadSignItem::Set##Name(Type v) {                                                                  \
        if (Field == v)                                                                                      \
            return;                                                                                          \
        Field = v;                                                                                           \
        Points.SetChanged(true);                                                                             \
    }
SP_SIGN_SETTER(Scale, Scale_, float)
SP_SIGN_SETTER(TextAlign, TextAlign_, uint8_t)
SP_SIGN_SETTER(Label, Label_, const Cp1251String &)
SP_SIGN_SETTER(Orientation, Orientation_, int32_t)
#undef SP_SIGN_SETTER

void TRoadSignItem::LoadFromFile(const std::string &fileName) {
    TMetafile m;
    m.LoadFromFile(fileName);
    Picture_.SetMetafile(m);
    Cp1251String name;
    if (!Cp1251String::TryFromUtf8(fileName, name))
        name = Cp1251String(fileName);
    FileName_ = WithoutFolder(name);
    PictureChanged();
}

void TRoadSignItem::LoadFromMetafileStream(TStream &stream, const Cp1251String &fileName) {
    const char *what = "TRoadSignItem.LoadFromMetafileStream";
    const int64_t at = stream.Position();
    std::vector<uint8_t> bytes(static_cast<std::size_t>(stream.Remaining()));
    stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()), what);
    TMetafile m;
    try {
        m.LoadFromBytes(bytes.data(), bytes.size(), fileName.ToUtf8());
    } catch (const std::exception &e) {
        stream.Seek(at, TSeekOrigin::Begin);
        RaiseStreetError(what, e.what());
    }
    Picture_.SetMetafile(m);
    FileName_ = WithoutFolder(fileName);
    PictureChanged();
}

void TRoadSignItem::SetLibraryName(const Cp1251String &name) {
    Picture_.SetLibName(name, false);
    PictureChanged();
}

Cp1251String TRoadSignItem::GetSignNumber() const {
    return Label_.Empty() ? RoadSignNumberFromFileName(FileName_) : Label_;
}

TRoadSignItem *TRoadSignItem::GetChainParent() const {
    if (Points.Count() != 2)
        return nullptr;
    TStreetPointRec *rec = Points.PointRec(1);
    if (!rec)
        return nullptr;
    for (TPointList *owner : rec->Owners)
        if (TRoadSignItem *sign = AsSign(owner); sign && sign->Points.Count() > 0 && sign->Points.PointRec(0) == rec)
            return sign;
    return nullptr;
}

TRoadSignItem *TRoadSignItem::GetChainRoot() const {
    std::set<const TRoadSignItem *> seen{this};
    TRoadSignItem *last = nullptr;
    for (TRoadSignItem *p = GetChainParent(); p && seen.insert(p).second; p = p->GetChainParent())
        last = p;
    return last;
}

void TRoadSignItem::CollectChain(std::vector<TRoadSignItem *> &list) const {
    std::set<const TRoadSignItem *> seen{this};
    // Depth first, in the order the owners list them: a stack holding each sign's children reversed.
    std::vector<const TRoadSignItem *> stack{this};
    while (!stack.empty()) {
        const TRoadSignItem *sign = stack.back();
        stack.pop_back();
        if (sign != this)
            list.push_back(const_cast<TRoadSignItem *>(sign));
        TStreetPointRec *rec = sign->Points.Count() > 0 ? sign->Points.PointRec(0) : nullptr;
        if (!rec)
            continue;
        std::vector<const TRoadSignItem *> children;
        for (TPointList *owner : rec->Owners) {
            TRoadSignItem *child = AsSign(owner);
            if (!child || child->Points.IndexOfRec(rec) == 0 || child->Points.PointRec(0) == rec)
                continue;
            if (seen.insert(child).second)
                children.push_back(child);
        }
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

double TRoadSignItem::GetChainAngle() const {
    const TRoadSignItem *root = GetChainRoot();
    if (!root)
        root = this;
    if (root->Points.Count() < 2)
        return 0;
    return VectorAngle(VectorFromTo(root->Points.GetPoint(0), root->Points.GetPoint(1)));
}

void TRoadSignItem::GetFrame(TXYZ &centre, TXYZ &axisX, TXYZ &axisY) const {
    const double z = Street() ? Street()->GetZnakScale() / 150.0 : 0;
    const double k = (z == 0 ? 1.0 / 150 : z) * EffectiveScale();
    // A positive orientation turns the picture counter-clockwise on the plan.
    const double turn = GetChainAngle() + Orientation_ * Pi / 180;
    centre = Points.Count() > 0 ? Points.GetPoint(0) : TXYZ{};
    axisX = Turn(k, 0, turn);
    axisY = Turn(0, k, turn);
}

double TRoadSignItem::HitRadius() const {
    const double z = Street() ? Street()->GetZnakScale() : 1.0;
    return std::max(Width(), Height()) * 0.5 * EffectiveScale() * z / 150;
}

void TRoadSignItem::InitNewItem() {
    TAbstractItem::InitNewItem();
    Scale_ = 1.0f;
    TextAlign_ = 1;
}

void TRoadSignItem::PointsChanged() {
    TAbstractItem::PointsChanged();
    std::vector<TRoadSignItem *> chain;
    CollectChain(chain);
    // Their saved fields stay: they only rebuild in the new direction.
    for (TRoadSignItem *sign : chain)
        sign->Points.InvalidateGraphics();
}

bool TRoadSignItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    if (Points.Count() == 0)
        return false;
    distance = VectorDistance(point, Points.GetPoint(0));
    return distance < maxDistance + HitRadius();
}

bool TRoadSignItem::GetHitBounds(TItemBounds &box) {
    if (!TAbstractItem::GetHitBounds(box))
        return false;
    const double r = HitRadius();
    box.MinX -= r;
    box.MinY -= r;
    box.MaxX += r;
    box.MaxY += r;
    return true;
}

void TRoadSignItem::LoadFromStream(TStream &stream) {
    const char *what = "TRoadSignItem.LoadFromStream";
    TAbstractItem::LoadFromStream(stream);
    Picture_ = TSignPicture(0);
    FileName_ = {};
    Scale_ = 0;
    Orientation_ = 0;
    TextAlign_ = 0;
    Label_ = {};
    if (CheckStreamTag(stream, "RSGNEMFD")) {
        const TMetafile m = ReadCountedMetafile(stream, what);
        if (!m.Empty())
            Picture_.SetMetafile(m);
    }
    if (CheckStreamTag(stream, "RSGNLIBS"))
        Picture_.SetLibName(ReadStreamString(stream, what), false);
    if (CheckStreamTag(stream, "RSGNFILS"))
        FileName_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "RSGNSCAL"))
        Scale_ = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "RSGNORNT"))
        Orientation_ = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "RSGNTXAG"))
        TextAlign_ = stream.ReadByte(what);
    if (CheckStreamTag(stream, "RSGNLBLO"))
        Label_ = ReadStreamString(stream, what);
    Invalid = Invalid || Points.Count() == 0;
}

void TRoadSignItem::SaveToStream(TStream &stream) const {
    TAbstractItem::SaveToStream(stream);
    if (LibIndex() != TSignPicture::Own) {
        WriteStreamTag(stream, "RSGNLIBS");
        WriteStreamString(stream, LibName());
    } else {
        WriteStreamTag(stream, "RSGNEMFD");
        WriteCountedMetafile(stream, *Metafile());
    }
    WriteStreamTag(stream, "RSGNFILS");
    WriteStreamString(stream, FileName_);
    WriteStreamTag(stream, "RSGNSCAL");
    stream.WriteSingle(Scale_);
    WriteStreamTag(stream, "RSGNORNT");
    stream.WriteInt32(Orientation_);
    WriteStreamTag(stream, "RSGNTXAG");
    stream.WriteByte(TextAlign_);
    if (!Label_.Empty()) {
        WriteStreamTag(stream, "RSGNLBLO");
        WriteStreamString(stream, Label_);
    }
}

void TRoadSignItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    TItemBatches &batches = street->TypeBatches(RoadSignTypeCode);
    TItemBatch *line = batches.size() > 1 ? batches[1].get() : nullptr;
    TItemBatch *glyphs = batches.size() > 2 ? batches[2].get() : nullptr;
    for (TItemBatch *b : {line, glyphs})
        if (b)
            b->SetLayerFilter(PlanLayerMask);
    Points.EnsureGeometry();
    if (Points.Count() == 0)
        return;
    if (TDxPrimCollection *prims = PrimCollection(line)) {
        prims->SetColor(LineColor);
        DxAddPolyline(*prims, Serial(), Points.GetPoints());
        // Inactive plates above draw no lines of their own: their hanging ones show the column.
        std::set<const TRoadSignItem *> seen{this};
        for (TRoadSignItem *p = GetChainParent(); p && !p->Active && seen.insert(p).second; p = p->GetChainParent())
            DxAddPolyline(*prims, Serial(), p->Points.GetPoints());
    }
    if (glyphs && SignLabelWriter()) {
        TSignLabel label;
        label.Lines.push_back(GetSignNumber());
        label.Alignment = TextAlign_;
        GetFrame(label.Centre, label.AxisX, label.AxisY);
        label.Width = Width();
        label.Height = Height();
        label.Scale = EffectiveScale();
        label.PostLayout = false;
        SignLabelWriter()(*glyphs, Serial(), label);
    }
}

void TRoadSignItem::Draw(const TDxDrawParams &params, uint32_t layer) {
    TAbstractItem::Draw(params, layer);
    const TMetafile *m = Metafile();
    if (!params.Renderer || Points.Count() == 0 || !m || Width() == 0)
        return;
    const TXYZ p0 = Points.GetPoint(0);
    if (std::hypot(double(p0.x) - params.ViewCenter.x, double(p0.y) - params.ViewCenter.y) > params.ViewRadius)
        return;
    TdxRenderer &r = *params.Renderer;
    const bool textured = r.PixelSize() / EffectiveScale() <= 1.0f;
    TXYZ c, ax, ay;
    GetFrame(c, ax, ay);
    const double hw = Width() / 2.0, hh = Height() / 2.0;
    const auto corner = [&](double x, double y, float u, float v) {
        return TDxVertex{float(c.x + x * ax.x + y * ay.x), float(c.y + x * ax.y + y * ay.y), c.z,
                         textured ? PlateColor : UntexturedPlateColor, u, v};
    };
    const TDxVertex fan[4] = {corner(-hw, hh, 0, 0), corner(hw, hh, 1, 0), corner(hw, -hh, 1, 1),
                              corner(-hw, -hh, 0, 1)};
    r.SetTexture(textured ? &TEMFTexture::Acquire(*m, TextureHint_, r.FrameSerial())->Texture() : nullptr);
    r.DrawTriangleFanV(fan);
    r.SetTexture(nullptr);
}

void RegisterRoadSignItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRoadSignItem>>(RoadSignTypeCode));
}
