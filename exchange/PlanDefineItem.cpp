#include "exchange/PlanDefineItem.h"

#include "engine/DX_Shell.h"
#include "engine/DxDraw.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "exchange/EmbeddedStreet.h"
#include "model/BatchSeam.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include "engine/UndefinedValue.h"
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string_view>
#include <system_error>

namespace {

constexpr double MmPerInch = 25.4;
// The layer of ordinary plan geometry: what sheets draw of their street and of their stamps.
constexpr uint32_t OrdinaryGeometry = 1;
// A format file holds a handful of fields; anything much larger is not one.
constexpr int64_t MaxFormatFileBytes = 1 << 20;

TAxisPicketStepQuery &PicketStepQuery() {
    static TAxisPicketStepQuery query;
    return query;
}

// ---- Legacy metafiles: read past by their own length, never kept.

uint32_t U32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr int64_t WmfHeaderBytes = 18, PlaceableHeaderBytes = 22;

// Skips the enhanced or Windows metafile (with or without its placeable header) standing at the stream's
// position: an enhanced one by the size its header gives, a Windows one by walking its records to the
// end-of-file record (writers disagree whether the size in its header counts the placeable header; where
// the records cannot be walked that size is taken).
void SkipMetafile(TStream &stream, const char *what, const char *tag) {
    const int64_t start = stream.Position();
    const int64_t left = stream.Remaining();
    uint8_t head[52] = {};
    const int64_t got = stream.Read(head, sizeof head);
    stream.Seek(start, TSeekOrigin::Begin);
    const std::string field = std::string(tag) + ": ";
    if (got >= 52 && U32(head) == 1 && U32(head + 40) == EmfSignature) {
        const int64_t size = U32(head + 48);
        if (size < 52 || size > left)
            stream.Fail(what, field + "enhanced metafile of " + std::to_string(size) + " bytes with " +
                                  std::to_string(left) + " left");
        stream.Seek(start + size, TSeekOrigin::Begin);
        return;
    }
    int64_t at = 0;
    if (got >= 4 && U32(head) == PlaceableKey)
        at = PlaceableHeaderBytes;
    if (got < at + WmfHeaderBytes || (U16(head + at) != 1 && U16(head + at) != 2) || U16(head + at + 2) != 9)
        stream.Fail(what, field + "no metafile");
    const int64_t declared = at + int64_t(U32(head + at + 6)) * 2;
    int64_t pos = at + WmfHeaderBytes;
    while (pos + 6 <= left) {
        uint8_t rec[6];
        stream.Seek(start + pos, TSeekOrigin::Begin);
        stream.ReadBuffer(rec, 6, what);
        const int64_t n = int64_t(U32(rec)) * 2;
        if (n < 6 || n > left - pos)
            break;
        if (U16(rec + 4) == 0) {
            stream.Seek(start + pos + n, TSeekOrigin::Begin);
            return;
        }
        pos += n;
    }
    if (declared < at + WmfHeaderBytes || declared > left) {
        stream.Seek(start, TSeekOrigin::Begin);
        stream.Fail(what, field + "Windows metafile of " + std::to_string(declared) + " bytes with " +
                              std::to_string(left) + " left");
    }
    stream.Seek(start + declared, TSeekOrigin::Begin);
}

// ---- Record tags

constexpr std::string_view StampTags[] = {"PLDFSTP2", "PLDFSTTL", "PLDFSTTR", "PLDFSTBL", "PLDFSTBR"};
// The corner each stamp tag fills: the old single stamp became the top-right one.
constexpr TStampCorner StampTagCorners[] = {TStampCorner::TopRight, TStampCorner::TopLeft,
                                            TStampCorner::TopRight, TStampCorner::BotLeft,
                                            TStampCorner::BotRight};
// Written for the corners in their order.
constexpr std::string_view CornerTags[] = {"PLDFSTTL", "PLDFSTTR", "PLDFSTBL", "PLDFSTBR"};

void WriteTagInt(TStream &stream, std::string_view tag, int32_t value) {
    WriteStreamTag(stream, tag);
    stream.WriteInt32(value);
}

} // namespace

