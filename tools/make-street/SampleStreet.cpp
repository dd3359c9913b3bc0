#include "SampleStreet.h"

#include "StreetGen.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/AxisItem.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "objects/KMSignItem.h"
#include "objects/KolodItem.h"
#include "objects/Kern.h"
#include "objects/LineRazmetItem.h"
#include "objects/OstrovokItem.h"
#include "objects/PictureItem.h"
#include "objects/RazmerItem.h"
#include "objects/RazmetText.h"
#include "objects/RoadSignItem.h"
#include "objects/RoadWay.h"
#include "objects/RoadWallItem.h"
#include "objects/RulerItem.h"
#include "objects/TextLabelItem.h"
#include "objects/StopItem.h"
#include "objects/ZnakItem.h"
#include "objects/ZebraItem.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

constexpr int DividingStrip = RazdPolTypeCode, RoadWay = RoadWayTypeCode, Sidewalk = TrotuarTypeCode,
              Lawn = GazonTypeCode, Shoulder = ObochTypeCode, House = HouseTypeCode, Curb = BortTypeCode,
              Fence = RoadWallTypeCode, Marking = LineRazmetTypeCode, TramLine = TramWayTypeCode,
              RefPoints = RulerTypeCode, Curve = ArcCoordsTypeCode, Manhole = KolodTypeCode;

constexpr double Length = 160; // metres along the avenue
constexpr double Step = 4;     // metres between vertices along an edge
constexpr int Segments = static_cast<int>(Length / Step);
constexpr int BlockSegments = 10; // sidewalks and lawns come in blocks of 40 m

// Lateral positions of the edges, from the right side of the avenue to the left (metres).
constexpr std::array<double, 8> Edges = {-15, -11, -8, -1, 1, 8, 11, 15};

// A small picture of the sample's own (in no library): a green square with a white bar, as an enhanced
// metafile of 60 units a side laid out here byte by byte.
TMetafile OwnPicture() {
    std::vector<uint8_t> b;
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t side = 60, frame = side * 2540 / 96;
    for (uint32_t v : {1u,       88u, 0u, 0u, side - 1, side - 1, 0u, 0u,   frame, frame, 0x464D4520u,
                       0x10000u, 0u,  8u, 3u, 0u,       0u,       0u, 960u, 960u,  254u,  254u})
        u32(v);
    for (uint32_t v : {39u, 24u, 1u, 0u, 0x00308020u, 0u, 37u, 12u, 1u, 43u, 24u, 0u, 0u, side, side})
        u32(v); // green brush, selected, the square
    for (uint32_t v : {39u, 24u, 2u, 0u, 0x00FFFFFFu, 0u, 37u, 12u, 2u, 43u, 24u, 10u, 25u, 50u, 35u})
        u32(v); // white brush, selected, the bar
    for (uint32_t v : {14u, 20u, 0u, 16u, 20u})
        u32(v);
    const uint32_t total = static_cast<uint32_t>(b.size());
    std::memcpy(b.data() + 48, &total, 4);
    TMetafile m;
    m.LoadFromBytes(b.data(), b.size(), "sample picture");
    return m;
}

bool Has(int type) {
    return ItemClasses[type] != nullptr;
}

class TSample {
public:
    explicit TSample(TStreetStructure &street) : Street_(street) {
        for (std::size_t e = 0; e < Edges.size(); ++e)
            for (int k = 0; k <= Segments; ++k)
                Grid_[e].push_back(Street_.Pool().AddPointRec(At(k * Step, Edges[e])));
    }

    // A point of the avenue: along its curving centre line, offset across it.
    static TXYZ At(double along, double across) {
        const double y = 6 * std::sin(std::numbers::pi * along / Length);
        const double slope = 6 * std::numbers::pi / Length * std::cos(std::numbers::pi * along / Length);
        const double n = std::sqrt(1 + slope * slope);
        return {static_cast<float>(along - across * slope / n), static_cast<float>(y + across / n), 0};
    }

