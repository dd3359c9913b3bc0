#include "objects/CalcAreaItem.h"

#include "engine/DataFiles.h"
#include "engine/DrawProblems.h"
#include "objects/ItemTextures.h"
#include "engine/DxOverlay.h"
#include "engine/DxTexture.h"
#include "engine/NumText.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/KMSignItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/RoadSignItem.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "objects/ZnakItem.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

// ---- Where other items lie against the area

enum class TPlace { Outside, Inside, Crossing };

bool BoxesMeet(const TItemBounds &a, const TItemBounds &b) {
    return a.MinX <= b.MaxX && b.MinX <= a.MaxX && a.MinY <= b.MaxY && b.MinY <= a.MaxY;
}

TItemBounds BoxOf(std::span<const TXYZ> points) {
    TItemBounds b{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const TXYZ &p : points) {
        b.MinX = std::min<double>(b.MinX, p.x);
        b.MinY = std::min<double>(b.MinY, p.y);
        b.MaxX = std::max<double>(b.MaxX, p.x);
        b.MaxY = std::max<double>(b.MaxY, p.y);
    }
    return b;
}

// Whether the segment a-b meets the closed box (Liang-Barsky clipping).
bool SegmentMeetsBox(const TXYZ &a, const TXYZ &b, const TItemBounds &box) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double t0 = 0, t1 = 1;
    auto clip = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double r = q / p;
        if (p < 0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    return clip(-dx, a.x - box.MinX) && clip(dx, box.MaxX - a.x) && clip(-dy, a.y - box.MinY) &&
           clip(dy, box.MaxY - a.y);
}

double PolylineLength(const TXYZArray &d) {
    double sum = 0;
    for (std::size_t i = 0; i + 1 < d.size(); ++i)
        sum += std::hypot(double(d[i + 1].x) - d[i].x, double(d[i + 1].y) - d[i].y);
    return sum;
}

// Measures over one triangle in double, whatever the orientation of its corners.
struct TPt {
    double x, y;
};
double Cross(const TPt &o, const TPt &a, const TPt &b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}
std::array<TPt, 3> CounterClockwise(const TXYZ *t) {
    std::array<TPt, 3> p{TPt{t[0].x, t[0].y}, TPt{t[1].x, t[1].y}, TPt{t[2].x, t[2].y}};
    if (Cross(p[0], p[1], p[2]) < 0)
        std::swap(p[1], p[2]);
    return p;
}

// The part of the segment a-b inside the triangle (Cyrus-Beck clipping by its three sides).
double SegmentInTriangle(const TXYZ &a, const TXYZ &b, const TXYZ *triangle) {
    const std::array<TPt, 3> t = CounterClockwise(triangle);
    if (Cross(t[0], t[1], t[2]) == 0)
        return 0;
    const TPt pa{a.x, a.y}, pb{b.x, b.y};
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 3; ++i) {
        const TPt &e0 = t[static_cast<std::size_t>(i)], &e1 = t[static_cast<std::size_t>((i + 1) % 3)];
        // Inside is to the left of e0-e1: f(s) = fa + s (fb - fa) >= 0.
        const double fa = Cross(e0, e1, pa), fb = Cross(e0, e1, pb);
        if (fa < 0 && fb < 0)
            return 0;
        if (fa < 0)
            t0 = std::max(t0, fa / (fa - fb));
        else if (fb < 0)
            t1 = std::min(t1, fa / (fa - fb));
    }
    return t1 > t0 ? (t1 - t0) * std::hypot(pb.x - pa.x, pb.y - pa.y) : 0;
}

// The overlap area of two triangles (Sutherland-Hodgman clipping of one by the other's sides).
double TriangleOverlap(const TXYZ *a, const TXYZ *b) {
    const std::array<TPt, 3> clip = CounterClockwise(b);
    if (Cross(clip[0], clip[1], clip[2]) == 0)
        return 0;
    std::vector<TPt> poly{{a[0].x, a[0].y}, {a[1].x, a[1].y}, {a[2].x, a[2].y}}, next;
    for (int i = 0; i < 3 && !poly.empty(); ++i) {
        const TPt &e0 = clip[static_cast<std::size_t>(i)], &e1 = clip[static_cast<std::size_t>((i + 1) % 3)];
        next.clear();
        for (std::size_t k = 0; k < poly.size(); ++k) {
            const TPt &p = poly[k], &q = poly[(k + 1) % poly.size()];
            const double fp = Cross(e0, e1, p), fq = Cross(e0, e1, q);
            if (fp >= 0)
                next.push_back(p);
            if ((fp >= 0) != (fq >= 0)) {
                const double s = fp / (fp - fq);
                next.push_back({p.x + s * (q.x - p.x), p.y + s * (q.y - p.y)});
            }
        }
        poly.swap(next);
    }
    double sum = 0;
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const TPt &p = poly[k], &q = poly[(k + 1) % poly.size()];
        sum += p.x * q.y - q.x * p.y;
    }
    return std::fabs(sum) / 2;
}

