// Random sequences of point-editor edits on a generated street: whatever the order and the values (including
// the awkward ones: zero lengths and scales, points dropped onto their neighbours, splits at the ends), no
// item leaves its vertex limits, no list holds a vertex twice, the street stays consistent, and it saves and
// reloads to the same bytes.
#include "shell/PointEditTestUtil.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

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
            TAbstractItem *other = PickItem();
            if (other != nullptr && other->Points.Count() > 0)
                ConnectCurrentPoint(*item, other->Points.PointRec(Int(0, other->Points.Count() - 1)),
                                    static_cast<TConnectKind>(Int(0, 2)));
            break;
        }
        case 5:
            DisconnectCurrentPoint(*item);
            break;
        case 6: {
            const float lengths[] = {0, 0.0005f, 0.002f, Real(0, 5)};
            SetCurrentEdgeLength(*item, lengths[Int(0, 3)]);
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

    // Somewhere near the item: often exactly on one of its vertices or a hair beside one.
    TXYZ Near(const TAbstractItem &item) {
        const TPointList &l = item.Points;
        if (l.Count() == 0)
            return {Real(-50, 50), Real(-50, 50), 0};
        TXYZ p = l.GetPoint(Int(0, l.Count() - 1));
        switch (Int(0, 2)) {
        case 0:
            return p;
        case 1:
            p.x += 0.0004f;
            return p;
        default:
            return {p.x + Real(-3, 3), p.y + Real(-3, 3), p.z};
        }
    }

    TStreetStructure &street_;
    std::mt19937 rng_;
};

class PointEditProperty : public ::testing::TestWithParam<uint32_t>, public TStreetFixture {};

TEST_P(PointEditProperty, RandomEditsKeepLimitsAndReloadTheSame) {
    GenerateStreet(street, {1500, GetParam()});
    ASSERT_EQ(CheckItemLimits(street), "");
    TRandomEdits edits(street, GetParam());
    for (int step = 1; step <= 400; ++step) {
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
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, PointEditProperty, ::testing::Values(1u, 2u, 3u, 4u));

} // namespace