void SetAxisPicketStepQuery(TAxisPicketStepQuery query) {
    PicketStepQuery() = std::move(query);
}

Cp1251String IntToStrZeroPad(int64_t value, int width) {
    std::string text = IntToStr(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return Cp1251String(std::move(text));
}

// ---- Item

TPlanDefineItem::TPlanDefineItem() = default;

// The stamps go before the vertices and references of the base item.
TPlanDefineItem::~TPlanDefineItem() {
    JobRenderer_.reset();
    for (auto &stamp : Stamps_)
        stamp.reset();
}

void TPlanDefineItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(5, 5, 5, 255));
    street.TypeBatches(PlanDefineTypeCode) = {lines, NewItemBatch(TBatchKind::Triangles)};
}

void TPlanDefineItem::InitNewItem() {
    TOrientPointItem::InitNewItem();
    if (Format.LayerSet.IsEmpty()) {
        Format.LayerSet = FullTypeSet();
        Format.LayerSet.Exclude(PlanDefineTypeCode);
    }
}

void TPlanDefineItem::RebuildGraphics() {
    Points.EnsureGeometry();
    TStreetStructure *street = Street();
    if (!street || Points.Count() < 2)
        return;
    const TItemBatches &batches = street->TypeBatches(PlanDefineTypeCode);
    TDxPrimCollection *lines = batches.empty() ? nullptr : PrimCollection(batches[0].get());
    if (!lines)
        return;
    const float w = float(MmToPx(Format.SheetWidth)), h = float(MmToPx(Format.SheetHeight));
    const float l = float(MmToPx(Format.LeftMargin)), r = float(MmToPx(Format.RightMargin));
    const float t = float(MmToPx(Format.TopMargin)), b = float(MmToPx(Format.BottomMargin));
    const TXYZ paper[4] = {PixelToWorld(0, 0), PixelToWorld(0, h), PixelToWorld(w, h), PixelToWorld(w, 0)};
    const TXYZ printable[4] = {PixelToWorld(l, t), PixelToWorld(l, h - b), PixelToWorld(w - r, h - b),
                               PixelToWorld(w - r, t)};
    DxAddClosedPolyline(*lines, Serial(), paper);
    DxAddClosedPolyline(*lines, Serial(), printable);
}

void TPlanDefineItem::Draw(const TDxDrawParams &params, uint32_t layer) {
    TOrientPointItem::Draw(params, layer);
    if (Points.Count() == 0 || !params.Renderer)
        return;
    const double reach =
        (double(Format.SheetWidth) + Format.SheetHeight) / 1000.0 / Format.Scale + params.ViewRadius;
    if (VectorDistance(params.ViewCenter, Points.GetPoint(0)) <= reach)
        DrawStamps(params);
}

void TPlanDefineItem::DrawStamps(const TDxDrawParams &params) const {
    const TDxDrawParams stampParams{params.Renderer, TXYZ{0, 0, 0}, UndefinedValueF};
    for (int i = 0; i < StampCornerCount; ++i) {
        TStreetStructure *stamp = Stamps_[static_cast<std::size_t>(i)].get();
        if (!stamp)
            continue;
        stamp->Placement().LoadIdentity();
        PlaceStamp(static_cast<TStampCorner>(i), stamp->Placement());
        stamp->Draw(stampParams, FullTypeSet(), OrdinaryGeometry);
    }
}

// ---- Record and format file