// The area's outline and triangles with their boxes, so that an item is paired only with the triangles
// near it, and an item that no outline edge comes near is taken whole or not at all.
class TAreaClip {
public:
    explicit TAreaClip(TCalcAreaItem &area) : Area_(area) {
        Triangles_ = &area.Triangles();
        Complete_ = area.TrianglesComplete();
        area.Points.EnsureGeometry();
        Outline_ = &area.Points.Dense();
        if (!Outline_->empty())
            Box_ = BoxOf(*Outline_);
        for (std::size_t i = 0; i + 2 < Triangles_->size(); i += 3)
            TriangleBoxes_.push_back(BoxOf(std::span<const TXYZ>(Triangles_->data() + i, 3)));
    }

    const TItemBounds &Box() const { return Box_; }
    bool Complete() const { return Complete_; }
    bool PointInside(const TXYZ &p) { return Area_.Contains(p); }

    TPlace Place(std::span<const TXYZ> points) {
        if (points.empty() || Outline_->size() < 2)
            return TPlace::Outside;
        const TItemBounds box = BoxOf(points);
        if (!BoxesMeet(box, Box_))
            return TPlace::Outside;
        const TXYZArray &o = *Outline_;
        for (std::size_t i = 0; i + 1 < o.size(); ++i)
            if (SegmentMeetsBox(o[i], o[i + 1], box))
                return TPlace::Crossing;
        // No edge meets the box: the box lies wholly on one side of the fill's boundary.
        return Area_.Contains(points[0]) ? TPlace::Inside : TPlace::Outside;
    }

    // The length of the line inside the area.
    TCalcFigure LengthInside(const TXYZArray &line) {
        TCalcFigure f;
        switch (Place(line)) {
        case TPlace::Outside:
            return f;
        case TPlace::Inside:
            f.Value = PolylineLength(line);
            return f;
        case TPlace::Crossing:
            break;
        }
        const TXYZArray &t = *Triangles_;
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            const TItemBounds sb = BoxOf(std::span<const TXYZ>(line.data() + i, 2));
            for (std::size_t k = 0; k < TriangleBoxes_.size(); ++k)
                if (BoxesMeet(sb, TriangleBoxes_[k]))
                    f.Value += SegmentInTriangle(line[i], line[i + 1], &t[3 * k]);
        }
        f.Unknown = !Complete_;
        return f;
    }

    // The overlap of the polygon with the area.
    TCalcFigure OverlapArea(TPolygonItem &other) {
        TCalcFigure f;
        other.Points.EnsureGeometry();
        switch (Place(other.Points.Dense())) {
        case TPlace::Outside:
            return f;
        case TPlace::Inside:
            f.Value = other.Area();
            f.Unknown = !other.AreaReliable();
            return f;
        case TPlace::Crossing:
            break;
        }
        const TXYZArray &mine = *Triangles_;
        const TXYZArray &theirs = other.Triangles();
        for (std::size_t j = 0; j + 2 < theirs.size(); j += 3) {
            const TItemBounds bj = BoxOf(std::span<const TXYZ>(theirs.data() + j, 3));
            for (std::size_t k = 0; k < TriangleBoxes_.size(); ++k)
                if (BoxesMeet(bj, TriangleBoxes_[k]))
                    f.Value += TriangleOverlap(&theirs[j], &mine[3 * k]);
        }
        f.Unknown = !Complete_ || !other.TrianglesComplete();
        return f;
    }

    // Active items of the types whose box meets the area's, in type and list order.
    std::vector<TAbstractItem *> Candidates(const TItemTypeSet &types) {
        std::vector<TAbstractItem *> out;
        if (Outline_->size() < 2 || !Area_.Street())
            return out;
        Area_.Street()->ItemsNearRect(Box_, types, out);
        std::erase_if(out, [](TAbstractItem *i) { return !i->Active; });
        return out;
    }
    std::vector<TAbstractItem *> Candidates(int code) { return Candidates(TItemTypeSet{code}); }

