#include "StreetGen.h"

#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/DesignLibs.h"
#include "model/ItemTypeCodes.h"

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
    {35, 9},      // guide axes (a plain line while the axis class is missing)
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
constexpr int BlocksPerDecor = 4;     // design items beyond the houses per this many blocks

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
        // Last, so that the items before come out as they always did.
        MakeDecor();
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
        }
        Street_.SetMainAxis(Guides_.front());
        Street_.SetGroupValue(Cp("Группа0"), Cp1251String("ON"));
        Street_.SetGroupValue(Cp("Группа1"), Cp1251String("OFF"));
        Street_.SetGroupValue(Cp("Группа2"), Cp1251String("ON"));
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

    // A tiled figure, a design line, a row of blocks and a pavement core beyond the houses, on vertices of
    // their own.
    void MakeDecor() {
        const bool figures = ItemClasses[DesignFigureTypeCode] != nullptr,
                   lines = ItemClasses[DesignLineTypeCode] != nullptr,
                   blocks = ItemClasses[DesignBlockTypeCode] != nullptr, cores = ItemClasses[KernTypeCode] != nullptr;
        if (!figures && !lines && !blocks && !cores)
            return;
        AddDesignLibraries(Street_);
        const float y0 = static_cast<float>(Rows * RowWidth + 13);
        for (int b = 2; b < Blocks_; b += BlocksPerDecor) {
            const float x0 = static_cast<float>((b * BlockSegments + 2) * Spacing);
            const auto add = [this](int type, std::initializer_list<TXYZ> points) {
                TAbstractItem *item = NewItem(type);
                for (const TXYZ &p : points)
                    item->Points.InsertNewPoint(item->Points.Count(), p);
                return item;
            };
            if (figures)
                Refer(add(DesignFigureTypeCode,
                          {{x0, y0, 0}, {x0 + 12, y0, 0}, {x0 + 12, y0 + 4, 0}, {x0 + 6, y0 + 6, 0}, {x0, y0 + 4, 0}}),
                      b);
            if (lines)
                add(DesignLineTypeCode, {{x0, y0 + 8, 0}, {x0 + 10, y0 + 8.5f, 0}, {x0 + 20, y0 + 8, 0}});
            if (blocks)
                add(DesignBlockTypeCode, {{x0 + 16, y0, 0}, {x0 + 19, y0, 0}, {x0 + 22, y0, 0}});
            if (cores)
                Refer(add(KernTypeCode, {{x0 + 25, y0 + 2, 0}}), b);
        }
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

void GenerateStreet(TStreetStructure &street, const TStreetGenOptions &options) {
    TGenerator(street, options).Run();
}
