#include "objects/ArrowRazmetItem.h"

#include "engine/DataFiles.h"
#include "engine/DxPrimBuilders.h"
#include "engine/DxTess3.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/IniSections.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/AxisItem.h"
#include "objects/MetafileLib.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <optional>

namespace {

const char *const LibraryName = "Разметка\\ArrowRazmet.std";

struct TLoadedLibrary {
    std::optional<TArrowLibrary> Library;
};

TLoadedLibrary &Loaded() {
    static TLoadedLibrary loaded;
    return loaded;
}

const TArrowLibrary &Library() {
    if (!Loaded().Library)
        LoadArrowDefs();
    return *Loaded().Library;
}

double TriangleAreaSum(const TXYZArray &t) {
    double sum = 0;
    for (std::size_t i = 0; i + 2 < t.size(); i += 3) {
        const double ax = double(t[i + 1].x) - t[i].x, ay = double(t[i + 1].y) - t[i].y;
        const double bx = double(t[i + 2].x) - t[i].x, by = double(t[i + 2].y) - t[i].y;
        sum += std::fabs(ax * by - ay * bx) / 2;
    }
    return sum;
}

double ExtentX(const TXYZArray &p) {
    if (p.empty())
        return 0;
    const auto [lo, hi] =
        std::minmax_element(p.begin(), p.end(), [](const TXYZ &a, const TXYZ &b) { return a.x < b.x; });
    return double(hi->x) - double(lo->x);
}

// One outline key of a section: read, triangulated whole; else the reason.
bool ReadOutline(const TIniSection &section, const char *key, TXYZArray &loop, TXYZArray &triangles,
                 std::string &reason) {
    const std::string *value = section.Find(key);
    if (!value) {
        reason = "нет ключа";
        return false;
    }
    if (!ParseArrowOutline(*value, loop)) {
        reason = "неверное число";
        return false;
    }
    if (loop.size() < 3) {
        reason = "меньше трёх точек";
        return false;
    }
    if (loop.size() > ArrowOutlineMaxPoints) {
        reason = "слишком много точек";
        return false;
    }
    TTriangulation t = Triangulate(loop);
    if (!t.Complete || t.Triangles.empty()) {
        reason = "контур не разбивается на треугольники";
        return false;
    }
    triangles = std::move(t.Triangles);
    return true;
}

} // namespace

// ---- Library

bool ParseArrowOutline(std::string_view value, TXYZArray &points) {
    points.clear();
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hash = value.find('#', pos);
        if (hash == std::string_view::npos)
            return true;
        const std::string_view point = value.substr(pos, hash - pos);
        pos = hash + 1;
        const std::size_t amp = point.find('&');
        float x = 0, y = 0;
        if (amp == std::string_view::npos || !ParseIniSingle(point.substr(0, amp), x) ||
            !ParseIniSingle(point.substr(amp + 1), y) || !std::isfinite(x) || !std::isfinite(y))
            return false;
        if (points.size() > ArrowOutlineMaxPoints)
            return true; // the caller refuses it by its size
        points.push_back({x, y, 0});
    }
}

TArrowLibrary ArrowDefsFromIni(std::string_view bytes, const std::string &fileName,
                               std::vector<std::string> &warnings) {
    TArrowLibrary lib;
    for (const TIniSection &section : ReadIniSections(bytes)) {
        const std::string where = "Файл \"" + fileName + "\", раздел [" + section.Name.ToUtf8() + "]";
        if (std::find(lib.Names.begin(), lib.Names.end(), section.Name) != lib.Names.end()) {
            warnings.push_back(where + ": повторное имя символа; раздел пропущен");
            continue;
        }
        TArrowDef def;
        std::string reason;
        const char *key = "LineLoop1";
        bool ok = ReadOutline(section, key, def.LineLoop1, def.Triangles1, reason);
        if (ok) {
            key = "LineLoop2";
            ok = ReadOutline(section, key, def.LineLoop2, def.Triangles2, reason);
        }
        if (!ok) {
            warnings.push_back(where + ", ключ " + key + ": " + reason + "; раздел пропущен");
            continue;
        }
        const auto text = [&](const char *k) {
            const std::string *v = section.Find(k);
            return v ? Cp1251String(*v) : Cp1251String();
        };
        def.MirrorY = text("MirrorY") == Cp1251String("1");
        def.DescriptionLow = text("DescriptionLow");
        def.DescriptionHigh = text("DescriptionHigh");
        def.GostSubName = text("GostSubName");
        def.Area1 = TriangleAreaSum(def.Triangles1);
        def.Area2 = TriangleAreaSum(def.Triangles2);
        def.Length1 = ExtentX(def.LineLoop1);
        def.Length2 = ExtentX(def.LineLoop2);
        lib.Defs.push_back(std::move(def));
        lib.Names.push_back(section.Name);
    }
    return lib;
}

