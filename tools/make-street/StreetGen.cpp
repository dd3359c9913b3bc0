#include "StreetGen.h"

#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/DesignLibs.h"
#include "model/ItemTypeCodes.h"
#include "objects/AxisItem.h"
#include "objects/KMSignItem.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// The parts of a generated street and the types that may play them, in order of preference.
enum TRole {
    Surface,
    Sidewalk,
    EdgeLine,
    Curve,
    PointObject,
    GuideLine,
    Lawn,
    Shoulder,
    Divider,
    House,
    Fence,
    TramLine,
    RefPoints,
    Marking,
    Arrow,
    StopZone,
    LabelPlace,
    Island,
    Crossing,
    RoleCount
};

const std::array<std::vector<int>, RoleCount> RoleCandidates = {{
    {RoadWayTypeCode, RazdPolTypeCode, GazonTypeCode, ObochTypeCode}, // road surfaces
    {TrotuarTypeCode, GazonTypeCode},                                 // sidewalks
    {BortTypeCode, TramWayTypeCode},                 // curbs and other lines on the surfaces' edges
    {ArcCoordsTypeCode},                             // curves
    {KolodTypeCode, ZnakTypeCode, SvetoforTypeCode}, // manholes, signs, traffic lights
    {AxisTypeCode},                                  // guide axes
    {GazonTypeCode},                                 // lawns along the first row
    {ObochTypeCode},                                 // shoulders along the first row, between the lawns
    {RazdPolTypeCode},                               // dividing strips in the second row, every fourth block
    {HouseTypeCode},                                 // houses beyond the sidewalks
    {RoadWallTypeCode},                              // fences beyond the sidewalks, every other block
    {TramWayTypeCode},                               // tram lines along the middle of the road way
    {RulerTypeCode},                                 // reference points beside the street now and then
    {LineRazmetTypeCode}, // line markings on the carriageway's edge lines and its lane line
    {ArrowRazmetTypeCode},      // lane arrows between the markings
    {RazmetStopTypeCode},       // stop zones by the far edge line
    {RazmetLabelPlaceTypeCode}, // label places across the carriageway's markings
    {OstrovokTypeCode},         // traffic islands in the blocks between the other figures
    {ZebraTypeCode},            // crossings across the carriageway now and then
}};

constexpr int Rows = 4;               // surface rows; Rows + 1 vertex lines
constexpr int BlockSegments = 16;     // segments of a vertex line per block
constexpr double Spacing = 2.0;       // metres between vertices along a line
constexpr double RowWidth = 3.5;      // metres between vertex lines
constexpr int BlocksPerGuide = 100;   // one guide line per this many blocks
constexpr double GuideSpacing = 20.0; // metres between guide-line vertices
constexpr int BlocksPerHouse = 4;     // one house beyond the sidewalk per this many blocks
constexpr int BlocksPerRuler = 8;     // one reference-point item per this many blocks
constexpr int BlocksPerDecor = 4;     // design items beyond the houses per this many blocks
constexpr int BlocksPerFigure = 2;    // marking figures on the carriageway per this many blocks
constexpr int BlocksPerCrossing = 4;  // one crossing per this many blocks

std::map<int, TStreetGenFiller> &Fillers() {
    static std::map<int, TStreetGenFiller> fillers;
    return fillers;
}

int RoleType(TRole role) {
    for (int code : RoleCandidates[role])
        if (ItemClasses[code])
            return code;
    return -1;
}

class TGenerator {
public:
    TGenerator(TStreetStructure &street, const TStreetGenOptions &options)
        : Street_(street), Rng_(options.Seed), Seed_(options.Seed) {
        for (int r = 0; r < RoleCount; ++r)
            Types_[r] = RoleType(static_cast<TRole>(r));
        if (Types_[Surface] < 0)
            RaiseStreetError("GenerateStreet", "no surface item class is registered");
        Blocks_ = StreetGenBlocks(options);
        Segments_ = Blocks_ * BlockSegments;
        Repeat_ = std::max(0, options.RepeatBlocks);
    }