    // The strip between two edges from segment k0 to k1, as an outline on the shared vertices.
    void Strip(int type, std::size_t lower, std::size_t upper, int k0, int k1) {
        if (!Has(type))
            return;
        TAbstractItem *item = Street_.Lists(type).AddNew();
        for (int k = k0; k <= k1; ++k)
            item->Points.Insert(item->Points.Count(), Grid_[lower][static_cast<std::size_t>(k)]);
        for (int k = k1; k >= k0; --k)
            item->Points.Insert(item->Points.Count(), Grid_[upper][static_cast<std::size_t>(k)]);
    }

    TAbstractItem *Line(int type, std::size_t edge, int k0, int k1) {
        if (!Has(type))
            return nullptr;
        TAbstractItem *item = Street_.Lists(type).AddNew();
        for (int k = k0; k <= k1; ++k)
            item->Points.Insert(item->Points.Count(), Grid_[edge][static_cast<std::size_t>(k)]);
        return item;
    }

    // A fence on an edge, its symbols on the side away from the street.
    void FenceLine(std::size_t edge, int32_t kind) {
        if (auto *fence = dynamic_cast<TRoadWallItem *>(Line(Fence, edge, 0, Segments)))
            fence->SetKind(kind);
    }

    // A line of its own vertices along the avenue, every `step` metres.
    void OwnLine(int type, double across, double step) {
        if (!Has(type))
            return;
        TAbstractItem *item = Street_.Lists(type).AddNew();
        for (double along = 0; along <= Length + 1e-9; along += step)
            item->Points.InsertNewPoint(item->Points.Count(), At(along, across));
    }

    // A marking on the shared vertices of an edge (its strip lies right of the line unless mirrored).
    void EdgeMarking(std::size_t edge, const char *code, bool mirror) {
        if (!Has(Marking))
            return;
        TAbstractItem *item = Street_.Lists(Marking).AddNew();
        if (auto *marking = dynamic_cast<TLineRazmetItem *>(item)) {
            marking->SetGost(Cp(code));
            marking->SetMirror(mirror ? 1 : 0);
        }
        for (int k = 0; k <= Segments; ++k)
            item->Points.Insert(item->Points.Count(), Grid_[edge][static_cast<std::size_t>(k)]);
    }

    // A marking of its own vertices along the avenue, across from the centre line.
    void LaneMarking(double across, const char *code) {
        if (!Has(Marking))
            return;
        TAbstractItem *item = Street_.Lists(Marking).AddNew();
        if (auto *marking = dynamic_cast<TLineRazmetItem *>(item))
            marking->SetGost(Cp(code));
        for (int k = 0; k <= Segments; ++k)
            item->Points.InsertNewPoint(item->Points.Count(), At(k * Step, across));
    }

    // A building behind the fence: a block of its own vertices.
    void Building(double along0, double along1, double across0, double across1) {
        if (!Has(House))
            return;
        TAbstractItem *item = Street_.Lists(House).AddNew();
        const TXYZ corners[] = {At(along0, across0), At(along1, across0), At(along1, across1),
                                At(along0, across1)};
        for (const TXYZ &corner : corners)
            item->Points.InsertNewPoint(item->Points.Count(), corner);
    }

    void Point(int type, double along, double across) {
        if (!Has(type))
            return;
        Street_.Lists(type).AddNew()->Points.InsertNewPoint(0, At(along, across));
    }

    // Trees on a lawn, a bordered strip along the divider and a tiled square before a building, in the
    // generated design styles, and a pavement core on the road way.
    void Decor() {
        if (!Has(DesignFigureTypeCode) || !Has(DesignLineTypeCode) || !Has(DesignBlockTypeCode))
            return;
        AddDesignLibraries(Street_);
        auto *trees = dynamic_cast<TDesignBlockItem *>(Street_.Lists(DesignBlockTypeCode).AddNew());
        for (double along = 124; along <= 148; along += 6)
            trees->Points.InsertNewPoint(trees->Points.Count(), At(along, 9.5));
        trees->SetBlockName(Cp("Дерево"));
        auto *strip = dynamic_cast<TDesignLineItem *>(Street_.Lists(DesignLineTypeCode).AddNew());
        for (double along = 20; along <= 60; along += 4)
            strip->Points.InsertNewPoint(strip->Points.Count(), At(along, 0));
        strip->SetExtDef(Cp("Бордюр"));
        auto *square = dynamic_cast<TDesignFigureItem *>(Street_.Lists(DesignFigureTypeCode).AddNew());
        for (const TXYZ &corner : {At(64, -17.5), At(88, -17.5), At(88, -15.5), At(64, -15.5)})
            square->Points.InsertNewPoint(square->Points.Count(), corner);
        square->SetStyleName(Cp("Плитка 3"));
        if (Has(KernTypeCode)) {
            auto *core = dynamic_cast<TKernItem *>(Street_.Lists(KernTypeCode).AddNew());
            core->Points.InsertNewPoint(0, At(100, 4.5));
            core->SetLabel(Cp("К-1"));
            core->MatName1 = Cp("асфальтобетон");
            core->MatH1 = 0.06f;
            core->MatName2 = Cp("щебень");
            core->MatH2 = 0.2f;
        }
    }

