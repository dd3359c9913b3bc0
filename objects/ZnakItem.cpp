#include "objects/ZnakItem.h"

#include "engine/DxPrimBuilders.h"
#include "engine/DxRenderer.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr D3DCOLOR PostColor = MakeD3DColor(5, 5, 5, 255);
constexpr D3DCOLOR PlateColor = MakeD3DColor(255, 255, 255, 255);
constexpr D3DCOLOR UntexturedPlateColor = MakeD3DColor(160, 160, 160, 255);

// Metafile units to metres at a plate scale of 1.
double PictureUnit(TStreetStructure *street) {
    const double s = street ? street->GetZnakScale() / 150.0 : 0;
    return s == 0 ? 1.0 / 150 : s;
}

TXYZ Turn(double x, double y, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {float(x * c - y * s), float(x * s + y * c), 0};
}

} // namespace

// ---- TEmfSubItem

TEmfSubItem::TEmfSubItem(TZnakItem &post, TLoading) : Post_(&post) {}

TEmfSubItem::TEmfSubItem(TZnakItem &post) : Post_(&post) {
    Post_->Plates_.emplace_back(this);
    Post_->Points.SetChanged(true);
}

TEmfSubItem::~TEmfSubItem() = default;

void TEmfSubItem::Changed() {
    if (!Post_->Loading_)
        Post_->Points.SetChanged(true);
}

void TEmfSubItem::LoadFromFile(const std::string &fileName) {
    TMetafile m;
    m.LoadFromFile(fileName);
    SetMetafile(m);
}

void TEmfSubItem::SetLibraryName(const Cp1251String &name) {
    Picture_.SetLibName(name, true);
    Changed();
}

void TEmfSubItem::SetMetafile(const TMetafile &metafile) {
    Picture_.SetMetafile(metafile);
    Changed();
}

int TEmfSubItem::Select() {
    const auto &plates = Post_->Plates_;
    for (std::size_t i = 0; i < plates.size(); ++i)
        if (plates[i].get() == this)
            Post_->SelectedIndex_ = static_cast<int32_t>(i);
    return Post_->SelectedIndex_;
}

void TEmfSubItem::ResetOrigin() {
    if (Metafile() && Width() != 0)
        SetOrigin({0, 0, 0});
}

TXYZ TEmfSubItem::GetWorldPosition() const {
    if (Post_->Points.Count() < 3)
        return Origin_;
    const TXYZ anchor = Post_->Points.GetPoint(2);
    const TXYZ d = Turn(Origin_.x, Origin_.y, Post_->GetPostAngle());
    return {anchor.x + d.x, anchor.y + d.y, anchor.z + Origin_.z};
}

double TEmfSubItem::GetAbsoluteAngle() const {
    double a = Post_->GetPostAngle() + Rotation_ * Pi / 180;
    if (a > 2 * Pi)
        a -= 2 * Pi;
    return a;
}

Cp1251String TEmfSubItem::GetSignNumber() const {
    if (!Text_.Empty())
        return Text_;
    if (!LibName().Empty())
        return SignNumberFromFileName(LibName());
    if (!FileName_.Empty())
        return SignNumberFromFileName(FileName_);
    return {};
}

Cp1251String TEmfSubItem::GetDescription() const {
    return SignDescription(GetSignNumber());
}

float TEmfSubItem::GetLibraryArea() const {
    return SignAreaValue(SignAreaText(GetSignNumber()));
}

float TEmfSubItem::GetArea() const {
    return CustomArea_ != 0 ? CustomArea_ : GetLibraryArea();
}

#define SP_PLATE_SETTER(Name, Field, Type)                                                                   \
    void TEmfSubItem::Set##Name(Type v) {                                                                    \
        if (Field == v)                                                                                      \
            return;                                                                                          \
        Field = v;                                                                                           \
        Changed();                                                                                           \
    }