private:
    TCalcAreaItem &Area_;
    const TXYZArray *Triangles_ = nullptr;
    const TXYZArray *Outline_ = nullptr;
    bool Complete_ = true;
    TItemBounds Box_;
    std::vector<TItemBounds> TriangleBoxes_;
};

void Add(TCalcFigure &to, const TCalcFigure &v) {
    to.Value += v.Value;
    to.Unknown = to.Unknown || v.Unknown;
}

// ---- Readers of the marking types of other units

std::map<int, TCalcMarkingReader> &MarkingReaders() {
    static std::map<int, TCalcMarkingReader> readers;
    return readers;
}

std::function<std::vector<TCalcArrowDef>()> &ArrowDefsSource() {
    static std::function<std::vector<TCalcArrowDef>()> source;
    return source;
}

const Cp1251String &NoCategory() {
    static const Cp1251String s = Cp("! без категории !");
    return s;
}
const Cp1251String &NoType() {
    static const Cp1251String s = Cp("! без типа !");
    return s;
}
const Cp1251String &NoStatus() {
    static const Cp1251String s = Cp("без статуса");
    return s;
}

struct THatch {
    std::unique_ptr<TTextureSurface> Texture;
    bool Tried = false;
};
THatch &Hatch() {
    static THatch h;
    return h;
}

TRazmetSumRecord Row(const char *name, const char *description, const Cp1251String &material,
                     int32_t count = 0) {
    TRazmetSumRecord r;
    r.Name = Cp(name);
    r.Description = Cp(description);
    r.Count = count;
    r.Length = -1;
    r.Material = material;
    return r;
}

void AddSignCount(TNameValueList &list, const Cp1251String &name, int add) {
    // The lines are "name=count"; a name is matched whole (it may hold "=" itself), without regard to case.
    for (int i = 0; i < list.Count(); ++i) {
        const Cp1251String &line = list.Lines(i);
        const std::size_t eq = line.Bytes().rfind('=');
        if (eq != std::string::npos && SameText(line.Sub(0, eq), name)) {
            const int32_t n = StrToIntDef(line.Sub(eq + 1).Bytes(), 0);
            list.SetLine(i, line.Sub(0, eq + 1) + Cp1251String(IntToStr(int64_t(n) + add)));
            return;
        }
    }
    list.Add(name + Cp1251String("=") + Cp1251String(IntToStr(add)));
}

enum TStage { MarkingStage, AreaStage, SignStage };

} // namespace

// ---- Shared names and texts

const Cp1251String &WhitePaintName() {
    static const Cp1251String s = Cp("Краска белая");
    return s;
}
const Cp1251String &WhitePlasticName() {
    static const Cp1251String s = Cp("Пластик белый");
    return s;
}
const Cp1251String &YellowPaintName() {
    static const Cp1251String s = Cp("Краска желтая");
    return s;
}
const Cp1251String &YellowPlasticName() {
    static const Cp1251String s = Cp("Пластик желтый");
    return s;
}

Cp1251String CalcFigureText(double value, bool unknown, int width, int decimals) {
    std::string s = std::isfinite(value) ? FormatFixed(value, decimals) : std::string("?");
    if (s.size() < static_cast<std::size_t>(width))
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    if (unknown && std::isfinite(value))
        s += "+?";
    return Cp1251String(s);
}

TSortedSumRec &FindOrAddSortedSum(TSortedSumArray &list, const Cp1251String &name) {
    for (TSortedSumRec &r : list)
        if (SameText(r.Name, name))
            return r;
    list.push_back({name, 0, false});
    return list.back();
}

void SetCalcMarkingReader(int typeCode, TCalcMarkingReader reader) {
    if (reader)
        MarkingReaders()[typeCode] = std::move(reader);
    else
        MarkingReaders().erase(typeCode);
}

void SetCalcArrowDefs(std::function<std::vector<TCalcArrowDef>()> source) {
    ArrowDefsSource() = std::move(source);
}

// ---- Record and drawing

void TCalcAreaItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr l = NewItemBatch(TBatchKind::Lines);
    l->SetColor(OutlineColor);
    street.TypeBatches(CalcAreaTypeCode) = {l};
}

void TCalcAreaItem::LoadFromStream(TStream &stream) {
    TPolygonItem::LoadFromStream(stream);
    if (CheckStreamTag(stream, "CALCCONN"))
        PasspAxisRef.LoadFromStream(stream);
    if (CheckStreamTag(stream, "CALCCOMM"))
        SetComment(ReadStreamString(stream, "TCalcAreaItem.LoadFromStream"));
}

void TCalcAreaItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    TItemBatches &batches = street->TypeBatches(CalcAreaTypeCode);
    TItemBatch *line = !batches.empty() ? batches[0].get() : nullptr;
    Points.EnsureGeometry();
    if (Points.Count() < 3)
        return;
    Triangles();
    if (!line)
        return;
    line->SetLayerFilter(PlanLayerMask);
    const TXYZArray &d = Points.Dense();
    if (d.size() >= 2)
        line->AddPolylineRange(Serial(), d, static_cast<int>(d.size()) - 1, 0);
}

TTextureSurface *TCalcAreaItem::HatchTexture() {
    THatch &h = Hatch();
    if (h.Tried)
        return h.Texture.get();
    h.Tried = true;
    h.Texture = LoadDataTexture(Cp("Текстуры\\CalcAreaTex.bmp"), "CalcAreaTex.bmp", "the calculation area hatch");
    // One texel per pixel: sampled as it is, so that the hatch stays sharp and its key stays clear.
    if (h.Texture)
        h.Texture->MinFilter = h.Texture->MagFilter = 0;
    return h.Texture.get();
}

void TCalcAreaItem::FreeHatchTexture() {
    Hatch() = THatch();
}

void TCalcAreaItem::Draw(const TDxDrawParams &params, uint32_t layer) {
    if (!params.Renderer || (layer & PlanLayerMask) == 0 || Points.Count() < 3)
        return;
    const TXYZArray &triangles = Triangles();
    if (triangles.size() < 3)
        return;
    TTextureSurface *hatch = HatchTexture();
    if (!hatch)
        return;
    TdxRenderer &r = *params.Renderer;
    r.PushMatrices();
    DxOverlayBeginScreen(params);
    DxOverlayDrawTexturedPolygon(params, triangles, *hatch);
    DxOverlayFlush(params);
    r.PopMatrices();
}

// ---- Results

void TCalcAreaItem::ClearResults() {
    MarkingRows.clear();
    WhitePlasticArea = WhitePaintArea = YellowPlasticArea = YellowPaintArea = {};
    DividingStripArea = RoadwayArea = LawnArea = SidewalkArea = ShoulderArea = DesignFigureArea = {};
    RoadwayCategories.clear();
    SidewalkCategories.clear();
    FenceTypes.clear();
    CurbLength = TramLineLength = {};
    ManholeCount = GratingCount = StopCount = 0;
    SignsByNumber.Clear();
    SignsByStatus.Clear();
    Unknowns.clear();
    NotCounted.clear();
}

void TCalcAreaItem::Note(std::vector<TCalcNote> &list, TAbstractItem &item, const Cp1251String &reason) {
    // Two rows of one item missing for one reason (a crossing's white and yellow) make one line.
    if (!list.empty() && list.back().Id == item.ID() && list.back().Reason == reason &&
        list.back().Stage == Stage_)
        return;
    list.push_back({item.GetDisplayName(), item.ID(), reason, Stage_});
}

void TCalcAreaItem::BeginStage(int stage) {
    Stage_ = stage;
    auto drop = [stage](const TCalcNote &n) { return n.Stage == stage; };
    std::erase_if(Unknowns, drop);
    std::erase_if(NotCounted, drop);
}