    void Run() {
        Strip(RoadWay, 2, 3, 0, Segments);
        Strip(DividingStrip, 3, 4, 0, Segments);
        Strip(RoadWay, 4, 5, 0, Segments);
        for (int k0 = 0; k0 < Segments; k0 += BlockSegments) {
            const int k1 = std::min(k0 + BlockSegments, Segments);
            // The first block of the right side is a shoulder where the lawn has not been laid yet.
            Strip(k0 == 0 ? Shoulder : Lawn, 1, 2, k0, k1);
            Strip(Lawn, 5, 6, k0, k1);
            Strip(Sidewalk, 0, 1, k0, k1);
            Strip(Sidewalk, 6, 7, k0, k1);
        }
        for (std::size_t edge : {2, 3, 4, 5})
            Line(Curb, edge, 0, Segments);
        // A curve under the right outer curb, which with its edge line follows it.
        Line(Curve, 2, 14, 18);
        EdgeMarking(2, "1.2.1", true);
        EdgeMarking(3, "1.2.1", false);
        EdgeMarking(4, "1.2.1", true);
        EdgeMarking(5, "1.2.2", false);
        LaneMarking(-4.5, "1.5");
        LaneMarking(4.5, "1.5");
        MarkingFigures();
        FenceLine(0, TRoadWallItem::Left);
        FenceLine(7, TRoadWallItem::Right);
        OwnLine(TramLine, 6, 8);
        if (Has(RefPoints)) {
            TAbstractItem *points = Street_.Lists(RefPoints).AddNew();
            for (const double along : {30.0, 80.0, 130.0})
                points->Points.InsertNewPoint(points->Points.Count(), At(along, -17));
            if (auto *ruler = dynamic_cast<TRulerItem *>(points))
                ruler->SetColor(MakeD3DColor(200, 0, 0, 255));
        }
        Building(12, 48, -18, -30);
        Building(60, 92, -18, -26);
        Building(104, 148, 18, 28);
        for (double along = 20; along < Length; along += 40) {
            Point(Manhole, along, -4.5);
            Point(Manhole, along + 20, 4.5);
        }
        Drainage();
        Decor();
        IslandsAndCrossings();
        RoadPaint();
        MainAxis();
        Signs();
        Stops();
        Dimensions();
        CalcArea();
        Street_.SetName(Cp("Образцовый проспект"));
        Street_.SetStart(Cp("от площади"));
        Street_.SetFinish(Cp("до моста"));
    }

    // Hatched islands on the right carriageway, one per scheme and one of an older file hatched from its
    // nose, and crossings: a narrow one with yellow patches, a plain one and a wide one in two halves.
    void IslandsAndCrossings() {
        if (Has(OstrovokTypeCode))
            for (int scheme = 0; scheme <= 5; ++scheme) {
                auto *island = dynamic_cast<TOstrovokItem *>(Street_.Lists(OstrovokTypeCode).AddNew());
                const double along = 44 + 12 * scheme, across = -6.25;
                for (const TXYZ &p : {At(along + 7, across + 1.2), At(along, across), At(along + 7, across - 1.2),
                                      At(along + 9, across)})
                    island->Points.InsertNewPoint(island->Points.Count(), p);
                island->MainPoint = 1;
                if (scheme < 5)
                    island->SetGostVariant(scheme);
                else
                    island->StandardScheme = 0;
            }
        if (!Has(ZebraTypeCode))
            return;
        const auto crossing = [&](double along, double from, double to, float width, bool yellow) {
            auto *zebra = dynamic_cast<TZebraItem *>(Street_.Lists(ZebraTypeCode).AddNew());
            zebra->Points.InsertNewPoint(0, At(along, from));
            zebra->Points.InsertNewPoint(1, At(along, to));
            zebra->Width = width;
            zebra->YellowBackground = yellow ? 1 : 0;
        };
        crossing(20, 1, 8, 4, true);
        crossing(140, -8, -1, 5, false);
        crossing(152, -8, 8, 8, true);
    }