SP_PLATE_SETTER(Scale, Scale_, float)
SP_PLATE_SETTER(Text, Text_, const Cp1251String &)
SP_PLATE_SETTER(Alignment, Alignment_, uint8_t)
SP_PLATE_SETTER(FileName, FileName_, const Cp1251String &)
SP_PLATE_SETTER(Rotation, Rotation_, int32_t)
SP_PLATE_SETTER(ObjectKind, ObjectKind_, const Cp1251String &)
SP_PLATE_SETTER(SignText, SignText_, const Cp1251String &)
SP_PLATE_SETTER(MainId, MainId_, int32_t)
SP_PLATE_SETTER(AnchorHeight, AnchorHeight_, float)
SP_PLATE_SETTER(CustomArea, CustomArea_, float)
SP_PLATE_SETTER(Status, Status_, const Cp1251String &)
#undef SP_PLATE_SETTER

void TEmfSubItem::SetOrigin(const TXYZ &v) {
    if (Origin_.x == v.x && Origin_.y == v.y && Origin_.z == v.z)
        return;
    Origin_ = v;
    Changed();
}

void TEmfSubItem::GetFrame(TXYZ &centre, TXYZ &axisX, TXYZ &axisY) const {
    const double post = Post_->GetPostAngle();
    // A positive rotation turns the picture counter-clockwise on the plan, as GetAbsoluteAngle counts it.
    const double turn = post + Rotation_ * Pi / 180;
    const double k = PictureUnit(Post_->Street()) * EffectiveScale();
    centre = GetWorldPosition();
    axisX = Turn(k, 0, turn);
    axisY = Turn(0, k, turn);
}

void TEmfSubItem::GetCorners(TXYZ corners[4], double growX, double growY) const {
    TXYZ c, ax, ay;
    GetFrame(c, ax, ay);
    const double hw = Width() / 2.0 + growX, hh = Height() / 2.0 + growY;
    const double xs[4] = {-hw, hw, hw, -hw}, ys[4] = {hh, hh, -hh, -hh};
    for (int i = 0; i < 4; ++i)
        corners[i] = {float(c.x + xs[i] * ax.x + ys[i] * ay.x), float(c.y + xs[i] * ax.y + ys[i] * ay.y), c.z};
}

void TEmfSubItem::DrawFrame(TdxRenderer &renderer) const {
    TXYZ corners[5];
    GetCorners(corners, Width() / 20, Height() / 20);
    corners[4] = corners[0];
    renderer.SetTexture(nullptr);
    renderer.DrawPolyline(corners, MakeD3DColor(255, 0, 0, 255));
}

void TEmfSubItem::LoadFromStream(TStream &stream) {
    const char *what = "TEmfSubItem.LoadFromStream";
    bool read = false;
    TMetafile m;
    if (CheckStreamTag(stream, "ZNSUBEMF")) {
        m = ReadStreamMetafile(stream, what);
        read = true;
    }
    if (CheckStreamTag(stream, "ZNSUBEM2")) {
        m = ReadCountedMetafile(stream, what);
        read = true;
    }
    if (read)
        Picture_.SetMetafile(m);
    if (CheckStreamTag(stream, "ZNSLIBNM"))
        Picture_.SetLibName(ReadStreamString(stream, what), true);
    if (CheckStreamTag(stream, "ZNSUBSC "))
        Scale_ = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "ZNSUBTXT"))
        Text_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "ZNSUBORG")) {
        Origin_.x = stream.ReadSingle(what);
        Origin_.y = stream.ReadSingle(what);
        Origin_.z = stream.ReadSingle(what);
    }
    if (CheckStreamTag(stream, "ZNSUBALG"))
        Alignment_ = stream.ReadByte(what);
    if (CheckStreamTag(stream, "ZNSUBORT"))
        Rotation_ = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "ZNSUBFIL"))
        FileName_ = ReadStreamString(stream, what);
    // Indices into the street of a layout long gone.
    if (CheckStreamTag(stream, "ZNARCIDX"))
        stream.Skip(4, what);
    if (CheckStreamTag(stream, "ZNNODIDX"))
        stream.Skip(4, what);
    if (CheckStreamTag(stream, "ZNOBJKND"))
        ObjectKind_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "ZNSTEXT "))
        SignText_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "ZNMAINID"))
        MainId_ = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "ZNANCHEI"))
        AnchorHeight_ = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "ZNCUSTSQ"))
        CustomArea_ = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "ZNSTATUS"))
        Status_ = ReadStreamString(stream, what);
    // A text that only repeats the number the picture's name gives is no override; any other is kept.
    if (!Text_.Empty() && !LibName().Empty() && Text_ == SignNumberFromFileName(LibName()))
        Text_ = {};
    if (!Text_.Empty() && LibName().Empty() && !FileName_.Empty() && Text_ == SignNumberFromFileName(FileName_))
        Text_ = {};
}

