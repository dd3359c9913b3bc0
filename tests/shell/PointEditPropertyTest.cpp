// Random sequences of point-editor edits on a generated street and on small items around edges shorter than
// two millimetres: whatever the order and the values (including the awkward ones: zero lengths and scales,
// points dropped onto their neighbours or into the middle of a short edge, splits at the ends), no item
// leaves its vertex limits, no list holds a vertex twice, the street stays consistent, and it saves and
// reloads to the same bytes.
#include "shell/PointEditTestUtil.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>

using namespace pointedit;

namespace {

class TRandomEdits {
public:
    TRandomEdits(TStreetStructure &street, uint32_t seed) : street_(street), rng_(seed) {}

    // One random edit on a random item; a description for failure messages.
    std::string Step() {
        TAbstractItem *item = PickItem();
        if (item == nullptr)
            return "no item";
        TPointList &l = item->Points;
        street_.Selection().Clear();
        street_.Selection().AddItem(item);
        l.CurrentIndex = l.Count() > 0 ? Int(0, l.Count() - 1) : -1;
        // A third of the time the current edge is the item's shortest, where vertices come close to merging.
        if (Int(0, 2) == 0)
            l.CurrentIndex = ShortestEdgeStart(*item, l.CurrentIndex);
        const int op = Int(0, 17);
        const std::string what = "op " + std::to_string(op) + " on type " +
                                 std::to_string(item->GetTypeCode()) + " id " + std::to_string(item->ID()) +
                                 " at " + std::to_string(l.CurrentIndex) + " of " + std::to_string(l.Count());
        switch (op) {
        case 0:
            MoveCurrentPoint(*item, Near(*item));
            break;
        case 1:
            AddPoint(*item, Near(*item), Int(0, 1) == 1);
            break;
        case 2:
            DeleteCurrentPoint(*item);
            break;
        case 3: {
            const bool answer = Int(0, 1) == 1;
            DeleteCurrentPointEverywhere(*item, [answer](int) { return answer; });
            break;
        }
        case 4: {
            TStreetPointRec *target = NearEdgeMiddle(*item);
            TAbstractItem *other = PickItem();
            if (target == nullptr && other != nullptr && other->Points.Count() > 0)
                target = other->Points.PointRec(Int(0, other->Points.Count() - 1));
            if (target != nullptr)
                ConnectCurrentPoint(*item, target, static_cast<TConnectKind>(Int(0, 2)));
            break;
        }
        case 5:
            DisconnectCurrentPoint(*item);
            break;
        case 6: {
            // 1.5 mm: a point in the middle lies within a millimetre of both ends.
            const float lengths[] = {0, 0.0005f, 0.0015f, 0.002f, Real(0, 5)};
            SetCurrentEdgeLength(*item, lengths[Int(0, 4)]);
            break;
        }
        case 7:
            SetCurrentEdgeAngle(*item, Real(-7, 7));
            break;
        case 8:
        case 9: {
            if (!l.IsValidIndex(l.CurrentIndex))
                break;
            const TXYZ c = l.GetPoint(l.CurrentIndex);
            l.StoreRelative(c);
            TAbstractItem *const items[] = {item};
            if (op == 8) {
                const float factors[] = {0, 1e-5f, 0.5f, 2};
                ScaleItemsRelative(items, c, factors[Int(0, 3)]);
            } else {
                RotateItemsRelative(items, c, Real(-4, 4));
            }
            break;
        }
        case 10:
            SplitOpenItem(*item, l.CurrentIndex);
            break;
        case 11:
            if (l.Count() > 0) {
                const TXYZ c = l.GetPoint(Int(0, l.Count() - 1));
                const float a = Real(0, 2 * std::numbers::pi_v<float>), r = Real(0.1f, 20);
                CutItem(*item, {c.x - r * std::cos(a), c.y - r * std::sin(a), 0},
                        {c.x + r * std::cos(a), c.y + r * std::sin(a), 0});
            }
            break;
        case 12:
            if (l.Count() > 0)
                SplitAlongChord(*item, l.CurrentIndex, Int(0, l.Count() - 1));
            break;
        case 13: {
            const double radii[] = {0.0001, 0.01, 1.5};
            MakeRegularPolygon(*item, {Int(2, 9), radii[Int(0, 2)], Int(0, 1) == 1, Int(0, 1) == 1});
            break;
        }
        case 14: {
            // The item and the items of its type sharing its end vertices.
            std::vector<TAbstractItem *> items{item};
            for (int end : {0, l.Count() - 1})
                if (l.IsValidIndex(end))
                    for (TPointList *o : l.PointRec(end)->Owners)
                        if (TAbstractItem *other = o->GetOwner();
                            other != nullptr && &other->Points == o &&
                            other->GetTypeCode() == item->GetTypeCode() &&
                            std::find(items.begin(), items.end(), other) == items.end())
                            items.push_back(other);
            LinkManyItems(items);
            break;
        }
        case 15:
            l.Reverse();
            break;
        case 16:
            ArrangeItemAngles(*item, 8);
            break;
        default:
            SetCurrentCoordinate(*item, Int(0, 2), Near(*item).x);
            break;
        }
        return what;
    }

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    float Real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng_); }

    TAbstractItem *PickItem() {
        std::vector<TAbstractItem *> all;
        for (int code = 0; code < ItemTypeCount; ++code)
            for (const auto &i : street_.Lists(code))
                if (i->MaxPointCount() > 0)
                    all.push_back(i.get());
        return all.empty() ? nullptr : all[static_cast<std::size_t>(Int(0, int(all.size()) - 1))];
    }

    // Somewhere near the item: often exactly on one of its vertices, a hair beside one, or in the middle of
    // the current edge.
    TXYZ Near(const TAbstractItem &item) {
        const TPointList &l = item.Points;
        if (l.Count() == 0)
            return {Real(-50, 50), Real(-50, 50), 0};
        TXYZ p = l.GetPoint(Int(0, l.Count() - 1));
        switch (Int(0, 3)) {
        case 0:
            return p;
        case 1:
            p.x += 0.0004f;
            return p;
        case 2:
            if (TXYZ middle; EdgeMiddle(item, middle))
                return middle;
            return p;
        default:
            return {p.x + Real(-3, 3), p.y + Real(-3, 3), p.z};
        }
    }

    // The start of the item's shortest edge; otherwise when it has no edge.
    static int ShortestEdgeStart(const TAbstractItem &item, int otherwise) {
        const TPointList &l = item.Points;
        const int n = l.Count();
        int best = otherwise;
        double shortest = std::numeric_limits<double>::infinity();
        for (int i = 0; i < n; ++i) {
            const int j = i + 1 < n ? i + 1 : (item.IsClosed() && n > 1 ? 0 : -1);
            if (j < 0)
                continue;
            const TXYZ a = l.GetPoint(i), b = l.GetPoint(j);
            if (const double d = std::hypot(double(b.x) - a.x, double(b.y) - a.y); d < shortest) {
                shortest = d;
                best = i;
            }
        }
        return best;
    }

    static bool EdgeMiddle(const TAbstractItem &item, TXYZ &middle) {
        const int j = CurrentEdgeEnd(item);
        if (j < 0)
            return false;
        const TXYZ a = item.Points.GetPoint(item.Points.CurrentIndex), b = item.Points.GetPoint(j);
        middle = {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
        return true;
    }

    // Half of the time, a vertex of another item lying within a millimetre of the current edge's middle.
    TStreetPointRec *NearEdgeMiddle(const TAbstractItem &item) {
        TXYZ middle;
        if (Int(0, 1) == 0 || !EdgeMiddle(item, middle))
            return nullptr;
        std::vector<TStreetPointRec *> near;
        street_.Pool().CollectWithinList(middle, FullTypeSet(), 0.001, near);
        std::erase_if(near, [&item](const TStreetPointRec *r) { return item.Points.IndexOfRec(r) >= 0; });
        return near.empty() ? nullptr : near[static_cast<std::size_t>(Int(0, int(near.size()) - 1))];
    }

    TStreetStructure &street_;
    std::mt19937 rng_;
};