    // Lane arrows in all four lanes (those against the main axis label reading along it), a stop zone inside
    // the right edge line and label places across the carriageways' markings.
    void MarkingFigures() {
        const auto add = [&](int type, std::initializer_list<std::pair<double, double>> points) {
            TAbstractItem *item = Street_.Lists(type).AddNew();
            for (const auto &[along, across] : points)
                item->Points.InsertNewPoint(item->Points.Count(), At(along, across));
            return item;
        };
        if (Has(ArrowRazmetTypeCode)) {
            const auto arrow = [&](const char *symbol, std::initializer_list<std::pair<double, double>> points) {
                if (auto *a = dynamic_cast<TArrowRazmetItem *>(add(ArrowRazmetTypeCode, points)))
                    a->SetArrowIndex(ArrowDefIndex(Cp(symbol)));
            };
            arrow("Прямо", {{20, -6.25}, {28, -6.25}, {36, -6.25}});
            arrow("Прямо или налево", {{60, -2.75}, {70, -2.75}});
            arrow("Прямо или направо", {{104, 6.25}, {94, 6.25}});
            arrow("Разворот", {{100, 2.75}, {90, 2.75}});
        }
        if (Has(RazmetStopTypeCode))
            add(RazmetStopTypeCode, {{118, -7.7}, {134, -7.7}});
        if (Has(RazmetLabelPlaceTypeCode)) {
            add(RazmetLabelPlaceTypeCode, {{46, -9}, {46, 9}});
            add(RazmetLabelPlaceTypeCode, {{142, -9}, {143, -0.5}});
        }
    }

    // Owners on every other manhole, with their labels turned with the main axis; drain gratings along the
    // curbs of the road ways, and text labels: the street's name along it and a note turned across it.
    void Drainage() {
        static const char *const owners[] = {"Водоканал", "МГТС"};
        int n = 0;
        for (const auto &item : Street_.Lists(Manhole))
            if (auto *k = dynamic_cast<TKolodItem *>(item.get()); k && n++ % 2 == 0)
                k->SetOwner(Cp(owners[(n / 2) % 2]));
        if (Has(ReshetTypeCode))
            for (double along = 10; along < Length; along += 30)
                for (const double across : {-7.6, 7.6}) {
                    TAbstractItem *g = Street_.Lists(ReshetTypeCode).AddNew();
                    g->Points.InsertNewPoint(0, At(along, across));
                    g->Points.InsertNewPoint(1, At(along + 1, across));
                }
        if (!Has(TextLabelTypeCode))
            return;
        const auto label = [&](double along, double across, double towards, const char *text, int32_t size) {
            auto *l = dynamic_cast<TTextLabelItem *>(Street_.Lists(TextLabelTypeCode).AddNew());
            l->Points.InsertNewPoint(0, At(along, across));
            l->Points.InsertNewPoint(1, At(along + towards, across + (towards == 0 ? 1 : 0)));
            l->SetText(Cp(text));
            l->SetSize(size);
            return l;
        };
        label(60, -13, 1, "Образцовый проспект", 24)->SetAlign(4);
        TTextLabelItem *note = label(110, 12.5, 0, "Остановка", 12);
        note->SetColor(MakeD3DColor(160, 20, 20, 255));
        note->SetOutline(true);
        label(24, -3, 1, "Водоканал", 8);
    }

