#include "StreetGen.h"

#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "objects/AxisItem.h"
#include "objects/KMSignItem.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
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
    RoleCount
};

const std::array<std::vector<int>, RoleCount> RoleCandidates = {{
    {2, 1, 4, 5}, // road surfaces
    {3, 4},       // sidewalks
    {8, 18},      // curbs and other lines on the surfaces' edges
    {26},         // curves
    {27, 22, 29}, // manholes, signs, traffic lights
    {35, 9},      // guide axes (a plain line where the axis class is not registered)
    {4},          // lawns along the first row
    {5},          // shoulders along the first row, between the lawns
    {1},          // dividing strips in the second row, every fourth block
    {6},          // houses beyond the sidewalks
}};

constexpr int Rows = 4;               // surface rows; Rows + 1 vertex lines
constexpr int BlockSegments = 16;     // segments of a vertex line per block
constexpr double Spacing = 2.0;       // metres between vertices along a line
constexpr double RowWidth = 3.5;      // metres between vertex lines
constexpr int BlocksPerGuide = 100;   // one guide line per this many blocks
constexpr double GuideSpacing = 20.0; // metres between guide-line vertices
constexpr int BlocksPerHouse = 4;     // one house beyond the sidewalk per this many blocks

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
        : Street_(street), Rng_(options.Seed) {
        for (int r = 0; r < RoleCount; ++r)
            Types_[r] = RoleType(static_cast<TRole>(r));
        if (Types_[Surface] < 0)
            RaiseStreetError("GenerateStreet", "no surface item class is registered");
        // The grid takes about 97 % of the vertices, the points and guide lines the rest.
        const double lineVertices = std::max(1.0, options.Vertices * 0.97 / (Rows + 1));
        Blocks_ = std::max(1, static_cast<int>(std::lround(lineVertices / BlockSegments)));
        Segments_ = Blocks_ * BlockSegments;
    }

    void Run() {
        MakeGrid();
        MakeGuides();
        for (int b = 0; b < Blocks_; ++b) {
            for (int r = 0; r < Rows; ++r)
                MakeSurface(r, b);
            MakeEdgeLine(1, b);
            MakeEdgeLine(Rows - 1, b);
            if (b % 4 == 1)
                MakeCurve(b);
            MakePoint(b);
            if (b % BlocksPerHouse == 0)
                MakeHouse(b);
        }
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
    double Jitter() { return (static_cast<int>(Next() % 2001) - 1000) * 0.0001; }

    TStreetPointRec *Vertex(int line, int k) {
        return Grid_[static_cast<std::size_t>(line)][static_cast<std::size_t>(k)];
    }

    void MakeGrid() {
        Grid_.resize(Rows + 1);
        for (int line = 0; line <= Rows; ++line) {
            Grid_[static_cast<std::size_t>(line)].reserve(static_cast<std::size_t>(Segments_) + 1);
            for (int k = 0; k <= Segments_; ++k) {
                const TXYZ p{static_cast<float>(k * Spacing + Jitter()),
                             static_cast<float>(line * RowWidth + Jitter()), 0};
                Grid_[static_cast<std::size_t>(line)].push_back(Street_.Pool().AddPointRec(p));
            }
        }
    }

    TAbstractItem *NewItem(int type) {
        TAbstractItem *item = Street_.Lists(type).AddNew();
        ++Made_;
        if (Made_ % 5 == 0)
            item->SetComment(Cp("объект ") + Cp1251String(std::to_string(Made_)));
        if (Made_ % 7 == 0)
            item->SetGroupName(Cp("Группа") + Cp1251String(std::to_string(Made_ % 3)));
        if (Made_ % 11 == 0)
            item->SetComment2(Cp("примечание"));
        if (auto it = Fillers().find(type); it != Fillers().end())
            it->second(*item, Next());
        return item;
    }

    void Refer(TAbstractItem *item, int block) {
        if (Guides_.empty())
            return;
        item->SetReferAxis(Guides_[std::min<std::size_t>(static_cast<std::size_t>(block / BlocksPerGuide),
                                                         Guides_.size() - 1)]);
    }

    void MakeGuides() {
        const int type = Types_[GuideLine];
        if (type < 0)
            return;
        const int guides = (Blocks_ + BlocksPerGuide - 1) / BlocksPerGuide;
        const double blockLength = BlockSegments * Spacing;
        for (int g = 0; g < guides; ++g) {
            TAbstractItem *axis = NewItem(type);
            const double x0 = g * BlocksPerGuide * blockLength;
            const double x1 = std::min<double>((g + 1) * BlocksPerGuide, Blocks_) * blockLength;
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
            return pick(block % 3 == 1 ? Shoulder : Lawn);
        if (row == 1 && block % 4 == 1)
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

    void MakeEdgeLine(int line, int block) {
        const int type = Types_[EdgeLine];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const int k0 = block * BlockSegments;
        for (int k = k0; k <= k0 + BlockSegments; ++k)
            item->Points.Insert(item->Points.Count(), Vertex(line, k));
        if (block % 10 == 3)
            item->Points.SetSpline(true);
        Refer(item, block);
    }

    void MakeCurve(int block) {
        const int type = Types_[Curve];
        if (type < 0)
            return;
        TAbstractItem *item = NewItem(type);
        const int k0 = block * BlockSegments + 4;
        for (int k = k0; k < k0 + 3; ++k)
            item->Points.Insert(item->Points.Count(), Vertex(0, k));
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

    TStreetStructure &Street_;
    std::mt19937 Rng_;
    std::array<int, RoleCount> Types_{};
    int Blocks_ = 1;
    int Segments_ = BlockSegments;
    int Made_ = 0;
    std::vector<std::vector<TStreetPointRec *>> Grid_;
    std::vector<TAbstractItem *> Guides_;
};

} // namespace

void SetStreetGenFiller(int typeCode, TStreetGenFiller filler) {
    Fillers()[typeCode] = std::move(filler);
}

void GenerateStreet(TStreetStructure &street, const TStreetGenOptions &options) {
    TGenerator(street, options).Run();
}