void TEmfSubItem::SaveToStream(TStream &stream) const {
    if (LibIndex() != TSignPicture::Own) {
        WriteStreamTag(stream, "ZNSLIBNM");
        WriteStreamString(stream, LibName());
    } else {
        WriteStreamTag(stream, "ZNSUBEM2");
        WriteCountedMetafile(stream, Metafile() ? *Metafile() : TMetafile());
    }
    WriteStreamTag(stream, "ZNSUBSC ");
    stream.WriteSingle(Scale_);
    WriteStreamTag(stream, "ZNSUBTXT");
    WriteStreamString(stream, Text_);
    WriteStreamTag(stream, "ZNSUBORG");
    stream.WriteSingle(Origin_.x);
    stream.WriteSingle(Origin_.y);
    stream.WriteSingle(Origin_.z);
    WriteStreamTag(stream, "ZNSUBALG");
    stream.WriteByte(Alignment_);
    WriteStreamTag(stream, "ZNSUBORT");
    stream.WriteInt32(Rotation_);
    const auto str = [&](const char *tag, const Cp1251String &v) {
        if (!v.Empty()) {
            WriteStreamTag(stream, tag);
            WriteStreamString(stream, v);
        }
    };
    str("ZNSUBFIL", FileName_);
    str("ZNOBJKND", ObjectKind_);
    str("ZNSTEXT ", SignText_);
    if (MainId_ != 0) {
        WriteStreamTag(stream, "ZNMAINID");
        stream.WriteInt32(MainId_);
    }
    if (AnchorHeight_ != 0) {
        WriteStreamTag(stream, "ZNANCHEI");
        stream.WriteSingle(AnchorHeight_);
    }
    if (CustomArea_ != 0) {
        WriteStreamTag(stream, "ZNCUSTSQ");
        stream.WriteSingle(CustomArea_);
    }
    str("ZNSTATUS", Status_);
}

// ---- TZnakItem

TZnakItem::TZnakItem() = default;

TZnakItem::~TZnakItem() {
    Loading_ = true; // nothing to mark while the post goes
    while (!Plates_.empty())
        Plates_.pop_back();
}

void TZnakItem::ClassInitDrawBatches(TStreetStructure &street) {
    street.TypeBatches(ZnakTypeCode) = {NewItemBatch(TBatchKind::Triangles), NewItemBatch(TBatchKind::Lines),
                                        NewItemBatch(TBatchKind::Triangles)};
}

TEmfSubItem *TZnakItem::GetPlate(int index) const {
    return index >= 0 && index < PlateCount() ? Plates_[std::size_t(index)].get() : nullptr;
}

TEmfSubItem *TZnakItem::AddPlate() {
    return new TEmfSubItem(*this); // the post's list owns it
}

void TZnakItem::DeletePlate(int index) {
    if (index < 0 || index >= PlateCount())
        return;
    Plates_.erase(Plates_.begin() + index);
    Points.SetChanged(true);
}

int TZnakItem::GetSelectedIndex() const {
    return SelectedIndex_ < PlateCount() ? SelectedIndex_ : -1;
}

void TZnakItem::SetSupportKind(const Cp1251String &v) {
    if (SupportKind_ == v)
        return;
    SupportKind_ = v;
    NotifyModified();
}