    void Run() {
        MakeGrid();
        MakeGuides();
        for (int b = 0; b < Blocks_; ++b) {
            StartBlock(b);
            for (int r = 0; r < Rows; ++r)
                MakeSurface(r, b);
            MakeEdgeLine(1, b);
            MakeEdgeLine(Rows - 1, b);
            if (Pattern(b) % 4 == 1)
                MakeCurve(b);
            if (Pattern(b) % 4 == 3)
                MakeCurve(b, 1);
            MakeMarking(1, b, TStreetGenMarkingPlace::RoadLeft);
            MakeMarking(2, b, TStreetGenMarkingPlace::Lane);
            MakeMarking(Rows - 1, b, TStreetGenMarkingPlace::RoadRight);
            MakePoint(b);
            if (Pattern(b) % BlocksPerHouse == 0)
                MakeHouse(b);
            if (Pattern(b) % 2 == 0)
                MakeAlong(Types_[Fence], b, Rows * RowWidth + 1.5);
            MakeAlong(Types_[TramLine], b, 2.5 * RowWidth);
            if (Pattern(b) % BlocksPerRuler == 0)
                MakeRuler(b);
        }
        // Last, so that the items before come out as they always did.
        MakeDecor();
        MakeMarkingFigures();
        MakeIslandsAndCrossings();
        MakeCalcAreas();
        Street_.SetName(Cp("Генерированная улица"));
        Street_.SetStart(Cp("от начала"));
        Street_.SetFinish(Cp("до конца"));
        Street_.SetEcefMap(DefaultEcefMap());
        Street_.SetStrOption(Cp1251String("UpdateDiffTagEdges"), Cp1251String("1"));
        TStreetView view;
        view.X = static_cast<float>(Segments_ * Spacing / 2);
        view.Y = static_cast<float>(Rows * RowWidth / 2);
        Street_.SetView(view);
    }

private:
    uint32_t Next() { return static_cast<uint32_t>(Rng_()); }

    // What decides the look of block b: b itself, or its place in the period of a repeating street.
    int Pattern(int b) const { return Repeat_ > 0 ? b % Repeat_ : b; }

    // A repeating street draws each block's random numbers and item numbers afresh from its place in the
    // period, so that equal places give equal blocks.
    void Reseed(uint32_t salt, int place) {
        Rng_.seed(Seed_ * 2654435761u + salt * 40503u + static_cast<uint32_t>(place) * 2246822519u);
    }
    void StartBlock(int b) {
        if (Repeat_ <= 0)
            return;
        Reseed(1, Pattern(b));
        if (Pattern(b) == 0)
            Made_ = 0;
    }
    double Jitter() { return (static_cast<int>(Next() % 2001) - 1000) * 0.0001; }

    TStreetPointRec *Vertex(int line, int k) {
        return Grid_[static_cast<std::size_t>(line)][static_cast<std::size_t>(k)];
    }

    void MakeGrid() {
        Grid_.resize(Rows + 1);
        for (int line = 0; line <= Rows; ++line) {
            Grid_[static_cast<std::size_t>(line)].reserve(static_cast<std::size_t>(Segments_) + 1);
            for (int k = 0; k <= Segments_; ++k) {
                if (Repeat_ > 0 && k % (Repeat_ * BlockSegments) == 0)
                    Reseed(2, line);
                const TXYZ p{static_cast<float>(k * Spacing + Jitter()),
                             static_cast<float>(line * RowWidth + Jitter()), 0};
                Grid_[static_cast<std::size_t>(line)].push_back(Street_.Pool().AddPointRec(p));
            }
        }
    }

    TAbstractItem *NewItem(int type, std::optional<uint32_t> random = std::nullopt) {
        TAbstractItem *item = Street_.Lists(type).AddNew();
        ++Made_;
        if (Made_ % 5 == 0)
            item->SetComment(Cp("объект ") + Cp1251String(std::to_string(Made_)));
        if (Made_ % 7 == 0)
            item->SetGroupName(Cp("Группа") + Cp1251String(std::to_string(Made_ % 3)));
        if (Made_ % 11 == 0)
            item->SetComment2(Cp("примечание"));
        if (auto it = Fillers().find(type); it != Fillers().end())
            it->second(*item, random ? *random : Next());
        return item;
    }

