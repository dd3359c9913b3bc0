// Fuzz target for the point table reader. After a successful load it checks the pool's invariants (ids
// positive and unique, pool in ascending id order, every record found by its id, MaxId the largest id,
// Z dropped), that the table written back reads back the same, and that snapping agrees with a scan of
// every record. A refused table must leave the pool empty.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/PointList.h"
#include "model/PointStructure.h"

#include "engine/UndefinedValue.h"
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

class TFuzzItem : public TAbstractItem {
public:
    int GetTypeCode() const override { return 2; }
};

double Dist(const TXYZ &p, const TXYZ &q) {
    const double dx = static_cast<double>(q.x) - p.x, dy = static_cast<double>(q.y) - p.y,
                 dz = static_cast<double>(q.z) - p.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TMemoryStream s(data, size);
    TPointStructure pool;
    try {
        pool.LoadFromStream(s);
    } catch (const EStreetError &) {
        Require(pool.Count() == 0 && pool.MaxId() == 0);
        return 0;
    }

    int32_t maxId = 0;
    for (int i = 0; i < pool.Count(); ++i) {
        TStreetPointRec *r = pool.Points(i);
        Require(r->Id() > 0 && r->Z() == 0 && std::isfinite(r->X()) && std::isfinite(r->Y()));
        Require(i == 0 || pool.Points(i - 1)->Id() < r->Id());
        maxId = std::max(maxId, r->Id());
    }
    Require(pool.MaxId() == maxId);
    for (int i = 0; i < pool.Count(); ++i)
        Require(pool.FindById(pool.Points(i)->Id()) == pool.Points(i));

    TMemoryStream out;
    pool.SaveToStream(out);
    out.Seek(0, TSeekOrigin::Begin);
    TPointStructure back;
    back.LoadFromStream(out);
    Require(back.Count() == pool.Count() && out.Remaining() == 0);
    for (int i = 0; i < pool.Count(); ++i)
        Require(back.Points(i)->Id() == pool.Points(i)->Id() &&
                back.Points(i)->Position() == pool.Points(i)->Position());

    // Snapping over odd coordinates: every query that refreshes the cache must find what a scan finds.
    TFuzzItem item;
    TPointList list(&pool, &item);
    for (int i = 0; i < pool.Count(); ++i)
        pool.Points(i)->Owners.push_back(&list);
    const int n = pool.Count();
    for (int k = 0; k < 4 && n > 0; ++k) {
        const TXYZ base = pool.Points((k * (n - 1)) / 3)->Position();
        TXYZ q{base.x + 3.0f * static_cast<float>(k - 1), base.y - 2.0f, 0};
        const bool refresh = pool.SnapCandidates().empty() || Dist(pool.SnapCentre(), q) > 50;
        const TXYZ asked = q;
        const int32_t id = pool.FindNearest(q, FullTypeSet());
        if (!refresh)
            continue;
        int32_t want = -1;
        double best = UndefinedValue;
        for (int i = 0; i < n; ++i) {
            const double d = Dist(asked, pool.Points(i)->Position());
            if (d <= best) {
                best = d;
                want = pool.Points(i)->Id();
            }
        }
        Require(id == want);
    }
    return 0;
}