void TPlanDefineItem::ReadFormatFields(TStream &stream, TPlanSheetFormat &f, int tagSetSize,
                                       const char *what) const {
    if (CheckStreamTag(stream, "PLDFSCAL"))
        f.Scale = stream.ReadDouble(what);
    if (CheckStreamTag(stream, "PLDFDPI "))
        f.DPI = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFDSET"))
        f.LayerSet = ReadStoredTypeSet(stream, tagSetSize, what);
    if (CheckStreamTag(stream, "PLDFDS_2"))
        f.LayerSet = NamesToTypeSet(ReadStreamString(stream, what));
    if (CheckStreamTag(stream, "PLDFFMTH"))
        f.SheetHeight = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFFMTW"))
        f.SheetWidth = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFILFT"))
        f.LeftMargin = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFIRGH"))
        f.RightMargin = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFITOP"))
        f.TopMargin = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFIBOT"))
        f.BottomMargin = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "PLDFLAND"))
        f.StampRotation = stream.ReadBool(what);
}

void TPlanDefineItem::WriteFormatFields(TStream &stream) const {
    WriteStreamTag(stream, "PLDFSCAL");
    stream.WriteDouble(Format.Scale);
    WriteTagInt(stream, "PLDFDPI ", Format.DPI);
    WriteStreamTag(stream, "PLDFDS_2");
    WriteStreamString(stream, TypeSetToNames(Format.LayerSet));
    WriteTagInt(stream, "PLDFFMTH", Format.SheetHeight);
    WriteTagInt(stream, "PLDFFMTW", Format.SheetWidth);
    WriteTagInt(stream, "PLDFILFT", Format.LeftMargin);
    WriteTagInt(stream, "PLDFIRGH", Format.RightMargin);
    WriteTagInt(stream, "PLDFITOP", Format.TopMargin);
    WriteTagInt(stream, "PLDFIBOT", Format.BottomMargin);
    WriteStreamTag(stream, "PLDFLAND");
    stream.WriteBool(Format.StampRotation);
}

void TPlanDefineItem::LoadFromStream(TStream &stream) {
    const char *what = "TPlanDefineItem.LoadFromStream";
    TOrientPointItem::LoadFromStream(stream);
    if (CheckStreamTag(stream, "PLDFSTMP"))
        SkipMetafile(stream, what, "PLDFSTMP");
    if (CheckStreamTag(stream, "PLDFCOMM"))
        SkipMetafile(stream, what, "PLDFCOMM");
    TPlanSheetFormat format = Format;
    ReadFormatFields(stream, format, Street() ? Street()->TagSetSize() : 8, what);
    Format = format;
    for (std::size_t i = 0; i < std::size(StampTags); ++i) {
        if (!CheckStreamTag(stream, StampTags[i]))
            continue;
        // What may stand after this stamp: a later stamp, the end of the record, or (in records that
        // lack their end tag) the next item's record.
        std::vector<std::string_view> followers(StampTags + i + 1, std::end(StampTags));
        followers.push_back("PLDFSTOP");
        followers.push_back("ITEM    ");
        // The stamp read before for the same corner (the old single stamp) is replaced and freed.
        Stamps_[Index(StampTagCorners[i])] = ReadEmbeddedStreet(stream, followers, what);
    }
    CheckStreamTag(stream, "PLDFSTOP");
}

void TPlanDefineItem::SaveToStream(TStream &stream) const {
    TOrientPointItem::SaveToStream(stream);
    WriteFormatFields(stream);
    for (std::size_t i = 0; i < Stamps_.size(); ++i)
        if (Stamps_[i]) {
            WriteStreamTag(stream, CornerTags[i]);
            Stamps_[i]->SaveToStream(stream);
        }
    WriteStreamTag(stream, "PLDFSTOP");
}

void TPlanDefineItem::LoadFormat(TStream &stream) {
    TPlanSheetFormat format = Format;
    ReadFormatFields(stream, format, 8, "TPlanDefineItem.LoadFormat");
    Format = format;
}

void TPlanDefineItem::SaveFormat(TStream &stream) const {
    WriteFormatFields(stream);
}