    // A guide line spans BlocksPerGuide blocks; in a repeating street each period starts a new one.
    int GuidesPerPeriod() const { return (Repeat_ + BlocksPerGuide - 1) / BlocksPerGuide; }
    int GuideOf(int block) const {
        if (Repeat_ <= 0)
            return block / BlocksPerGuide;
        return block / Repeat_ * GuidesPerPeriod() + block % Repeat_ / BlocksPerGuide;
    }
    int GuideStart(int guide) const {
        if (Repeat_ <= 0)
            return guide * BlocksPerGuide;
        return guide / GuidesPerPeriod() * Repeat_ + guide % GuidesPerPeriod() * BlocksPerGuide;
    }

    void Refer(TAbstractItem *item, int block) {
        if (Guides_.empty())
            return;
        item->SetReferAxis(
            Guides_[std::min<std::size_t>(static_cast<std::size_t>(GuideOf(block)), Guides_.size() - 1)]);
    }

    void MakeGuides() {
        const int type = Types_[GuideLine];
        if (type < 0)
            return;
        const int guides = GuideOf(Blocks_ - 1) + 1;
        const double blockLength = BlockSegments * Spacing;
        for (int g = 0; g < guides; ++g) {
            if (Repeat_ > 0) {
                Reseed(3, g % GuidesPerPeriod());
                Made_ = g % GuidesPerPeriod();
            }
            TAbstractItem *axis = NewItem(type);
            const int end = std::min({GuideStart(g) + BlocksPerGuide, GuideStart(g + 1), Blocks_});
            const double x0 = GuideStart(g) * blockLength;
            const double x1 = end * blockLength;
            for (double x = x0; x <= x1 + 1e-9; x += GuideSpacing)
                axis->Points.InsertNewPoint(axis->Points.Count(), {static_cast<float>(x), -10.0f, 0});
            Guides_.push_back(axis);
            DressGuide(axis, g);
        }
        Street_.SetMainAxis(Guides_.front());
        Street_.SetGroupValue(Cp("Группа0"), Cp1251String("ON"));
        Street_.SetGroupValue(Cp("Группа1"), Cp1251String("OFF"));
        Street_.SetGroupValue(Cp("Группа2"), Cp1251String("ON"));
    }

    // Real guide axes get names, pickets (the main one ticks too), a passport attribute on every third
    // and side names on the main one; a kilometre sign stands beside each whole kilometre of them.
    void DressGuide(TAbstractItem *item, int g) {
        auto *axis = dynamic_cast<TAxisItem *>(item);
        if (!axis)
            return;
        axis->SetName(Cp1251String(std::to_string(g + 1)));
        axis->SetDrawMarks(true);
        axis->SetDrawShortMarks(g == 0);
        axis->SetMarkWidth(12);
        axis->SetColor(0xFF404040);
        if (g % 3 == 1)
            axis->SetTechAttr(Cp("PasspSq"));
        if (g == 0) {
            axis->SetLeftSideName(Cp("левая"));
            axis->SetRightSideName(Cp("правая"));
        }
        if (!ItemClasses[KMSignTypeCode] || axis->Points.Count() < 2)
            return;
        const float x0 = axis->Points.GetPoint(0).x, x1 = axis->Points.GetPoint(axis->Points.Count() - 1).x;
        for (int km = static_cast<int>(std::ceil(x0 / 1000)); km * 1000.0f <= x1; ++km) {
            // Not through NewItem: the other items keep the comments and groups they had without signs.
            auto *sign = dynamic_cast<TKMSignItem *>(Street_.Lists(KMSignTypeCode).AddNew());
            sign->Points.InsertNewPoint(0, {km * 1000.0f, -12.0f, 0});
            sign->SetKmA(km);
            sign->SetKmB(km % 4 == 3 ? TKMSignItem::NoKm : km + 1);
            sign->SetReferAxis(axis);
        }
    }

