#include "objects/LineRazmetItem.h"

#include "engine/DxPrimBuilders.h"
#include "model/ItemLayers.h"
#include "model/RazmetParams2.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "platform/gdi/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <map>
#include <optional>
#include <utility>

namespace {

// The textures of the run by file: a file is read once, and one that is missing or bad is reported once
// and never tried again (every street and every change of the records would otherwise ask again).
struct TTextureCache {
    std::map<std::string, std::optional<TBitmap>> Files;
    std::map<std::string, bool> MissingNames;
    std::function<void(const std::string &)> Reporter;
};

TTextureCache &Textures() {
    static TTextureCache cache;
    return cache;
}

void Report(const std::string &text) {
    TTextureCache &c = Textures();
    if (c.Reporter)
        c.Reporter(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

// The record's texture, or nullptr (reported the first time).
const TBitmap *TextureOf(const TLnParamRec &rec) {
    if (rec.TextureFile.Empty())
        return nullptr;
    TTextureCache &c = Textures();
    const std::optional<std::filesystem::path> file = FindLnTexture(rec);
    if (!file) {
        if (c.MissingNames.emplace(rec.TextureFile.Bytes(), true).second)
            Report("TLineRazmetItem.InitDrawBatches: the texture \"" + rec.TextureFile.ToUtf8() +
                   "\" of the marking \"" + rec.Name.ToUtf8() + "\" is missing; drawn without it");
        return nullptr;
    }
    const std::string key = file->string();
    auto it = c.Files.find(key);
    if (it == c.Files.end()) {
        std::optional<TBitmap> picture;
        try {
            TBitmap bitmap;
            bitmap.LoadFromFile(key);
            if (bitmap.Width() > 0 && bitmap.Height() > 0)
                picture = std::move(bitmap);
            else
                Report("TLineRazmetItem.InitDrawBatches: the texture " + key + " is empty; drawn without it");
        } catch (const std::exception &e) {
            Report(std::string("TLineRazmetItem.InitDrawBatches: ") + e.what() + "; drawn without the texture");
        }
        it = c.Files.emplace(key, std::move(picture)).first;
    }
    return it->second ? &*it->second : nullptr;
}

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

} // namespace

void SetLnTextureReporter(std::function<void(const std::string &)> reporter) {
    Textures().Reporter = std::move(reporter);
}

void ForgetLnTextures() {
    Textures().Files.clear();
    Textures().MissingNames.clear();
}

// ---- TLineRazmetItem

void TLineRazmetItem::ClassInitDrawBatches(TStreetStructure &street) {
    const TLnParamArray &params = street.GetLnRazmetParams();
    TItemBatches batches;
    batches.reserve(params.size() + 1);
    for (const TLnParamRec &rec : params) {
        TItemBatchPtr b = NewItemBatch(TBatchKind::Triangles);
        b->SetColor(rec.Yellow ? YellowColor : PlainColor);
        if (const TBitmap *picture = TextureOf(rec))
            b->SetPicture(picture, TTextureAddress::Wrap, TTextureAddress::Clamp);
        batches.push_back(std::move(b));
    }
    TItemBatchPtr none = NewItemBatch(TBatchKind::Triangles);
    none->SetColor(NoRecordColor);
    batches.push_back(std::move(none));
    street.TypeBatches(LineRazmetTypeCode) = std::move(batches);
}

void TLineRazmetItem::LoadFromStream(TStream &stream) {
    const char *what = "TLineRazmetItem.LoadFromStream";
    // Label places are read after the markings, and laid out once they are there.
    Reading_ = true;
    try {
        TLineItem::LoadFromStream(stream);
    } catch (...) {
        Reading_ = false;
        throw;
    }
    Reading_ = false;
    Gost_ = Cp1251String();
    Mirror_ = 0;
    if (CheckStreamTag(stream, "LNRMGOST"))
        Gost_ = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "LNRMMIRR"))
        Mirror_ = stream.ReadByte(what);
    // A street without records of its own takes the default table here.
    Bind();
    // A record read over an item that was drawn: the places it crossed and crosses now hear of it.
    TellLabelPlaces();
}

void TLineRazmetItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    WriteStreamTag(stream, "LNRMGOST");
    WriteStreamString(stream, Gost_);
    WriteStreamTag(stream, "LNRMMIRR");
    stream.WriteByte(Mirror_);
}

void TLineRazmetItem::Bind() {
    ParamIndex_ = Street() ? FindLnParam(Street()->GetLnRazmetParams(), Gost_) : -1;
}