// Steps of random edits; every 50 steps the street is checked whole, saved and read back, and then
// renewed (for the steps to come) when a renewal is given.
void RunRandomEdits(TStreetStructure &street, uint32_t seed, int steps,
                    const std::function<void()> &renew = {}) {
    ASSERT_EQ(CheckItemLimits(street), "");
    TRandomEdits edits(street, seed);
    for (int step = 1; step <= steps; ++step) {
        const std::string what = edits.Step();
        const std::string limits = CheckItemLimits(street);
        ASSERT_EQ(limits, "") << "step " << step << ": " << what;
        if (step % 50 != 0)
            continue;
        ASSERT_EQ(CheckStreetInvariants(street), "") << "step " << step << ": " << what;
        const std::vector<uint8_t> saved = SaveBytes(street);
        const std::unique_ptr<TStreetStructure> back = LoadBytes(saved);
        ASSERT_EQ(CheckItemLimits(*back), "") << "step " << step;
        ASSERT_TRUE(SaveBytes(*back) == saved) << "step " << step << ": " << what;
        if (renew)
            renew();
    }
}

// A road way whose first edge is 1.5 mm long, a sidewalk triangle on that edge and a line with a vertex
// in its middle, the k-th of them on a grid 10 m apart: one vertex in the middle of the edge takes both
// ends with it on reading.
void AddHairEdge(TStreetStructure &street, int k) {
    const float x = 10.0f * float(k % 20), y = 10.0f * float(k / 20);
    TAbstractItem *road =
        MakeItem(street, Outline,
                 {{x, y, 0}, {x + 0.0015f, y, 0}, {x + 2, y + 1, 0}, {x + 1, y + 3, 0}, {x - 1, y + 2, 0}});
    TAbstractItem *triangle =
        MakeItemOn(street, Outline2, {road->Points.PointRec(1), road->Points.PointRec(0)});
    triangle->Points.InsertNewPoint(2, {x, y - 1, 0});
    MakeItem(street, Line, {{x + 0.00075f, y, 0}, {x + 0.5f, y - 2, 0}});
}

class PointEditProperty : public ::testing::TestWithParam<uint32_t>, public TStreetFixture {};

TEST_P(PointEditProperty, RandomEditsKeepLimitsAndReloadTheSame) {
    GenerateStreet(street, {1500, GetParam()});
    RunRandomEdits(street, GetParam(), 400);
}

TEST_P(PointEditProperty, RandomEditsOnHairShortEdges) {
    // The edits soon take the short edges apart: a fresh one comes every 50 steps.
    int made = 0;
    auto renew = [&] { AddHairEdge(street, made++); };
    for (int k = 0; k < 5; ++k)
        renew();
    RunRandomEdits(street, GetParam(), 6000, renew);
}

INSTANTIATE_TEST_SUITE_P(Seeds, PointEditProperty, ::testing::Values(1u, 2u, 3u, 4u));

} // namespace