    // Road way rows between a row of lawns and shoulders and a row of sidewalks, with a dividing strip
    // now and then, for the types that have classes.
    int SurfaceType(int row, int block) const {
        const auto pick = [this](TRole role) { return Types_[role] >= 0 ? Types_[role] : Types_[Surface]; };
        if (row == Rows - 1)
            return pick(Sidewalk);
        if (row == 0)
            return pick(Pattern(block) % 3 == 1 ? Shoulder : Lawn);
        if (row == 1 && Pattern(block) % 4 == 1)
            return pick(Divider);
        return Types_[Surface];
    }

    void MakeSurface(int row, int block) {
        const int type = SurfaceType(row, block);
        TAbstractItem *item = NewItem(type);
        const int k0 = block * BlockSegments, k1 = k0 + BlockSegments;
        for (int k = k0; k <= k1; ++k)
            item->Points.Insert(item->Points.Count(), Vertex(row, k));
        for (int k = k1; k >= k0; --k)
            item->Points.Insert(item->Points.Count(), Vertex(row + 1, k));
        Refer(item, block);
    }

    // A rectangle of its own vertices beyond the sidewalks.
    void MakeHouse(int block) {
        const int type = Types_[House];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const float x0 = static_cast<float>((block * BlockSegments + 2) * Spacing);
        const float x1 = static_cast<float>(x0 + (BlockSegments - 4) * Spacing);
        const float y0 = static_cast<float>(Rows * RowWidth + 3), y1 = y0 + 8;
        for (const TXYZ &p : {TXYZ{x0, y0, 0}, TXYZ{x1, y0, 0}, TXYZ{x1, y1, 0}, TXYZ{x0, y1, 0}})
            item->Points.InsertNewPoint(item->Points.Count(), p);
        Refer(item, block);
    }

    // A line of its own three vertices along the block at the height y.
    void MakeAlong(int type, int block, double y) {
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const double x0 = block * BlockSegments * Spacing, half = BlockSegments * Spacing / 2;
        for (int i = 0; i < 3; ++i)
            item->Points.InsertNewPoint(
                i, {static_cast<float>(x0 + i * half + Jitter()), static_cast<float>(y + Jitter()), 0});
        Refer(item, block);
    }

    // Reference points below the first row.
    void MakeRuler(int block) {
        const int type = Types_[RefPoints];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const double x0 = block * BlockSegments * Spacing;
        for (int i = 0; i < 3; ++i)
            item->Points.InsertNewPoint(
                i, {static_cast<float>(x0 + 4 + 10 * i), static_cast<float>(-2.5 - i), 0});
    }

    void MakeEdgeLine(int line, int block) {
        const int type = Types_[EdgeLine];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const int k0 = block * BlockSegments;
        for (int k = k0; k <= k0 + BlockSegments; ++k)
            item->Points.Insert(item->Points.Count(), Vertex(line, k));
        if (Pattern(block) % 10 == 3)
            item->Points.SetSpline(true);
        Refer(item, block);
    }

    // Three vertices of a vertex line: on line 0 under the lawns' and shoulders' edges, on line 1 under a
    // curb and an edge marking as well.
    void MakeCurve(int block, int line = 0) {
        const int type = Types_[Curve];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const int k0 = block * BlockSegments + 4;
        for (int k = k0; k < k0 + 3; ++k)
            item->Points.Insert(item->Points.Count(), Vertex(line, k));
    }