    // "СТОП" before a crossing and a speed limit painted on the right carriageway, a road number on the left
    // one, each reading the right way up to the drivers coming towards it (the glyphs' x runs to the
    // drivers' right).
    void RoadPaint() {
        if (!Has(RazmetTextTypeCode) || !Has(RazmetZnakTypeCode))
            return;
        const auto text = [&](double along, double from, double to, const char *utf8) {
            auto *item = dynamic_cast<TRazmetTextItem *>(Street_.Lists(RazmetTextTypeCode).AddNew());
            item->Points.InsertNewPoint(0, At(along, from));
            item->Points.InsertNewPoint(1, At(along, to));
            item->SetText(Cp(utf8));
        };
        text(30, -2, -7, "СТОП");
        text(60, 2.5, 7.5, "М-10");
        auto *sign = dynamic_cast<TRazmetZnakItem *>(Street_.Lists(RazmetZnakTypeCode).AddNew());
        sign->Points.InsertNewPoint(0, At(90, -4.5));
        sign->Points.InsertNewPoint(1, At(90, -5.5));
        sign->SetSignName(Cp1251String("3.24-40"));
    }

    // A calculation area over the second block of the avenue, from sidewalk to sidewalk.
    void CalcArea() {
        if (!Has(CalcAreaTypeCode))
            return;
        TAbstractItem *area = Street_.Lists(CalcAreaTypeCode).AddNew();
        for (const auto &[along, across] : {std::pair{42.0, -16.0}, {78.0, -16.0}, {78.0, 16.0}, {42.0, 16.0}})
            area->Points.InsertNewPoint(area->Points.Count(), At(along, across));
        area->SetComment(Cp("квартал 2"));
    }

    // The main axis along the centre line with its pickets and ticks, and a kilometre sign beside it.
    void MainAxis() {
        if (!Has(AxisTypeCode))
            return;
        auto *axis = dynamic_cast<TAxisItem *>(Street_.Lists(AxisTypeCode).AddNew());
        for (int k = 0; k <= Segments; k += 2)
            axis->Points.InsertNewPoint(axis->Points.Count(), At(k * Step, 0));
        axis->SetName(Cp("1"));
        axis->SetDrawMarks(true);
        axis->SetDrawShortMarks(true);
        axis->SetMarkWidth(16);
        axis->SetColor(0xFF404040);
        axis->SetTechAttr(Cp("PasspSq"));
        Street_.SetMainAxis(axis);
        if (!Has(KMSignTypeCode))
            return;
        auto *sign = dynamic_cast<TKMSignItem *>(Street_.Lists(KMSignTypeCode).AddNew());
        sign->Points.InsertNewPoint(0, At(100, -17));
        sign->SetKmA(1);
        sign->SetKmB(2);
        sign->SetReferAxis(axis);
    }

    // Two sign posts (plates by library name, one of the sample's own, one the library lacks), a column of
    // chained signs and a picture.
    void Signs() {
        if (!Has(ZnakTypeCode) || !Has(RoadSignTypeCode) || !Has(PictureTypeCode))
            return;
        const auto post = [&](double along, double across, double heading) {
            auto *item = dynamic_cast<TZnakItem *>(Street_.Lists(ZnakTypeCode).AddNew());
            for (double d : {-3.0, 0.0})
                item->Points.InsertNewPoint(item->Points.Count(), At(along + d * heading, across));
            item->Points.InsertNewPoint(0, At(along - 4 * heading, across - 0.5));
            return item;
        };
        TZnakItem *crossing = post(34, -12.5, 1);
        crossing->SetSupportKind(Cp("стойка"));
        crossing->AddPlate()->SetLibraryName(Cp1251String("5-19-1.emf"));
        TEmfSubItem *second = crossing->AddPlate();
        second->SetLibraryName(Cp1251String("5-19-2.emf"));
        second->SetOrigin({0, -0.8f, 0});
        second->SetRotation(180);
        TZnakItem *mixed = post(120, 12.5, -1);
        TEmfSubItem *yield = mixed->AddPlate();
        yield->SetLibraryName(Cp1251String("2-4.emf"));
        TEmfSubItem *own = mixed->AddPlate();
        own->SetMetafile(OwnPicture());
        own->SetOrigin({0.9f, 0, 0});
        own->SetText(Cp("Проезд"));
        TEmfSubItem *missing = mixed->AddPlate();
        missing->SetLibraryName(Cp1251String("8-24.emf"));
        missing->SetOrigin({-0.9f, 0, 0});
        missing->SetStatus(Cp("заказан"));

        // A column: the speed limit on top (its first segment gives the direction), its plate below.
        TStreetPointRec *top = Street_.Pool().AddPointRec(At(80, -13.5));
        TStreetPointRec *ahead = Street_.Pool().AddPointRec(At(81, -13.5));
        TStreetPointRec *below = Street_.Pool().AddPointRec(At(80, -14.5));
        const auto sign = [&](std::initializer_list<TStreetPointRec *> recs, const char *name) {
            auto *item = dynamic_cast<TRoadSignItem *>(Street_.Lists(RoadSignTypeCode).AddNew());
            for (TStreetPointRec *r : recs)
                item->Points.Insert(item->Points.Count(), r);
            item->InitNewItem();
            item->SetLibraryName(Cp1251String(name));
        };
        sign({top, ahead}, "3-24.emf");
        sign({below, top}, "8-2-1.emf");

        auto *picture = dynamic_cast<TPictureItem *>(Street_.Lists(PictureTypeCode).AddNew());
        picture->Points.InsertNewPoint(0, At(150, -20));
        picture->Points.InsertNewPoint(1, At(156, -20));
        picture->SetMetafile(OwnPicture());
    }