void TPlanDefineItem::LoadFormatFile(const std::string &fileName) {
    const char *what = "TPlanDefineItem.LoadFormat";
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::path(fileName), ec);
    if (!ec && size > static_cast<uintmax_t>(MaxFormatFileBytes))
        RaiseStreetError(what,
                         fileName + ": " + std::to_string(size) + " bytes is too large for a plan format");
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    if (stream.Size() > MaxFormatFileBytes)
        RaiseStreetError(what, fileName + ": too large for a plan format");
    TPlanSheetFormat format = Format;
    ReadFormatFields(stream, format, 8, what);
    if (stream.Remaining() > 0)
        stream.Fail(what, "no plan format field stands here");
    Format = format;
}

void TPlanDefineItem::SaveFormatFile(const std::string &fileName) const {
    TMemoryStream stream;
    SaveFormat(stream);
    stream.SaveToFile(fileName);
}

// ---- Sizes

int32_t TPlanDefineItem::PrintWidthPx() const {
    return Round32((double(Format.SheetWidth) - Format.LeftMargin - Format.RightMargin) / MmPerInch *
                   Format.DPI);
}

int32_t TPlanDefineItem::PrintHeightPx() const {
    return Round32((double(Format.SheetHeight) - Format.TopMargin - Format.BottomMargin) / MmPerInch *
                   Format.DPI);
}

double TPlanDefineItem::PixelGroundSize() const {
    return 0.0254 / Format.DPI / Format.Scale;
}

double TPlanDefineItem::MmToPx(double mm) const {
    return mm / MmPerInch * Format.DPI;
}

TXYZ TPlanDefineItem::PixelToWorld(float x, float y) const {
    const double k = PixelGroundSize();
    const double h = MmToPx(Format.SheetHeight);
    const TXYZ v{float(double(x) * k), float((h - y) * k), 0};
    const TXYZ turned = VectorRotate(v, GetAngle());
    const TXYZ p0 = Points.Count() > 0 ? Points.GetPoint(0) : TXYZ{0, 0, 0};
    return VectorAdd(p0, turned);
}

TXYZ TPlanDefineItem::PixelToWorldI(int32_t x, int32_t y) const {
    return PixelToWorld(float(x), float(y));
}

// ---- Caption

Cp1251String TPlanDefineItem::GetCaption() const {
    TAbstractItem *axis = GetReferAxis();
    float step = 0;
    if (axis && PicketStepQuery() && PicketStepQuery()(*axis, step) && std::isfinite(step) && step > 0) {
        const double w = MmToPx(Format.SheetWidth), h = MmToPx(Format.SheetHeight);
        const double l = MmToPx(Format.LeftMargin), r = MmToPx(Format.RightMargin);
        const double t = MmToPx(Format.TopMargin), b = MmToPx(Format.BottomMargin);
        const TXYZ corners[4] = {PixelToWorld(float(l), float(t)), PixelToWorld(float(l), float(h - b)),
                                 PixelToWorld(float(w - r), float(h - b)),
                                 PixelToWorld(float(w - r), float(t))};
        double lo = UndefinedValue, hi = -UndefinedValue;
        for (const TXYZ &c : corners) {
            const double along = axis->Points.DistanceAtParam(axis->Points.ParamOfPoint(c));
            lo = std::min(lo, along);
            hi = std::max(hi, along);
        }
        const int64_t first = Round(lo / step + 0.5), last = Round(hi / step - 0.5);
        return Cp("План ПК") + IntToStrZeroPad(first, 3) + Cp1251String("-") + IntToStrZeroPad(last, 3);
    }
    return Cp("План ") + IntToStrZeroPad(ID(), 3);
}

// ---- Frame