    // A marking along the block's stretch of a vertex line; its filler learns the line's place.
    void MakeMarking(int line, int block, TStreetGenMarkingPlace place) {
        const int type = Types_[Marking];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type, (Next() & ~3u) | static_cast<uint32_t>(place));
        const int k0 = block * BlockSegments;
        for (int k = k0; k <= k0 + BlockSegments; ++k)
            item->Points.Insert(item->Points.Count(), Vertex(line, k));
    }

    void MakePoint(int block) {
        const int type = Types_[PointObject];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const double x = (block * BlockSegments + 1 + Next() % (BlockSegments - 2)) * Spacing + 0.5;
        const double y = (Next() % Rows) * RowWidth + 1.25;
        item->Points.InsertNewPoint(0, {static_cast<float>(x), static_cast<float>(y), 0});
        Refer(item, block);
    }

    // A tiled figure, a design line, a row of blocks and a pavement core beyond the houses, on vertices of
    // their own.
    void MakeDecor() {
        const bool figures = ItemClasses[DesignFigureTypeCode] != nullptr,
                   lines = ItemClasses[DesignLineTypeCode] != nullptr,
                   blocks = ItemClasses[DesignBlockTypeCode] != nullptr,
                   cores = ItemClasses[KernTypeCode] != nullptr;
        if (!figures && !lines && !blocks && !cores)
            return;
        AddDesignLibraries(Street_);
        const float y0 = static_cast<float>(Rows * RowWidth + 13);
        for (int b = 2; b < Blocks_; b += BlocksPerDecor) {
            // Their numbers and random picks come from the place in the period too.
            if (Repeat_ > 0) {
                Reseed(4, Pattern(b));
                Made_ = Pattern(b);
            }
            const float x0 = static_cast<float>((b * BlockSegments + 2) * Spacing);
            const auto add = [this](int type, std::initializer_list<TXYZ> points) {
                return NewItemAt(type, points);
            };
            if (figures)
                Refer(add(DesignFigureTypeCode, {{x0, y0, 0},
                                                 {x0 + 12, y0, 0},
                                                 {x0 + 12, y0 + 4, 0},
                                                 {x0 + 6, y0 + 6, 0},
                                                 {x0, y0 + 4, 0}}),
                      b);
            if (lines)
                add(DesignLineTypeCode, {{x0, y0 + 8, 0}, {x0 + 10, y0 + 8.5f, 0}, {x0 + 20, y0 + 8, 0}});
            if (blocks)
                add(DesignBlockTypeCode, {{x0 + 16, y0, 0}, {x0 + 19, y0, 0}, {x0 + 22, y0, 0}});
            if (cores)
                Refer(add(KernTypeCode, {{x0 + 25, y0 + 2, 0}}), b);
        }
    }

    // An item on vertices of its own.
    TAbstractItem *NewItemAt(int type, std::initializer_list<TXYZ> points) {
        TAbstractItem *item = NewItem(type);
        for (const TXYZ &p : points)
            item->Points.InsertNewPoint(item->Points.Count(), p);
        return item;
    }

    // Lane arrows along both lanes between the markings, a label place across the three markings and a
    // stop zone inside the far edge line, its teeth towards the lane, on vertices of their own.
    void MakeMarkingFigures() {
        const int arrow = Types_[Arrow], stop = Types_[StopZone], place = Types_[LabelPlace];
        if (arrow < 0 && stop < 0 && place < 0)
            return;
        const float lane1 = static_cast<float>(1.5 * RowWidth), lane2 = static_cast<float>(2.5 * RowWidth);
        for (int b = 1; b < Blocks_; b += BlocksPerFigure) {
            if (Repeat_ > 0) {
                Reseed(5, Pattern(b));
                Made_ = Pattern(b);
            }
            const float x0 = static_cast<float>((b * BlockSegments + 1) * Spacing);
            if (arrow >= 0) {
                Refer(NewItemAt(arrow, {{x0, lane1, 0}, {x0 + 6, lane1, 0}, {x0 + 12, lane1, 0}}), b);
                Refer(NewItemAt(arrow, {{x0 + 12, lane2, 0}, {x0, lane2, 0}}), b);
            }
            if (place >= 0) {
                const float y0 = static_cast<float>(RowWidth - 1),
                            y1 = static_cast<float>((Rows - 1) * RowWidth + 1);
                Refer(NewItemAt(place, {{x0 + 16, y0, 0}, {x0 + 16, y1, 0}}), b);
            }
            if (stop >= 0) {
                const float y = static_cast<float>((Rows - 1) * RowWidth - 0.3);
                NewItemAt(stop, {{x0 + 29, y, 0}, {x0 + 19, y, 0}});
            }
        }
    }

    // Traffic islands in the blocks the other marking figures leave free, one a block, and a crossing
    // across the carriageway beside every other one, on vertices of their own. The first block stays bare.
    void MakeIslandsAndCrossings() {
        const int island = Types_[Island], crossing = Types_[Crossing];
        if (island < 0 && crossing < 0)
            return;
        for (int b = BlocksPerFigure; b < Blocks_; b += BlocksPerFigure) {
            if (Repeat_ > 0) {
                Reseed(6, Pattern(b));
                Made_ = Pattern(b);
            }
            const double x0 = b * BlockSegments * Spacing;
            if (island >= 0)
                MakeIsland(island, x0 + 3, b);
            if (crossing >= 0 && Pattern(b) % BlocksPerCrossing == 0) {
                // Stripes up to 8 m long centred on the crossing line, clear of the island before it.
                const double x = x0 + 22 + Jitter();
                Refer(NewItemAt(crossing, {{float(x), float(RowWidth), 0},
                                           {float(x + Jitter()), float((Rows - 1) * RowWidth), 0}}),
                      b);
            }
        }
    }

    // An island from x on, up to 12 m long, its shape drawn at random; the filler picks a scheme that fits.
    void MakeIsland(int type, double x, int block) {
        const uint32_t r = Next();
        const auto shape = static_cast<TStreetGenIslandShape>(r % 3);
        const double length = 8 + (r >> 2) % 4, across = 0.4 * ((r >> 4) % 3);
        const auto at = [](double px, double py) { return TXYZ{float(px), float(py), 0}; };
        std::array<TXYZ, 4> points;
        switch (shape) {
        case TStreetGenIslandShape::Chevron: {
            // The side ends around the nose and, last, the axis end, on the lane line.
            const double y = 2 * RowWidth, half = 0.8 + across;
            points = {at(x + length - 2, y + half), at(x, y), at(x + length - 2, y - half),
                      at(x + length, y)};
            break;
        }
        case TStreetGenIslandShape::Comb: {
            // The template's tip, then the baseline along the near edge line and up the far end.
            const double y = RowWidth + 0.3, height = 1.2 + across / 2;
            points = {at(x + across, y + height), at(x, y), at(x + length, y), at(x + length, y + height)};
            break;
        }
        case TStreetGenIslandShape::EdgeStripe: {
            // The stripe along the far edge line between end cuts towards the lane.
            const double y = (Rows - 1) * RowWidth - 0.3, depth = 1.2;
            points = {at(x + across, y - depth), at(x, y), at(x + length, y),
                      at(x + length - across, y - depth)};
            break;
        }
        }
        TAbstractItem *item = NewItem(type, (Next() & ~3u) | static_cast<uint32_t>(shape));
        for (const TXYZ &p : points)
            item->Points.InsertNewPoint(item->Points.Count(), p);
        Refer(item, block);
    }

    // Calculation areas over three blocks of the street, across every row and beyond it, cutting through
    // the surfaces, lines and markings at both ends; one per this many blocks.
    static constexpr int BlocksPerCalcArea = 10;
    void MakeCalcAreas() {
        if (!ItemClasses[CalcAreaTypeCode])
            return;
        const double blockLength = BlockSegments * Spacing;
        for (int b = 0; b < Blocks_; ++b) {
            if (Pattern(b) % BlocksPerCalcArea != BlocksPerCalcArea / 2)
                continue;
            const float x0 = static_cast<float>((b + 0.3) * blockLength);
            const float x1 = static_cast<float>((b + 3.1) * blockLength);
            const float y0 = -3, y1 = static_cast<float>(Rows * RowWidth + 4);
            TAbstractItem *area = Street_.Lists(CalcAreaTypeCode).AddNew();
            for (const TXYZ &p : {TXYZ{x0, y0, 0}, TXYZ{x1, y0, 0}, TXYZ{x1 + 5, (y0 + y1) / 2, 0},
                                  TXYZ{x1, y1, 0}, TXYZ{x0, y1, 0}})
                area->Points.InsertNewPoint(area->Points.Count(), p);
        }
    }

    TStreetStructure &Street_;
    std::mt19937 Rng_;
    std::array<int, RoleCount> Types_{};
    int Blocks_ = 1;
    int Segments_ = BlockSegments;
    int Made_ = 0;
    uint32_t Seed_ = 1;
    int Repeat_ = 0;
    std::vector<std::vector<TStreetPointRec *>> Grid_;
    std::vector<TAbstractItem *> Guides_;
};

} // namespace