void LoadArrowDefs() {
    TArrowLibrary lib;
    std::vector<std::string> warnings;
    const Cp1251String name = Cp1251String::FromUtf8(LibraryName);
    const std::optional<std::filesystem::path> file = FindDataFile(name);
    if (!file) {
        warnings.push_back(
            "Не найден файл библиотеки символов разметки \"" +
            (DataFilesDir() / std::filesystem::path(std::u8string(u8"Разметка")) / "ArrowRazmet.std")
                .string() +
            "\"; стрелки не рисуются");
    } else {
        try {
            TMemoryStream m;
            m.LoadFromFile(file->string());
            const auto &b = m.Bytes();
            lib = ArrowDefsFromIni(std::string_view(reinterpret_cast<const char *>(b.data()), b.size()),
                                   file->string(), warnings);
        } catch (const std::exception &e) {
            warnings.push_back(std::string("Не читается библиотека символов разметки: ") + e.what());
        }
    }
    for (const std::string &w : warnings)
        AddSignLibraryNotice(w);
    Loaded().Library = std::move(lib);
}

void SetArrowDefs(TArrowLibrary library) {
    Loaded().Library = std::move(library);
}

void ClearArrowDefs() {
    Loaded().Library.reset();
}

const std::vector<TArrowDef> &ArrowDefs() {
    return Library().Defs;
}

const std::vector<Cp1251String> &ArrowDefNames() {
    return Library().Names;
}

int32_t ArrowDefIndex(const Cp1251String &name) {
    const auto &names = ArrowDefNames();
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

bool GuideAxisDirectionAt(const TAbstractItem &item, const TXYZ &point, float &direction) {
    auto *axis = dynamic_cast<TAxisItem *>(item.GetReferAxis());
    if (!axis || axis == &item)
        return false;
    float t = 0, along = 0, offset = 0;
    if (!axis->Points.Project(point, t, along, offset))
        return false;
    direction = axis->Points.DirectionAtParam(t);
    return std::isfinite(direction);
}

// ---- TArrowRazmetItem

void TArrowRazmetItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr triangles = NewItemBatch(TBatchKind::Triangles);
    triangles->SetColor(Color);
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(Color);
    TItemBatchPtr labels = NewItemBatch(TBatchKind::Triangles);
    labels->SetColor(MakeD3DColor(0, 0, 0, 255));
    if (TFontsDataForm *fonts = TFontsDataForm::Instance())
        if (TDxPrimCollection *c = PrimCollection(labels.get()))
            c->SetTexture(fonts->SmallArialTexture(false));
    street.TypeBatches(ArrowRazmetTypeCode) = {triangles, lines, labels};
}

void TArrowRazmetItem::Created() {
    BindContainer(ArrmConn);
}

void TArrowRazmetItem::LoadFromStream(TStream &stream) {
    const char *what = "TArrowRazmetItem.LoadFromStream";
    TLineItem::LoadFromStream(stream);
    ArrowName_ = Cp1251String();
    if (CheckStreamTag(stream, "ARRMNAME"))
        ArrowName_ = ReadStreamString(stream, what);
    ArrowIndex_ = ArrowName_.Empty() ? -1 : ArrowDefIndex(ArrowName_);
    if (CheckStreamTag(stream, "ARRMCONN"))
        ArrmConn.LoadFromStream(stream);
}

void TArrowRazmetItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    WriteStreamTag(stream, "ARRMNAME");
    WriteStreamString(stream, ArrowName_);
    WriteStreamTag(stream, "ARRMCONN");
    ArrmConn.SaveToStream(stream);
}

void TArrowRazmetItem::SetArrowIndex(int32_t index) {
    const auto &names = ArrowDefNames();
    if (index < 0 || static_cast<std::size_t>(index) >= names.size())
        index = -1;
    const Cp1251String name = index < 0 ? Cp1251String() : names[static_cast<std::size_t>(index)];
    if (index == ArrowIndex_ && name == ArrowName_)
        return;
    ArrowIndex_ = index;
    ArrowName_ = name;
    NotifyModified();
    Points.InvalidateGraphics();
}

const TArrowDef *TArrowRazmetItem::Def() const {
    const auto &defs = ArrowDefs();
    if (ArrowIndex_ < 0 || static_cast<std::size_t>(ArrowIndex_) >= defs.size())
        return nullptr;
    return &defs[static_cast<std::size_t>(ArrowIndex_)];
}

void TArrowRazmetItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    const TArrowDef *def = Def();
    const int n = Points.Count();
    if (!street || !def || n < 2)
        return;
    TDxPrimCollection *triangles = TypePrimCollection(*street, ArrowRazmetTypeCode, 0);
    TDxPrimCollection *lines = TypePrimCollection(*street, ArrowRazmetTypeCode, 1);
    TDxPrimCollection *labels = TypePrimCollection(*street, ArrowRazmetTypeCode, 2);
    if (!triangles || !lines)
        return;
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TFontTexture *atlas = fonts ? fonts->SmallArialTexture() : nullptr;
    // The fonts object may have come after the batches were made.
    if (labels && atlas && labels->Texture() != atlas)
        labels->SetTexture(atlas);
    const bool big = street->ArrowBig() != 0;
    const TXYZArray &shape = big ? def->Triangles2 : def->Triangles1;
    const TXYZArray &outline = big ? def->LineLoop2 : def->LineLoop1;
    triangles->SetLayerMask(PlanLayerMask);
    lines->SetLayerMask(PlanLayerMask);
    std::vector<TDxVertex> quads;
    if (atlas && atlas->AtlasSize() > 0)
        atlas->TextQuads(def->GostSubName, quads);
    const float width = atlas ? float(atlas->TextWidth(def->GostSubName)) : 0;
    const float height = atlas ? float(atlas->TextHeight()) : 0;
    for (int i = 0; i + 1 < n; ++i) {
        const TXYZ v = Points.GetPoint(i);
        const float angle = Points.EdgeAngle(i);
        if (!std::isfinite(angle))
            continue;
        // The stack applies the last step first: the symbol is mirrored, turned, then moved to the vertex.
        for (TDxPrimCollection *c : {triangles, lines}) {
            TMatrixShell &m = c->Transform();
            m.PushMatrix();
            m.Translate(false, v.x, v.y, v.z);
            m.RotateZ(false, -angle);
            if (def->MirrorY)
                m.Scale(false, 1, -1, 1);
        }
        DxAddTriangles(*triangles, Serial(), shape);
        DxAddClosedPolyline(*lines, Serial(), outline);
        triangles->Transform().PopMatrix();
        lines->Transform().PopMatrix();

        if (!labels || quads.empty())
            continue;
        // The label reads along the guide axis: an arrow pointing against it turns its label round.
        float a = angle, axisDir = 0;
        const bool turned = GuideAxisDirectionAt(*this, v, axisDir) && std::cos(double(a) - axisDir) < 0;
        if (turned)
            a += float(std::numbers::pi);
        labels->SetLayerMask(PlanLayerMask);
        TMatrixShell &m = labels->Transform();
        m.PushMatrix();
        m.Translate(false, v.x, v.y, v.z);
        m.RotateZ(false, -a);
        m.Scale(false, 0.09f, 0.09f, 0.09f);
        m.Translate(false, turned ? 0 : -width, -height / 2, 0);
        labels->AddPrimitives(Serial(), quads, quads.size() / 3);
        m.PopMatrix();
    }
}

bool TArrowRazmetItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = 3.4e38;
    for (int i = 0; i + 1 < Points.Count(); ++i)
        distance = std::min(distance, double(VectorDistance(point, Points.GetPoint(i))));
    return distance < maxDistance;
}

void TArrowRazmetItem::CenterBetweenLines() {
    TStreetStructure *street = Street();
    const int n = Points.Count();
    if (!street || n < 2)
        return;
    constexpr double None = 3.4e38;
    for (int i = 0; i < n; ++i) {
        const TXYZ v = Points.GetPoint(i);
        const TXYZ from = i + 1 < n ? v : Points.GetPoint(i - 1);
        const TXYZ to = i + 1 < n ? Points.GetPoint(i + 1) : v;
        const double dx = double(to.x) - from.x, dy = double(to.y) - from.y;
        const double len = std::hypot(dx, dy);
        if (!(len > 0) || !std::isfinite(len))
            continue;
        const double ex = dx / len * 15, ey = dy / len * 15;
        const TXYZ left{float(v.x - ey), float(v.y + ex), v.z};
        const TXYZ right{float(v.x + ey), float(v.y - ex), v.z};
        std::vector<TAbstractItem *> markings;
        const TItemBounds box{std::min(left.x, right.x), std::min(left.y, right.y), std::max(left.x, right.x),
                              std::max(left.y, right.y)};
        street->ItemIndex().InRect(box, TItemTypeSet{LineRazmetTypeCode}, markings);
        double tl = None, tr = None;
        for (TAbstractItem *m : markings) {
            for (auto [far, best] : {std::pair{&left, &tl}, std::pair{&right, &tr}}) {
                // Every crossing of the marking, not only its first along the marking.
                float start = 0, t = 0, s = 0;
                for (int guard = 0; guard < 1 << 20 && m->Points.IntersectWithSegment(v, *far, t, s, start);
                     ++guard) {
                    *best = std::min(*best, double(s));
                    start = t;
                }
            }
        }
        if (tl <= 1 && tr <= 1) {
            const double p = 0.5 - tl / 4 + tr / 4;
            const TXYZ moved{float(left.x + (double(right.x) - left.x) * p),
                             float(left.y + (double(right.y) - left.y) * p), v.z};
            if (std::isfinite(moved.x) && std::isfinite(moved.y))
                Points.SetPoint(i, moved);
        }
    }
}

void RegisterArrowRazmetItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TArrowRazmetItem>>(ArrowRazmetTypeCode));
}