void TPlanDefineItem::AddSheetFrame(TDxPrimCollection &lineBatch, TDxPrimCollection &triangleBatch) const {
    if (Points.Count() < 2)
        return;
    const D3DCOLOR black = MakeD3DColor(0, 0, 0, 255);
    lineBatch.SetColor(black);
    triangleBatch.SetColor(black);
    const double w = MmToPx(Format.SheetWidth), h = MmToPx(Format.SheetHeight);
    const double l = MmToPx(Format.LeftMargin), r = MmToPx(Format.RightMargin);
    const double t = MmToPx(Format.TopMargin), b = MmToPx(Format.BottomMargin);
    const TXYZ ring[5] = {
        PixelToWorld(float(l + 1), float(t + 1)), PixelToWorld(float(l + 1), float(h - b - 1)),
        PixelToWorld(float(w - r - 1), float(h - b - 1)), PixelToWorld(float(w - r - 1), float(t + 1)),
        PixelToWorld(float(l + 1), float(t + 1))};
    const TDxOwnerKey owner = Serial();
    DxAddPolyline(lineBatch, owner, ring);
    const float half = float(0.00015 / Format.Scale);
    DxAddThickPolyline(triangleBatch, owner, ring, -half, half, 0, 0, 1);
    const double tickY = MmToPx(double(Format.TopMargin) + 180);
    const double lmm = Format.LeftMargin, rmm = double(Format.SheetWidth) - Format.RightMargin;
    const TXYZ ticks[4] = {PixelToWorld(float(MmToPx(lmm - 2)), float(tickY)),
                           PixelToWorld(float(MmToPx(lmm + 2)), float(tickY)),
                           PixelToWorld(float(MmToPx(rmm + 2)), float(tickY)),
                           PixelToWorld(float(MmToPx(rmm - 2)), float(tickY))};
    DxAddLines(lineBatch, owner, ticks);
}

// ---- Stamps

TStreetStructure &TPlanDefineItem::EnsureStamp(TStampCorner corner) {
    auto &stamp = Stamps_[Index(corner)];
    if (!stamp)
        stamp = std::make_unique<TStreetStructure>();
    return *stamp;
}

void TPlanDefineItem::KillStamp(TStampCorner corner) {
    Stamps_[Index(corner)].reset();
    Points.SetChanged(true);
}

void TPlanDefineItem::StampAnchor(TStampCorner corner, float &x, float &y, float &turn) const {
    const float w = float(Format.SheetWidth), h = float(Format.SheetHeight);
    const float l = float(Format.LeftMargin), r = float(Format.RightMargin);
    const float t = float(Format.TopMargin), b = float(Format.BottomMargin);
    struct TAnchor {
        float X, Y;
    };
    // Corners in the order of TStampCorner, without and with stamp rotation.
    const TAnchor off[4] = {{l, h - t}, {w - r, h - t}, {l, b}, {w - r, b}};
    const TAnchor on[4] = {{l, b}, {l, h - t}, {w - r, b}, {w - r, h - t}};
    const TAnchor a = (Format.StampRotation ? on : off)[Index(corner)];
    x = a.X;
    y = a.Y;
    turn = Format.StampRotation ? float(-std::numbers::pi) : float(-std::numbers::pi / 2);
}

void TPlanDefineItem::PlaceStamp(TStampCorner corner, TMatrixShell &m) const {
    float ax = 0, ay = 0, turn = 0;
    StampAnchor(corner, ax, ay, turn);
    const TXYZ p0 = Points.Count() > 0 ? Points.GetPoint(0) : TXYZ{0, 0, 0};
    const float ground = float(1 / Format.Scale);
    m.Translate(false, p0.x, p0.y, p0.z);
    m.RotateZ(false, -GetAngle());
    m.Scale(false, ground, ground, ground);
    m.Scale(false, 0.001f, 0.001f, 0.001f);
    m.Translate(false, ax, ay, 0);
    m.RotateZ(false, turn);
}

void RegisterPlanDefineItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TPlanDefineItem>>(PlanDefineTypeCode));
}