void TCalcAreaItem::CalcMarkings() {
    if (!CanCalculate()) {
        ClearResults();
        return;
    }
    BeginStage(MarkingStage);
    MarkingRows.clear();
    TStreetStructure *street = Street();
    if (!street)
        return;
    TAreaClip clip(*this);
    const Cp1251String notConnected = Cp("тип не подключен к расчету");

    // Line markings, one row per parameter record.
    const TLnParamArray params = street->GetLnRazmetParams();
    for (const TLnParamRec &rec : params) {
        TRazmetSumRecord r;
        r.Name = rec.Name;
        r.Description = rec.Description;
        r.Count = rec.CountItems ? 0 : -1;
        r.Length = 0;
        r.Material = rec.Yellow ? (rec.Plastic ? YellowPlasticName() : YellowPaintName())
                                : (rec.Plastic ? WhitePlasticName() : WhitePaintName());
        MarkingRows.push_back(r);
    }
    for (TAbstractItem *item : clip.Candidates(LineRazmetTypeCode)) {
        item->Points.EnsureGeometry();
        const TCalcFigure inside = clip.LengthInside(item->Points.Dense());
        if (!(inside.Value > 0) && !inside.Unknown)
            continue;
        auto *marking = dynamic_cast<TLineRazmetItem *>(item);
        const int32_t index = marking ? FindLnParam(params, marking->Gost()) : -1;
        if (index < 0) {
            Note(NotCounted, *item,
                 Cp("нет записи параметров разметки \"") + (marking ? marking->Gost() : Cp1251String()) +
                     Cp("\""));
            continue;
        }
        const TLnParamRec &rec = params[static_cast<std::size_t>(index)];
        TRazmetSumRecord &r = MarkingRows[static_cast<std::size_t>(index)];
        const double len = LnParamCountedLength(rec, inside.Value);
        const double paint = std::fabs(double(rec.Disp1) - rec.Disp2) * len * rec.SqCoeff;
        r.Length += len;
        if (std::isfinite(paint)) {
            r.Area += paint;
        } else {
            r.AreaUnknown = true;
            Note(Unknowns, *item, Cp("ширина или коэффициент записи параметров не число"));
        }
        if (inside.Unknown) {
            r.LengthUnknown = r.AreaUnknown = true;
            Note(Unknowns, *item, Cp("длина внутри области неизвестна (неполная триангуляция)"));
        }
        if (r.Count != -1 && len > 0)
            ++r.Count;
    }

    // Rows of the marking types read through their readers.
    const std::size_t zebraRow = MarkingRows.size();
    const bool zebPlast = street->ZebPlast() != 0;
    const Cp1251String &zebWhite = zebPlast ? WhitePlasticName() : WhitePaintName();
    const Cp1251String &zebYellow = zebPlast ? YellowPlasticName() : YellowPaintName();
    MarkingRows.push_back(
        Row("1.14.1", "Разметка пешеходного перехода. Линии шириной 40 см. с шагом 1 м.", zebWhite));
    MarkingRows.push_back(Row("1.14.1(ж)", "Разметка пешеходного перехода. Желтый фон", zebYellow));
    MarkingRows.push_back(Row(
        "1.14.2", "Разметка пешеходного перехода со стрелками. Линии шириной 40 см. с шагом 1 м.", zebWhite));
    MarkingRows.push_back(
        Row("1.14.2(ж)", "Разметка пешеходного перехода со стрелками. Желтый фон", zebYellow));

    const std::size_t islandRow = MarkingRows.size();
    const Cp1251String &ostWhite = street->OstPlast() ? WhitePlasticName() : WhitePaintName();
    MarkingRows.push_back(
        Row("1.16.1", "Островок. Разделение тр. потоков противоположных направлений", ostWhite));
    MarkingRows.push_back(Row("1.16.2", "Островок. Разделение тр. потоков одного направления", ostWhite));
    MarkingRows.push_back(Row("1.16.3", "Островок. Слияние тр. потоков ", ostWhite));
    MarkingRows.push_back(Row("1.16.4*", "Островок. Наклонные параллельные штрихи (нестандарт.)", ostWhite));
    MarkingRows.push_back(Row("1.16.5*", "Островок. Произвольные штрихи (нестандарт.)", ostWhite));

    const std::size_t stopRow = MarkingRows.size();
    MarkingRows.push_back(Row("1.17", "Разметка остановки общ. транспорта. Желтая линия шириной 10 см.",
                              street->StpPlast() ? YellowPlasticName() : YellowPaintName()));
    MarkingRows[stopRow].Length = 0;

    const std::size_t arrowRow = MarkingRows.size();
    const bool big = street->ArrowBig() != 0;
    const Cp1251String &arrWhite = street->ArrPlast() ? WhitePlasticName() : WhitePaintName();
    std::vector<TCalcArrowDef> arrows;
    if (ArrowDefsSource())
        arrows = ArrowDefsSource()();
    for (const TCalcArrowDef &a : arrows) {
        TRazmetSumRecord r;
        r.Name = a.GostSubName;
        r.Description = big ? a.DescriptionHigh : a.DescriptionLow;
        r.Count = 0;
        r.Material = arrWhite;
        MarkingRows.push_back(r);
    }

    const std::size_t textRow = MarkingRows.size();
    MarkingRows.push_back(Row("1.21", "Приближение к стоп-линии (СТОП)", arrWhite));
    MarkingRows.push_back(Row("1.22", "Обозначение номера дороги", arrWhite));
    const std::size_t signRow = MarkingRows.size();
    MarkingRows.push_back(Row("1.24.1", "Дублирование предупреждающих знаков", arrWhite));
    MarkingRows.push_back(Row("1.24.2", "Дублирование запрещающих знаков", arrWhite));
    MarkingRows.push_back(Row("1.24.3", "Знак инвалиды", arrWhite));
    MarkingRows.push_back(Row("1.24.4(*)", "Знак пешеходный переход(нестандарт 0.5x0.5м)", arrWhite));

    auto addArea = [&](TRazmetSumRecord &r, TAbstractItem &item, const std::optional<double> &area,
                       const Cp1251String &problem) {
        if (area && std::isfinite(*area)) {
            r.Area += *area;
            return;
        }
        r.AreaUnknown = true;
        Note(Unknowns, item, problem.Empty() ? Cp("площадь окраски неизвестна") : problem);
    };
    auto vertexInside = [&](TAbstractItem &item, int last) {
        int k = 0;
        for (int i = 0; i <= last && i < item.Points.Count(); ++i)
            k += clip.PointInside(item.Points.GetPoint(i)) ? 1 : 0;
        return k;
    };
    // Reads the figures of an item inside; nothing (and a note) when its type has no reader.
    auto figures = [&](TAbstractItem &item, TCalcMarkingFigures &f) {
        auto it = MarkingReaders().find(item.GetTypeCode());
        if (it == MarkingReaders().end() || !it->second(item, f)) {
            Note(NotCounted, item, notConnected);
            return false;
        }
        return true;
    };
    const TItemTypeSet readTypes{ArrowRazmetTypeCode, OstrovokTypeCode,   RazmetStopTypeCode,
                                 ZebraTypeCode,       RazmetTextTypeCode, RazmetZnakTypeCode};
    for (TAbstractItem *item : clip.Candidates(readTypes)) {
        const int n = item->Points.Count();
        TCalcMarkingFigures f;
        switch (item->GetTypeCode()) {
        case ZebraTypeCode: {
            if (vertexInside(*item, n - 2) == 0 || !figures(*item, f))
                break;
            if (!f.Width || !std::isfinite(*f.Width)) {
                Note(NotCounted, *item, Cp("ширина перехода неизвестна"));
                break;
            }
            TRazmetSumRecord *rows = &MarkingRows[zebraRow + (*f.Width <= 6 ? 0 : 2)];
            ++rows[0].Count;
            addArea(rows[0], *item, f.PaintArea, f.Problem);
            if (f.HasYellow) {
                ++rows[1].Count;
                addArea(rows[1], *item, f.YellowArea, f.Problem);
            }
            break;
        }
        case OstrovokTypeCode: {
            item->Points.EnsureGeometry();
            const TCalcFigure inside = clip.LengthInside(item->Points.Dense());
            if ((!(inside.Value > 0) && !inside.Unknown) || !figures(*item, f))
                break;
            if (!f.Variant || *f.Variant < 0 || *f.Variant > 4) {
                Note(NotCounted, *item, Cp("вариант островка вне строк"));
                break;
            }
            TRazmetSumRecord &r = MarkingRows[islandRow + static_cast<std::size_t>(*f.Variant)];
            ++r.Count;
            addArea(r, *item, f.PaintArea, f.Problem);
            break;
        }
        case RazmetStopTypeCode: {
            item->Points.EnsureGeometry();
            const TCalcFigure inside = clip.LengthInside(item->Points.Dense());
            if ((!(inside.Value > 0) && !inside.Unknown) || !figures(*item, f))
                break;
            TRazmetSumRecord &r = MarkingRows[stopRow];
            ++r.Count;
            if (f.MarkingLength && std::isfinite(*f.MarkingLength))
                r.Length += *f.MarkingLength;
            else
                r.LengthUnknown = true;
            addArea(r, *item, f.PaintArea, f.Problem);
            break;
        }
        case ArrowRazmetTypeCode: {
            const int k = vertexInside(*item, n - 2);
            if (k == 0 || !figures(*item, f))
                break;
            if (!f.ArrowSymbol || *f.ArrowSymbol < 0 ||
                static_cast<std::size_t>(*f.ArrowSymbol) >= arrows.size()) {
                Note(NotCounted, *item, Cp("символ стрелки вне библиотеки"));
                break;
            }
            const TCalcArrowDef &a = arrows[static_cast<std::size_t>(*f.ArrowSymbol)];
            TRazmetSumRecord &r = MarkingRows[arrowRow + static_cast<std::size_t>(*f.ArrowSymbol)];
            r.Count += k;
            addArea(r, *item, k * (big ? a.Area2 : a.Area1), f.Problem);
            break;
        }
        case RazmetTextTypeCode:
        case RazmetZnakTypeCode: {
            if (n < 1 || !clip.PointInside(item->Points.GetPoint(0)) || !figures(*item, f))
                break;
            const bool text = item->GetTypeCode() == RazmetTextTypeCode;
            const std::size_t first = text ? textRow : signRow, count = text ? 2 : 4;
            TRazmetSumRecord *row = nullptr;
            for (std::size_t i = first; i < first + count; ++i)
                if (MarkingRows[i].Name == f.GostNumber)
                    row = &MarkingRows[i];
            if (!row) {
                Note(NotCounted, *item, Cp("номер \"") + f.GostNumber + Cp("\" вне строк"));
                break;
            }
            ++row->Count;
            addArea(*row, *item, f.PaintArea, f.Problem);
            break;
        }
        default:
            break;
        }
    }
    if (big)
        for (std::size_t i = textRow; i < textRow + 2; ++i)
            MarkingRows[i].Area *= 4 / 1.6;

    // Totals by material.
    WhitePlasticArea = WhitePaintArea = YellowPlasticArea = YellowPaintArea = {};
    for (const TRazmetSumRecord &r : MarkingRows) {
        TCalcFigure *total = r.Material == WhitePlasticName()    ? &WhitePlasticArea
                             : r.Material == WhitePaintName()    ? &WhitePaintArea
                             : r.Material == YellowPlasticName() ? &YellowPlasticArea
                             : r.Material == YellowPaintName()   ? &YellowPaintArea
                                                                 : nullptr;
        if (total)
            Add(*total, {r.Area, r.AreaUnknown});
    }
}