void TLineRazmetItem::SetGost(const Cp1251String &code) {
    const bool changed = code != Gost_;
    Gost_ = code;
    Bind();
    if (!changed)
        return;
    NotifyModified();
    Points.InvalidateGraphics();
    TellLabelPlaces();
}

void TLineRazmetItem::SetMirror(uint8_t mirror) {
    if (mirror == Mirror_)
        return;
    Mirror_ = mirror;
    NotifyModified();
    Points.InvalidateGraphics();
    TellLabelPlaces();
}

void TLineRazmetItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 2)
        return;
    TItemBatches &batches = street->TypeBatches(LineRazmetTypeCode);
    if (batches.empty())
        return;
    // The records as they stand: drawing adopts no table.
    const TLnParamArray &params = street->LnParams();
    ParamIndex_ = FindLnParam(params, Gost_);
    const bool hasRecord = ParamIndex_ >= 0 && static_cast<std::size_t>(ParamIndex_) + 1 < batches.size();
    float a = NoRecordDisp1, b = NoRecordDisp2;
    double period = NoRecordPeriod;
    std::size_t batch = batches.size() - 1;
    if (hasRecord) {
        const TLnParamRec &rec = params[static_cast<std::size_t>(ParamIndex_)];
        period = LnParamDrawPeriod(rec, Points.DenseLength());
        a = Finite(rec.Disp1);
        b = Finite(rec.Disp2);
        batch = static_cast<std::size_t>(ParamIndex_);
    }
    if (Mirror_ != 0) {
        a = -a;
        b = -b;
    }
    TDxPrimCollection *strip = batches[batch] ? PrimCollection(batches[batch].get()) : nullptr;
    if (!strip)
        return;
    strip->SetLayerMask(PlanLayerMask);
    DxAddThickPolyline(*strip, Serial(), Points.Dense(), a, b, static_cast<float>(period), 0, 1);
}

void TLineRazmetItem::PointsChanged() {
    if (!Reading_)
        TellLabelPlaces();
}

void TLineRazmetItem::TellLabelPlaces() {
    if (!Street())
        return;
    TXYZArray now = Points.GetPoints();
    MarkCrossingItems(*Street(), RazmetLabelPlaceTypeCode, Told_);
    if (now != Told_)
        MarkCrossingItems(*Street(), RazmetLabelPlaceTypeCode, now);
    Told_ = std::move(now);
}

void MarkCrossingItems(TStreetStructure &street, int typeCode, std::span<const TXYZ> polyline) {
    if (street.Lists(typeCode).Count() == 0 || polyline.size() < 2)
        return;
    TItemBounds box{polyline[0].x, polyline[0].y, polyline[0].x, polyline[0].y};
    for (const TXYZ &p : polyline) {
        box.MinX = std::min(box.MinX, double(p.x));
        box.MinY = std::min(box.MinY, double(p.y));
        box.MaxX = std::max(box.MaxX, double(p.x));
        box.MaxY = std::max(box.MaxY, double(p.y));
    }
    std::vector<TAbstractItem *> near;
    street.ItemIndex().InRect(box, TItemTypeSet{typeCode}, near);
    for (TAbstractItem *item : near) {
        if (!item->Active)
            continue;
        for (std::size_t i = 0; i + 1 < polyline.size(); ++i) {
            float t = 0;
            if (item->Points.IntersectsSegment(polyline[i], polyline[i + 1], t)) {
                item->Points.InvalidateGraphics();
                break;
            }
        }
    }
}

void RegisterLineRazmetItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TLineRazmetItem>>(LineRazmetTypeCode));
    // A marking that goes takes its labels with it. When every label place goes too (the street is
    // cleared) there is nobody to tell.
    static const bool listening = [] {
        AddItemsFreeingListener([](TStreetStructure &street, std::span<TAbstractItem *const> items) {
            std::vector<TLineRazmetItem *> markings;
            std::size_t places = 0;
            for (TAbstractItem *item : items) {
                if (item->GetTypeCode() == RazmetLabelPlaceTypeCode)
                    ++places;
                else if (auto *m = dynamic_cast<TLineRazmetItem *>(item))
                    markings.push_back(m);
            }
            if (markings.empty() || places >= static_cast<std::size_t>(street.Lists(RazmetLabelPlaceTypeCode).Count()))
                return;
            for (TLineRazmetItem *m : markings)
                m->TellLabelPlaces();
        });
        return true;
    }();
    (void)listening;
}