double TZnakItem::GetPostAngle() const {
    if (Points.Count() < 3)
        return 0;
    double a = VectorAngle(VectorFromTo(Points.GetPoint(1), Points.GetPoint(2)));
    if (a < 0)
        a += 2 * Pi;
    if (a > 2 * Pi)
        a -= 2 * Pi;
    return a;
}

int TZnakItem::NearestPlate(const TXYZ &point) const {
    if (Points.Count() < 3)
        return -1;
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < PlateCount(); ++i) {
        const double d = VectorDistance(point, Plates_[std::size_t(i)]->GetWorldPosition());
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

bool TZnakItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    for (int i = 0; i < std::min(Points.Count(), 3); ++i) {
        const double d = VectorDistance(point, Points.GetPoint(i));
        if (i == 0 || d < distance)
            distance = d;
    }
    return distance < maxDistance;
}

void TZnakItem::LoadFromStream(TStream &stream) {
    const char *what = "TZnakItem.LoadFromStream";
    TPointItem::LoadFromStream(stream);
    Loading_ = true;
    Plates_.clear();
    SupportKind_ = {};
    NewLayout_ = false;
    try {
        if (CheckStreamTag(stream, "ZNANCKND"))
            SupportKind_ = ReadStreamString(stream, what);
        NewLayout_ = CheckStreamTag(stream, "ZNNEWPNT");
        int32_t count = 0;
        if (CheckStreamTag(stream, "ZNSUBCNT")) {
            const int64_t at = stream.Position() - 4;
            count = stream.ReadInt32(what);
            // Each plate record holds at least one tag.
            if (count < 0 || count > stream.Remaining() / StreamTagSize)
                RaiseStreetError(what, std::to_string(count) + " plates at offset " + std::to_string(at) +
                                           (stream.Name().empty() ? "" : " of " + stream.Name()) +
                                           " do not fit in the " + std::to_string(stream.Remaining()) +
                                           " bytes left");
        }
        for (int32_t i = 0; i < count; ++i) {
            auto plate = std::unique_ptr<TEmfSubItem>(new TEmfSubItem(*this, TEmfSubItem::TLoading{}));
            const int64_t at = stream.Position();
            plate->LoadFromStream(stream);
            if (stream.Position() == at)
                RaiseStreetError(what, "plate " + std::to_string(i + 1) + " of " + std::to_string(count) +
                                           " at offset " + std::to_string(at) +
                                           (stream.Name().empty() ? "" : " of " + stream.Name()) +
                                           " holds no field");
            Plates_.push_back(std::move(plate));
        }
    } catch (...) {
        Loading_ = false;
        throw;
    }
    Loading_ = false;
    Invalid = Invalid || Points.Count() == 0;
}

void TZnakItem::SaveToStream(TStream &stream) const {
    TAbstractItem::SaveToStream(stream);
    if (!SupportKind_.Empty()) {
        WriteStreamTag(stream, "ZNANCKND");
        WriteStreamString(stream, SupportKind_);
    }
    WriteStreamTag(stream, "ZNNEWPNT");
    WriteStreamTag(stream, "ZNSUBCNT");
    stream.WriteInt32(PlateCount());
    for (const auto &plate : Plates_)
        plate->SaveToStream(stream);
}

void TZnakItem::AfterLoad() {
    TPointItem::AfterLoad();
    if (!NewLayout_ && Points.Count() == 3) {
        const TXYZ p1 = Points.GetPoint(1), p2 = Points.GetPoint(2);
        const double dx = double(p2.x) - p1.x, dy = double(p2.y) - p1.y, len = std::hypot(dx, dy);
        // Coinciding points give no heading: the post then faces along +x.
        const double ux = len > 0 ? dx / len : 1, uy = len > 0 ? dy / len : 0;
        Points.SetPoint(2, p1);
        Points.SetPoint(1, {float(p1.x - 3 * ux), float(p1.y - 3 * uy), p1.z});
    }
    if (Points.Count() == 2) {
        const TXYZ p1 = Points.GetPoint(1);
        Points.InsertNewPoint(2, {p1.x + 1, p1.y + 1, p1.z});
    }
    NewLayout_ = true;
}

void TZnakItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    TItemBatches &batches = street->TypeBatches(ZnakTypeCode);
    TItemBatch *foot = !batches.empty() ? batches[0].get() : nullptr;
    TItemBatch *line = batches.size() > 1 ? batches[1].get() : nullptr;
    TItemBatch *glyphs = batches.size() > 2 ? batches[2].get() : nullptr;
    for (TItemBatch *b : {foot, line, glyphs})
        if (b)
            b->SetLayerFilter(PlanLayerMask);
    Points.EnsureGeometry();
    if (Points.Count() != 3)
        return;
    const TXYZ p0 = Points.GetPoint(0), p1 = Points.GetPoint(1), p2 = Points.GetPoint(2);
    if (TDxPrimCollection *prims = PrimCollection(line)) {
        prims->SetColor(PostColor);
        DxAddLinesA(*prims, Serial(), {p0, p1, p1, p2});
    }
    const TStreetPointRec *footRec = Points.PointRec(0);
    if (TDxPrimCollection *prims = PrimCollection(foot); prims && footRec && footRec->Owners.size() == 1) {
        prims->SetColor(PostColor);
        const double a = GetPostAngle();
        TXYZ c[4];
        const double xs[4] = {0, -1, 0, -1}, ys[4] = {0, 0, -0.3, -0.3};
        for (int i = 0; i < 4; ++i) {
            const TXYZ d = Turn(xs[i], ys[i], a);
            c[i] = {p0.x + d.x, p0.y + d.y, p0.z};
        }
        DxAddQuadsA(*prims, Serial(), {c[0], c[1], c[2], c[3]});
    }
    if (glyphs && SignLabelWriter()) {
        for (const auto &plate : Plates_) {
            TSignLabel label;
            label.Lines.push_back(plate->GetSignNumber());
            if (!plate->Status().Empty())
                label.Lines.push_back(Cp1251String("(" + plate->Status().Bytes() + ")"));
            label.Alignment = plate->Alignment();
            plate->GetFrame(label.Centre, label.AxisX, label.AxisY);
            label.Width = plate->Width();
            label.Height = plate->Height();
            label.Scale = plate->EffectiveScale();
            SignLabelWriter()(*glyphs, Serial(), label);
        }
    }
}

void TZnakItem::Draw(const TDxDrawParams &params, uint32_t layer) {
    TPointItem::Draw(params, layer);
    if (!params.Renderer || Points.Count() < 3)
        return;
    const auto far = [&](const TXYZ &p) {
        return std::hypot(double(p.x) - params.ViewCenter.x, double(p.y) - params.ViewCenter.y) >
               params.ViewRadius;
    };
    if (far(Points.GetPoint(0)) && far(Points.GetPoint(2)))
        return;
    TdxRenderer &r = *params.Renderer;
    const float pixel = r.PixelSize();
    for (const auto &plate : Plates_) {
        const TMetafile *m = plate->Metafile();
        if (!m || plate->Width() == 0)
            continue;
        const bool textured = pixel / plate->EffectiveScale() <= 1.0f;
        TXYZ c[4];
        plate->GetCorners(c);
        const D3DCOLOR color = textured ? PlateColor : UntexturedPlateColor;
        const TDxVertex v[6] = {{c[0].x, c[0].y, c[0].z, color, 0, 0}, {c[1].x, c[1].y, c[1].z, color, 1, 0},
                                {c[2].x, c[2].y, c[2].z, color, 1, 1}, {c[2].x, c[2].y, c[2].z, color, 1, 1},
                                {c[3].x, c[3].y, c[3].z, color, 0, 1}, {c[0].x, c[0].y, c[0].z, color, 0, 0}};
        r.SetTexture(textured ? &TEMFTexture::Acquire(*m, plate->TextureHint(), r.FrameSerial())->Texture() : nullptr);
        r.DrawTriangleListV(v);
    }
    r.SetTexture(nullptr);
}

void RegisterZnakItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TZnakItem>>(ZnakTypeCode));
}