    // A stop with a pavilion in a bus bay off the right road way, and a plain stop on the left side.
    void Stops() {
        if (!Has(StopTypeCode))
            return;
        const auto stop = [&](double along, double across, double heading) {
            auto *item = dynamic_cast<TStopItem *>(Street_.Lists(StopTypeCode).AddNew());
            item->Points.InsertNewPoint(0, At(along, across));
            item->Points.InsertNewPoint(1, At(along + heading, across));
            return item;
        };
        if (auto *bay = dynamic_cast<TRoadWayItem *>(Street_.Lists(RoadWay).AddNew())) {
            for (int k = 19; k >= 15; --k)
                bay->Points.Insert(bay->Points.Count(), Grid_[2][static_cast<std::size_t>(k)]);
            bay->Points.InsertNewPoint(bay->Points.Count(), At(63, -10.5));
            bay->Points.InsertNewPoint(bay->Points.Count(), At(73, -10.5));
            bay->SetPasspCategory(Cp("карман остановочный"));
        }
        // Facing against the avenue, the road lies to its right and the pavilion on the sidewalk.
        TStopItem *market = stop(70, -11.5, -1);
        market->SetName(Cp("Рынок"));
        market->SetRoutes(Cp1251String("3, 17, 41"));
        market->SetPlatformArea(12);
        TStopItem *bridge = stop(110, 11.5, 1);
        bridge->SetPavilion(0);
        bridge->SetName(Cp("Мост"));
        bridge->SetRoutes(Cp1251String("3"));
    }

    // A straight dimension across the avenue through every edge of its surfaces, and one along the main
    // axis beside the right side.
    void Dimensions() {
        if (!Has(RazmerTypeCode))
            return;
        auto *across = dynamic_cast<TRazmerItem *>(Street_.Lists(RazmerTypeCode).AddNew());
        across->Points.InsertNewPoint(0, At(30, -16));
        across->Points.InsertNewPoint(1, At(30, 16));
        across->MakeAutoDimention(TItemTypeSet{RoadWay, Sidewalk, DividingStrip});
        TAbstractItem *axis = Street_.GetMainAxis();
        if (!axis)
            return;
        auto *along = dynamic_cast<TRazmerItem *>(Street_.Lists(RazmerTypeCode).AddNew());
        for (const auto &[a, c] : {std::pair{100.0, -20.0}, {150.0, -20.0}, {100.0, -19.0}, {118.0, -19.0},
                                   {135.5, -19.0}, {150.0, -19.0}})
            along->Points.InsertNewPoint(along->Points.Count(), At(a, c));
        along->SetContour(axis);
    }

private:
    TStreetStructure &Street_;
    std::array<std::vector<TStreetPointRec *>, Edges.size()> Grid_;
};

} // namespace

void MakeSampleStreet(TStreetStructure &street) {
    if (!Has(RoadWay))
        RaiseStreetError("MakeSampleStreet", "the road way has no registered class");
    TSample sample(street);
    sample.Run();
}