namespace {

// A checkered picture: cells of `cell` pixels in two colours (0xRRGGBB).
TBitmap Checker(int width, int height, int cell, uint32_t a, uint32_t b) {
    TBitmap picture(width, height, TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixel(x, y, 0xFF000000u | (((x / cell + y / cell) % 2) ? b : a));
    return picture;
}

} // namespace

void AddDesignLibraries(TStreetStructure &street) {
    TDsnBlockDef *tree = street.BlockDefs().Add();
    tree->Name = Cp("Дерево");
    tree->Width = 2;
    tree->Height = 2;
    tree->AnchorX = 8;
    tree->AnchorY = 8;
    tree->Bitmap.Assign(Checker(16, 16, 4, 0x208020, 0x40A040));
    TDsnBlockDef *bench = street.BlockDefs().Add();
    bench->Name = Cp("Скамья");
    bench->Width = 1.8f;
    bench->Height = 0.6f;
    bench->AnchorX = 0;
    bench->AnchorY = 6;
    bench->Bitmap.Assign(Checker(24, 6, 3, 0x804020, 0x603010));

    TDsnLineDef *curb = street.LineDefs().Add();
    curb->Name = Cp("Бордюр");
    curb->Period = 2;
    curb->Width = 0.4f;
    curb->GetStartBitmap().Assign(Checker(16, 4, 4, 0xC00000, 0x400000));
    curb->GetRepeatBitmap().Assign(Checker(16, 4, 4, 0x808080, 0x404040));
    curb->GetFinishBitmap().Assign(Checker(8, 4, 4, 0x0000C0, 0x000040));
    TDsnLineDef *bare = street.LineDefs().Add();
    bare->Name = Cp("Без картинки");
    bare->Width = 0.3f;

    for (int i = 1; i <= 8; ++i) {
        TDsnFigDef *tiles = street.FigDefs().Add();
        tiles->Name = Cp("Плитка ") + Cp1251String(std::to_string(i));
        tiles->PeriodX = 0.5f * static_cast<float>(i % 4 + 1);
        tiles->PeriodY = 0.5f * static_cast<float>((i + 1) % 3 + 1);
        tiles->Bitmap.Assign(Checker(16, 16, 2 + i % 3, 0x101010u * static_cast<uint32_t>(i), 0x906030));
    }
    street.LineDefs().PublishBatches(street);
    street.FigDefs().PublishBatches(street);
}

void SetStreetGenFiller(int typeCode, TStreetGenFiller filler) {
    Fillers()[typeCode] = std::move(filler);
}

double StreetGenBlockLength() {
    return BlockSegments * Spacing;
}

int StreetGenBlocks(const TStreetGenOptions &options) {
    // The grid takes about 97 % of the vertices, the points and guide lines the rest.
    const double lineVertices = std::max(1.0, options.Vertices * 0.97 / (Rows + 1));
    return std::max(1, static_cast<int>(std::lround(lineVertices / BlockSegments)));
}

double StreetGenMiddlePeriodStart(const TStreetGenOptions &options) {
    const int blocks = StreetGenBlocks(options);
    if (options.RepeatBlocks <= 0)
        return blocks * StreetGenBlockLength() / 2;
    const int period = options.RepeatBlocks;
    const int start = static_cast<int>(std::lround(blocks / 2.0 / period)) * period;
    return std::min(start, (blocks - 1) / period * period) * StreetGenBlockLength();
}

void GenerateStreet(TStreetStructure &street, const TStreetGenOptions &options) {
    TGenerator(street, options).Run();
}