void TCalcAreaItem::CalcAreas() {
    if (!CanCalculate()) {
        ClearResults();
        return;
    }
    BeginStage(AreaStage);
    DividingStripArea = RoadwayArea = LawnArea = SidewalkArea = ShoulderArea = DesignFigureArea = {};
    RoadwayCategories.clear();
    SidewalkCategories.clear();
    FenceTypes.clear();
    CurbLength = TramLineLength = {};
    ManholeCount = GratingCount = StopCount = 0;
    if (!Street())
        return;
    TAreaClip clip(*this);
    const Cp1251String incomplete = Cp("площадь перекрытия неизвестна (неполная триангуляция)");
    const Cp1251String lengthUnknown = Cp("длина внутри области неизвестна (неполная триангуляция)");
    const Cp1251String notPolygon = Cp("элемент не является многоугольником");
    static const Cp1251String fenceGroup = Cp("Ограждения-линии");

    const TItemTypeSet types{RazdPolTypeCode,    RoadWayTypeCode,      TrotuarTypeCode, GazonTypeCode,
                             ObochTypeCode,      DesignFigureTypeCode, BortTypeCode,    TramWayTypeCode,
                             DesignLineTypeCode, KolodTypeCode,        ReshetTypeCode,  StopTypeCode};
    for (TAbstractItem *item : clip.Candidates(types)) {
        const int code = item->GetTypeCode();
        TCalcFigure *sum = code == RazdPolTypeCode        ? &DividingStripArea
                           : code == RoadWayTypeCode      ? &RoadwayArea
                           : code == GazonTypeCode        ? &LawnArea
                           : code == TrotuarTypeCode      ? &SidewalkArea
                           : code == ObochTypeCode        ? &ShoulderArea
                           : code == DesignFigureTypeCode ? &DesignFigureArea
                                                          : nullptr;
        if (sum) {
            auto *polygon = dynamic_cast<TPolygonItem *>(item);
            if (!polygon) {
                item->Points.EnsureGeometry();
                if (clip.Place(item->Points.Dense()) != TPlace::Outside)
                    Note(NotCounted, *item, notPolygon);
                continue;
            }
            const TCalcFigure v = clip.OverlapArea(*polygon);
            if (v.Value == 0 && !v.Unknown)
                continue;
            Add(*sum, v);
            if (v.Unknown)
                Note(Unknowns, *item, incomplete);
            TSortedSumArray *categories = nullptr;
            Cp1251String category;
            if (auto *rw = dynamic_cast<TRoadWayItem *>(item)) {
                categories = &RoadwayCategories;
                category = rw->PasspCategory();
            } else if (auto *tr = dynamic_cast<TTrotuarItem *>(item)) {
                categories = &SidewalkCategories;
                category = tr->PasspCategory();
            }
            if (categories) {
                TSortedSumRec &c =
                    FindOrAddSortedSum(*categories, category.Empty() ? NoCategory() : category);
                c.Value += v.Value;
                c.Unknown = c.Unknown || v.Unknown;
            }
            continue;
        }
        if (code == KolodTypeCode || code == ReshetTypeCode || code == StopTypeCode) {
            if (item->Points.Count() > 0 && clip.PointInside(item->Points.GetPoint(0)))
                ++(code == KolodTypeCode ? ManholeCount : code == ReshetTypeCode ? GratingCount : StopCount);
            continue;
        }
        const bool fence = code == DesignLineTypeCode;
        if (fence && !SameText(item->GroupName(), fenceGroup))
            continue;
        item->Points.EnsureGeometry();
        const TCalcFigure v = clip.LengthInside(item->Points.Dense());
        if (v.Value == 0 && !v.Unknown)
            continue;
        if (v.Unknown)
            Note(Unknowns, *item, lengthUnknown);
        if (fence) {
            TSortedSumRec &t =
                FindOrAddSortedSum(FenceTypes, item->Comment2().Empty() ? NoType() : item->Comment2());
            t.Value += v.Value;
            t.Unknown = t.Unknown || v.Unknown;
        } else {
            Add(code == BortTypeCode ? CurbLength : TramLineLength, v);
        }
    }
}

void TCalcAreaItem::CountSigns() {
    if (!CanCalculate()) {
        ClearResults();
        return;
    }
    BeginStage(SignStage);
    SignsByNumber.Clear();
    SignsByStatus.Clear();
    if (!Street())
        return;
    TAreaClip clip(*this);
    auto count = [&](const Cp1251String &number, const Cp1251String &status, int add) {
        AddSignCount(SignsByNumber, number, add);
        AddSignCount(SignsByStatus, status.Empty() ? NoStatus() : status, add);
    };
    static const Cp1251String kmNumber("6.13");
    const TItemTypeSet types{ZnakTypeCode, RoadSignTypeCode, KMSignTypeCode};
    for (TAbstractItem *item : clip.Candidates(types)) {
        if (item->Points.Count() < 1 || !clip.PointInside(item->Points.GetPoint(0)))
            continue;
        if (auto *post = dynamic_cast<TZnakItem *>(item)) {
            for (int i = 0; i < post->PlateCount(); ++i)
                if (const TEmfSubItem *plate = post->GetPlate(i))
                    count(plate->GetSignNumber(), plate->Status(), 1);
        } else if (auto *plate = dynamic_cast<TRoadSignItem *>(item)) {
            count(plate->GetSignNumber(), Cp1251String(), 1);
        } else if (auto *km = dynamic_cast<TKMSignItem *>(item)) {
            const int k = (km->KmA() >= 0 ? 1 : 0) + (km->KmB() >= 0 ? 1 : 0);
            if (k > 0)
                count(kmNumber, km->Status(), k);
        } else {
            Note(NotCounted, *item, Cp("тип не подключен к расчету"));
        }
    }
    std::vector<Cp1251String> lines = SignsByNumber.AllLines();
    std::stable_sort(lines.begin(), lines.end(), [](const Cp1251String &a, const Cp1251String &b) {
        const Cp1251String na = a.Sub(0, a.Bytes().rfind('=')), nb = b.Sub(0, b.Bytes().rfind('='));
        return CompareText(na, nb) < 0;
    });
    SignsByNumber.Clear();
    for (const Cp1251String &l : lines)
        SignsByNumber.Add(l);
}

namespace {

void ReportSums(const TSortedSumArray &list, const char *title, const char *unit,
                std::vector<Cp1251String> &lines) {
    if (list.empty())
        return;
    lines.push_back(Cp(title));
    for (const TSortedSumRec &r : list)
        lines.push_back(Cp1251String("\t") + r.Name + Cp1251String("\t") +
                        CalcFigureText(r.Value, r.Unknown, 3, 1) + Cp(unit));
}

} // namespace

void TCalcAreaItem::ReportRoadway(std::vector<Cp1251String> &lines) const {
    ReportSums(RoadwayCategories, "Проезжая часть по категориям:", " кв.м.", lines);
}

void TCalcAreaItem::ReportSidewalk(std::vector<Cp1251String> &lines) const {
    ReportSums(SidewalkCategories, "Тротуар по категориям:", " кв.м.", lines);
}

void TCalcAreaItem::ReportFences(std::vector<Cp1251String> &lines) const {
    ReportSums(FenceTypes, "Ограждения по типам:", " м.", lines);
}

void RegisterCalcAreaItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TCalcAreaItem>>(CalcAreaTypeCode));
    ConnectCalcAreaSources();
}
