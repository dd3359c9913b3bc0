#include "engine/DxTess3.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <initializer_list>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>

// How the sweep works
//
// Every contour is a ring of vertices. The sweep visits the points in (x, y) order; ordering equal x by y
// tilts the sweep line by an infinitesimal angle, so vertical edges and equal coordinates need no special
// case and no point is ever moved. All vertices at one point are handled as one event, which makes
// touching contours, repeated points and points lying on another edge ordinary events.
//
// The status is the set of edges crossing the sweep line, ordered from bottom to top. By the even-odd rule
// the gaps between them are alternately outside and inside, starting outside at the top; every edge
// therefore borders exactly one inside gap, and each inside gap is a region whose area left of the sweep
// line is being cut into x-monotone pieces. An event removes the edges that end at its point and inserts
// those that start there, always in adjacent runs, so the parity of the other edges never changes.
//
// A piece is triangulated while the sweep passes over it: its stack holds the vertices that still need
// triangles (a bottom vertex and a reflex chain on one side), as in the classic monotone-polygon
// algorithm. A region normally owns one piece. After a merge vertex (two regions joining) it owns two, the
// upper and the lower one, until the next vertex of the region arrives and is joined to the merge vertex
// by a diagonal. A start vertex inside a region (a split vertex) is joined to the region's most recent
// vertex, the top of its stack.
//
// Crossings are found as in a Bentley-Ottmann sweep: whenever two edges become neighbours in the status,
// they are tested, and if they cross ahead of the sweep line both are cut at the crossing point, which
// becomes a new vertex of each ring (the rings keep their shape; only even-odd insideness matters).
//
// Robustness rests on three rules. Crossing points are rounded to singles, like the contour points, so
// every orientation test is exact in double and a crossing that falls on a contour point or on another
// crossing becomes that very point. An edge passing an event point closer than one unit in the last place
// of that point is taken through it, which absorbs the rounding of crossings. A crossing point is kept
// strictly ahead of the sweep point and not beyond either edge's end, so no event ever moves backwards,
// and an edge bent by a cut is tested again against its other neighbour.
//
// Anything that still contradicts the order of the status stops the sweep with a message instead of
// guessing.

namespace {

struct TPoint {
    double x, y;
};

bool Less(const TPoint &a, const TPoint &b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
}

bool Same(const TPoint &a, const TPoint &b) {
    return a.x == b.x && a.y == b.y;
}

// Twice the signed area of the triangle a, b, c: positive when c lies left of a->b. For singles of similar
// magnitude the sign is exact: their differences and the products of those fit a double.
double Orient(const TPoint &a, const TPoint &b, const TPoint &c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Orders the directions of edges leaving one point to the right: larger is higher. A key, not a pairwise
// test, so that sorting is a strict weak order whatever the rounding.
double DirectionKey(const TPoint &from, const TPoint &to) {
    const double dx = to.x - from.x;
    return dx > 0 ? (to.y - from.y) / dx : std::numeric_limits<double>::infinity();
}

const char *const NoChain = "TDxTesselator3.ProcessFin: Chain=nil.";
const char *const CannotOrder = "TDxTesselator3.FindUpDownChain: can not...";
const char *const WrongParity = "TDxTesselator3.ProcessFin:  Odd1=Odd2.";
const char *const TooManyPoints = "TDxTesselator3.Proceed: more more points...";

class TSweepStop : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Stop(const char *why) {
    throw TSweepStop(why);
}

struct TActiveEdge;

struct TVertex {
    TPoint at;
    TXYZ out; // the value written into the triangle list
    int32_t prev = -1, next = -1;
    // The status edge arriving from prev (0) or from next (1) while that neighbour lies behind the sweep.
    TActiveEdge *in[2] = {nullptr, nullptr};
};

// Bottom-to-top order of the status edges. Edge against edge is needed only where new edges go in next to
// their neighbours; a point against an edge locates start events and finds edges passing through a point.
struct TEdgeOrder {
    const std::vector<TVertex> *vertices;
    using is_transparent = void;
    bool operator()(const TActiveEdge *e, const TActiveEdge *f) const;
    bool operator()(const TActiveEdge *e, const TPoint &p) const;
    bool operator()(const TPoint &p, const TActiveEdge *e) const;
};
using TStatus = std::set<TActiveEdge *, TEdgeOrder>;

// A monotone piece being triangulated: side of the chain on the stack, +1 upper, -1 lower, 0 when the
// stack holds only the first vertex.
struct TPiece {
    std::vector<int32_t> stack;
    int side = 0;
};

// An inside gap of the status. upper != lower while a merge vertex waits for the region's next vertex.
struct TRegion {
    TPiece *upper = nullptr, *lower = nullptr;
};

struct TActiveEdge {
    int32_t left = -1, right = -1; // left comes first in sweep order
    bool insideBelow = false;
    TRegion *region = nullptr; // the inside gap this edge borders (below it when insideBelow)
    uint64_t seq = 0;          // orders edges that leave one point in the same direction
    TStatus::iterator pos;
};

bool TEdgeOrder::operator()(const TActiveEdge *e, const TActiveEdge *f) const {
    if (e == f)
        return false;
    const std::vector<TVertex> &v = *vertices;
    const TPoint &a = v[e->left].at, &b = v[e->right].at, &c = v[f->left].at, &d = v[f->right].at;
    if (Same(a, c)) {
        const double ke = DirectionKey(a, b), kf = DirectionKey(a, d);
        if (ke != kf)
            return ke < kf;
    } else if (Less(c, a)) {
        double s = Orient(c, d, a);
        if (s == 0)
            s = Orient(c, d, b);
        if (s != 0)
            return s < 0;
    } else {
        double s = Orient(a, b, c);
        if (s == 0)
            s = Orient(a, b, d);
        if (s != 0)
            return s > 0;
    }
    return e->seq > f->seq;
}

bool TEdgeOrder::operator()(const TActiveEdge *e, const TPoint &p) const {
    return Orient((*vertices)[e->left].at, (*vertices)[e->right].at, p) > 0;
}

bool TEdgeOrder::operator()(const TPoint &p, const TActiveEdge *e) const {
    return Orient((*vertices)[e->left].at, (*vertices)[e->right].at, p) < 0;
}

// Distance from p to the segment a-b.
double SegmentDistance(const TPoint &a, const TPoint &b, const TPoint &p) {
    const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = t > 0 ? (t < 1 ? t : 1) : 0;
    return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

// Rounding a crossing to singles moves it by up to half a unit in the last place of each coordinate, and
// the edges cut there move as much. So an edge passing a point closer than one unit in the last place of
// the largest coordinate involved (edge ends and point) is taken through the point.
double SnapDistance(std::initializer_list<TPoint> points) {
    double m = 0x1p-126;
    for (const TPoint &p : points)
        m = std::max({m, std::fabs(p.x), std::fabs(p.y)});
    int exponent = 0;
    std::frexp(m, &exponent);
    return std::ldexp(1.0, exponent - 24);
}

// The next point in sweep order that singles can hold: straight above, or at the next x.
TPoint Successor(const TPoint &p) {
    const auto y = float(p.y);
    if (y < std::numeric_limits<float>::max())
        return {p.x, std::nextafter(y, std::numeric_limits<float>::infinity())};
    return {std::nextafter(float(p.x), std::numeric_limits<float>::infinity()),
            -std::numeric_limits<float>::max()};
}

// Where a-b (above) and c-d (below), which cross by their ends' sides, are cut. The point is one that
// singles can hold, like every point of the sweep, so that all orientation tests stay exact and a crossing
// that falls on a contour point (or on another crossing) becomes that very point. It must lie strictly
// ahead of the sweep point `at` and not beyond `first`, the end that comes first.
//
// When `first` lies on both edges within the snapping distance, the cut is there (edges leaving one point
// meet again only by rounding). Otherwise the crossing of the lines is estimated along each edge, and of
// the single-precision points next to each estimate (and `first`, and the point right after `at`) the one
// nearest to both edges within those bounds is taken: rounding can carry a crossing just ahead of a
// vertical sweep position behind it, and for nearly collinear edges the lines meet anywhere.
TPoint CrossingPoint(const TPoint &a, const TPoint &b, const TPoint &c, const TPoint &d, const TPoint &at,
                     const TPoint &first) {
    auto misfit = [&](const TPoint &p) {
        return std::max(SegmentDistance(a, b, p), SegmentDistance(c, d, p));
    };
    const double snap = SnapDistance({a, b, c, d}), firstMisfit = misfit(first);
    if (Same(a, c) || firstMisfit <= snap)
        return first;
    TPoint best = first;
    double bestMisfit = firstMisfit;
    // The crossing lies in the height range of both edges.
    double lowY = std::max(std::min(a.y, b.y), std::min(c.y, d.y));
    double highY = std::min(std::max(a.y, b.y), std::max(c.y, d.y));
    if (lowY > highY)
        std::swap(lowY, highY);
    auto consider = [&](const TPoint &p) {
        if (Less(at, p) && !Less(first, p) && p.y >= lowY && p.y <= highY) {
            const double m = misfit(p);
            if (m < bestMisfit) {
                best = p;
                bestMisfit = m;
            }
        }
    };
    consider(Successor(at));
    constexpr float up = std::numeric_limits<float>::infinity(), down = -up;
    TPoint estimates[2];
    auto around = [&](const TPoint &p, const TPoint &q, double op, double oq) {
        double t = op / (op - oq);
        t = t > 0 ? (t < 1 ? t : 1) : 0; // also for NaN
        const TPoint e{std::clamp(p.x + (q.x - p.x) * t, at.x, first.x),
                       std::clamp(p.y + (q.y - p.y) * t, lowY, highY)};
        const auto x = float(e.x), y = float(e.y);
        for (const float cx :
             {x, std::nextafter(x, down), std::nextafter(x, up), float(at.x), std::nextafter(float(at.x), up),
              float(first.x), std::nextafter(float(first.x), down)})
            for (const float cy : {y, std::nextafter(y, down), std::nextafter(y, up)})
                consider({cx, cy});
        return e;
    };
    estimates[0] = around(a, b, Orient(c, d, a), Orient(c, d, b));
    estimates[1] = around(c, d, Orient(a, b, c), Orient(a, b, d));
    // An edge narrower than one unit of x may leave no single-precision point near the crossing.
    if (bestMisfit > snap)
        for (const TPoint &e : estimates)
            consider(e);
    return best;
}

class TSweep {
public:
    explicit TSweep(const std::vector<TXYZArray> &contours);
    // True when every point was swept; otherwise error() says why.
    bool Run();
    const std::string &Error() const { return error_; }
    void AppendTriangles(TXYZArray &out) const;

private:
    struct TRight {
        int32_t from, to;
        double key;
    };

    std::vector<TVertex> vertices_;
    std::vector<int32_t> order_; // the contour points in sweep order
    std::size_t nextInput_ = 0;
    std::vector<int32_t> heap_; // crossing points still ahead, earliest first
    int64_t events_ = 0, eventLimit_ = 0;
    std::size_t vertexLimit_ = 0;

    TStatus status_;
    std::vector<TStatus::node_type> freeNodes_;
    std::deque<TActiveEdge> edges_;
    std::vector<TActiveEdge *> freeEdges_;
    std::deque<TPiece> pieces_;
    std::vector<TPiece *> freePieces_;
    std::deque<TRegion> regions_;
    std::vector<TRegion *> freeRegions_;
    uint64_t seq_ = 0;

    // Scratch of one event.
    std::vector<int32_t> group_;
    std::vector<TRight> rights_;
    std::vector<TActiveEdge *> left_;
    std::vector<std::pair<TActiveEdge *, TActiveEdge *>> pairs_;

    std::vector<int32_t> triangles_;
    std::string error_;

    const TPoint &At(int32_t v) const { return vertices_[std::size_t(v)].at; }
    TVertex &Vx(int32_t v) { return vertices_[std::size_t(v)]; }
    bool EarlierVertex(int32_t a, int32_t b) const { return Less(At(a), At(b)); }
    // On the edge, or so near that the edge is taken through the point.
    bool PassesThrough(const TActiveEdge *e, const TPoint &p) const {
        const TPoint &l = At(e->left), &r = At(e->right);
        // Far from the edge's line is the common case; squares keep it free of roots.
        const double o = Orient(l, r, p), snap = SnapDistance({l, r, p});
        if (o * o > snap * snap * ((r.x - l.x) * (r.x - l.x) + (r.y - l.y) * (r.y - l.y)))
            return false;
        return SegmentDistance(l, r, p) <= snap;
    }

    bool PopEvent(TPoint &at);
    void ProcessEvent(const TPoint &at);
    void SortRights();
    void CheckCrossings(const TPoint &at);

    int32_t NewVertex(const TPoint &at, float z);
    int32_t SplitEdge(TActiveEdge *e, const TPoint &at);
    TActiveEdge *NewEdge();
    void InsertBelow(TActiveEdge *e, TStatus::iterator above);
    void Erase(TActiveEdge *e);
    TActiveEdge *EdgeAbove(const TActiveEdge *e) const;
    TActiveEdge *EdgeBelow(const TActiveEdge *e) const;

    TPiece *NewPiece(int32_t first);
    void Push(TPiece &p, int32_t w, int side);
    void Finish(TPiece *p, int32_t w);
    TRegion *NewRegion(TPiece *p);
    void FreeRegion(TRegion *r);
    void AddUpper(TRegion *r, int32_t w);
    void AddLower(TRegion *r, int32_t w);
    void CloseRegion(TRegion *r, int32_t w);
    TRegion *SplitRegion(TRegion *r, int32_t w);
    void Emit(int32_t a, int32_t b, int32_t c);
};

TSweep::TSweep(const std::vector<TXYZArray> &contours) : status_(TEdgeOrder{&vertices_}) {
    std::size_t n = 0;
    for (const TXYZArray &c : contours)
        n += c.size();
    vertices_.reserve(n + n / 8 + 16);
    for (const TXYZArray &c : contours) {
        const auto base = int32_t(vertices_.size()), len = int32_t(c.size());
        for (int32_t i = 0; i < len; ++i) {
            TVertex v;
            v.at = {double(c[std::size_t(i)].x), double(c[std::size_t(i)].y)};
            v.out = c[std::size_t(i)];
            v.prev = base + (i + len - 1) % len;
            v.next = base + (i + 1) % len;
            vertices_.push_back(v);
        }
    }
    // Sorted as compact keys (the contour points are singles) rather than through the vertex records.
    struct TKey {
        float x, y;
        int32_t v;
    };
    std::vector<TKey> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = {float(vertices_[i].at.x), float(vertices_[i].at.y), int32_t(i)};
    std::sort(keys.begin(), keys.end(),
              [](const TKey &a, const TKey &b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    order_.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        order_[i] = keys[i].v;
    // Exact arithmetic makes at most one point per pair of edges; the bound keeps rounding from running on.
    const auto nn = int64_t(n);
    eventLimit_ = std::min<int64_t>(2 * nn * nn, TDxTesselator3::MaxSweepPoints);
    vertexLimit_ = n + 4 * std::size_t(eventLimit_);
}

bool TSweep::Run() {
    try {
        TPoint at;
        while (PopEvent(at)) {
            if (++events_ > eventLimit_)
                Stop(TooManyPoints);
            ProcessEvent(at);
        }
        if (!status_.empty())
            Stop(CannotOrder);
        return true;
    } catch (const TSweepStop &e) {
        error_ = e.what();
        return false;
    }
}

void TSweep::AppendTriangles(TXYZArray &out) const {
    out.reserve(out.size() + triangles_.size());
    for (int32_t v : triangles_)
        out.push_back(vertices_[std::size_t(v)].out);
}

// The next point of the sweep and every vertex there, from the sorted contour points and the crossings.
bool TSweep::PopEvent(TPoint &at) {
    group_.clear();
    const bool haveInput = nextInput_ < order_.size();
    if (!haveInput && heap_.empty())
        return false;
    if (haveInput && (heap_.empty() || !EarlierVertex(heap_.front(), order_[nextInput_])))
        at = At(order_[nextInput_]);
    else
        at = At(heap_.front());
    auto later = [this](int32_t a, int32_t b) { return EarlierVertex(b, a); };
    while (nextInput_ < order_.size() && Same(At(order_[nextInput_]), at))
        group_.push_back(order_[nextInput_++]);
    while (!heap_.empty() && Same(At(heap_.front()), at)) {
        std::pop_heap(heap_.begin(), heap_.end(), later);
        group_.push_back(heap_.back());
        heap_.pop_back();
    }
    return true;
}

void TSweep::ProcessEvent(const TPoint &at) {
    const int32_t rep = group_[0]; // the vertex that stands for this point in the triangles

    // Edges ending here are known from their vertices; edges leaving here are collected to be inserted.
    rights_.clear();
    int expectedLeft = 0;
    TActiveEdge *anyLeft = nullptr;
    for (int32_t u : group_) {
        for (int side = 0; side < 2; ++side) {
            const int32_t n = side == 0 ? Vx(u).prev : Vx(u).next;
            if (Less(At(n), at)) {
                TActiveEdge *e = Vx(u).in[side];
                if (!e || e->right != u)
                    Stop(NoChain);
                ++expectedLeft;
                anyLeft = e;
            } else {
                rights_.push_back({u, n, 0});
            }
        }
    }

    // The run of status edges that end here or pass through this point.
    TStatus::iterator lo, hi;
    if (anyLeft) {
        lo = anyLeft->pos;
        hi = std::next(lo);
    } else {
        std::tie(lo, hi) = status_.equal_range(at);
    }
    while (lo != status_.begin() && PassesThrough(*std::prev(lo), at))
        --lo;
    while (hi != status_.end() && PassesThrough(*hi, at))
        ++hi;
    left_.clear();
    int foundLeft = 0;
    for (auto it = hi; it != lo;) {
        TActiveEdge *e = *--it;
        if (Same(At(e->right), at)) {
            ++foundLeft;
        } else { // the point lies on this edge: cut it here
            const int32_t r = e->right;
            rights_.push_back({SplitEdge(e, at), r, 0});
        }
        left_.push_back(e); // top to bottom
    }
    if (foundLeft != expectedLeft)
        Stop(CannotOrder);

    TActiveEdge *above = hi != status_.end() ? *hi : nullptr;
    TActiveEdge *below = lo != status_.begin() ? *std::prev(lo) : nullptr;
    if ((above && !(Orient(At(above->left), At(above->right), at) < 0)) ||
        (below && !(Orient(At(below->left), At(below->right), at) > 0)))
        Stop(CannotOrder);
    const int k = int(left_.size());
    const bool topIn = above && above->insideBelow;
    const bool bottomIn = below && !below->insideBelow;
    if (bottomIn != (topIn != (k % 2 == 1)))
        Stop(WrongParity);
    for (int i = 0; i < k; ++i) {
        const bool in = topIn != (i % 2 == 0);
        if (left_[std::size_t(i)]->insideBelow != in)
            Stop(WrongParity);
        if (in && i + 1 < k && left_[std::size_t(i)]->region != left_[std::size_t(i + 1)]->region)
            Stop(WrongParity);
    }
    if (topIn && (k > 0 ? left_.front()->region : below->region) != above->region)
        Stop(WrongParity);
    if (bottomIn && k > 0 && left_.back()->region != below->region)
        Stop(WrongParity);

    // Regions left of the point: the one above receives it on its lower boundary, the one below on its
    // upper boundary, those between two ending edges are closed by it.
    if (k > 0) {
        if (topIn)
            AddLower(above->region, rep);
        for (int i = 0; i + 1 < k; ++i)
            if (left_[std::size_t(i)]->insideBelow)
                CloseRegion(left_[std::size_t(i)]->region, rep);
        if (bottomIn)
            AddUpper(below->region, rep);
    }

    // Regions right of the point.
    SortRights();
    const int m = int(rights_.size());
    TRegion *topRegion = topIn ? above->region : nullptr;
    TRegion *bottomRegion = bottomIn ? below->region : nullptr;
    if (k == 0 && topIn) { // a start point inside a region splits it
        bottomRegion = SplitRegion(topRegion, rep);
        below->region = bottomRegion;
    } else if (m == 0 && topIn) { // two regions meet here and go on as one
        if (topRegion == bottomRegion)
            Stop(WrongParity);
        topRegion->lower = bottomRegion->upper;
        FreeRegion(bottomRegion);
        below->region = topRegion;
    }

    // The edges leaving the point take the places of those that ended here, top to bottom; gap j lies
    // above new edge j.
    TRegion *gapAbove = topRegion;
    TActiveEdge *topEdge = nullptr, *prevEdge = nullptr;
    for (int j = 0; j < m; ++j) {
        const TRight &r = rights_[std::size_t(j)];
        const bool inBelow = topIn != (j % 2 == 0);
        TRegion *gapBelow = nullptr;
        if (inBelow)
            gapBelow = j + 1 == m ? bottomRegion : NewRegion(NewPiece(rep));
        TActiveEdge *e = j < k ? left_[std::size_t(j)] : NewEdge();
        e->left = r.from;
        e->right = r.to;
        e->seq = seq_++;
        e->insideBelow = inBelow;
        e->region = inBelow ? gapBelow : gapAbove;
        Vx(r.to).in[Vx(r.to).prev == r.from ? 0 : 1] = e;
        if (j >= k)
            InsertBelow(e, j == 0 ? hi : prevEdge->pos);
        if (j == 0)
            topEdge = e;
        gapAbove = gapBelow;
        prevEdge = e;
    }
    for (int j = m; j < k; ++j)
        Erase(left_[std::size_t(j)]);

    // New neighbours in the status may cross ahead of the sweep line.
    pairs_.clear();
    if (m > 0) {
        if (above)
            pairs_.push_back({above, topEdge});
        if (below)
            pairs_.push_back({prevEdge, below});
    } else if (above && below) {
        pairs_.push_back({above, below});
    }
    CheckCrossings(at);
}

// Top to bottom by direction; edges in the same direction keep an arbitrary but fixed order.
void TSweep::SortRights() {
    if (rights_.empty())
        return;
    const TPoint at = At(rights_[0].from);
    for (TRight &r : rights_)
        r.key = DirectionKey(at, At(r.to));
    std::sort(rights_.begin(), rights_.end(), [this](const TRight &a, const TRight &b) {
        if (a.key != b.key)
            return a.key > b.key;
        if (!Same(At(a.to), At(b.to)))
            return Less(At(a.to), At(b.to));
        return a.to < b.to;
    });
}

void TSweep::CheckCrossings(const TPoint &at) {
    while (!pairs_.empty()) {
        auto [hi, lo] = pairs_.back();
        pairs_.pop_back();
        const TPoint a = At(hi->left), b = At(hi->right), c = At(lo->left), d = At(lo->right);
        if (Same(b, d))
            continue;
        // The edge that ends first crosses the other when its end lies on the wrong side of it. An end
        // exactly on the other edge is left to that point's event.
        const bool hiEndsFirst = Less(b, d);
        if (hiEndsFirst ? !(Orient(c, d, b) < 0) : !(Orient(a, b, d) > 0))
            continue;
        const TPoint x = CrossingPoint(a, b, c, d, at, hiEndsFirst ? b : d);
        if (!Same(x, b)) {
            const int32_t w = SplitEdge(hi, x);
            heap_.push_back(w);
            std::push_heap(heap_.begin(), heap_.end(),
                           [this](int32_t p, int32_t q) { return EarlierVertex(q, p); });
            if (TActiveEdge *up = EdgeAbove(hi))
                pairs_.push_back({up, hi});
        }
        if (!Same(x, d)) {
            const int32_t w = SplitEdge(lo, x);
            heap_.push_back(w);
            std::push_heap(heap_.begin(), heap_.end(),
                           [this](int32_t p, int32_t q) { return EarlierVertex(q, p); });
            if (TActiveEdge *down = EdgeBelow(lo))
                pairs_.push_back({lo, down});
        }
    }
}

int32_t TSweep::NewVertex(const TPoint &at, float z) {
    if (vertices_.size() >= vertexLimit_)
        Stop(TooManyPoints);
    TVertex v;
    v.at = at;
    v.out = {float(at.x), float(at.y), z};
    vertices_.push_back(v);
    return int32_t(vertices_.size() - 1);
}

// Cuts e at a point on (or, after rounding, next to) it: a new vertex joins e's ring between its ends, and
// e now ends there.
int32_t TSweep::SplitEdge(TActiveEdge *e, const TPoint &at) {
    const int32_t l = e->left, r = e->right;
    float z;
    {
        const TVertex &vl = Vx(l), &vr = Vx(r);
        const double dx = vr.at.x - vl.at.x, dy = vr.at.y - vl.at.y, len2 = dx * dx + dy * dy;
        double s = len2 > 0 ? ((at.x - vl.at.x) * dx + (at.y - vl.at.y) * dy) / len2 : 0;
        s = std::clamp(s, 0.0, 1.0);
        z = float(vl.out.z + (double(vr.out.z) - vl.out.z) * s);
    }
    const int32_t w = NewVertex(at, z);
    TVertex &vl = Vx(l), &vr = Vx(r), &vw = Vx(w);
    if (vl.next == r) {
        vl.next = w;
        vw.prev = l;
        vw.next = r;
        vr.prev = w;
        vw.in[0] = e;
        vr.in[0] = nullptr;
    } else if (vr.next == l) {
        vr.next = w;
        vw.prev = r;
        vw.next = l;
        vl.prev = w;
        vw.in[1] = e;
        vr.in[1] = nullptr;
    } else {
        Stop(NoChain);
    }
    e->right = w;
    return w;
}

TActiveEdge *TSweep::NewEdge() {
    if (!freeEdges_.empty()) {
        TActiveEdge *e = freeEdges_.back();
        freeEdges_.pop_back();
        return e;
    }
    return &edges_.emplace_back();
}

// Puts e into the status right below the edge at `above` (end(): at the top).
void TSweep::InsertBelow(TActiveEdge *e, TStatus::iterator above) {
    TStatus::iterator it;
    if (!freeNodes_.empty()) {
        TStatus::node_type node = std::move(freeNodes_.back());
        freeNodes_.pop_back();
        node.value() = e;
        it = status_.insert(above, std::move(node));
    } else {
        it = status_.insert(above, e);
    }
    if (*it != e || std::next(it) != above)
        Stop(CannotOrder);
    e->pos = it;
}

void TSweep::Erase(TActiveEdge *e) {
    freeNodes_.push_back(status_.extract(e->pos));
    freeEdges_.push_back(e);
}

TActiveEdge *TSweep::EdgeAbove(const TActiveEdge *e) const {
    auto it = std::next(e->pos);
    return it != status_.end() ? *it : nullptr;
}

TActiveEdge *TSweep::EdgeBelow(const TActiveEdge *e) const {
    return e->pos != status_.begin() ? *std::prev(e->pos) : nullptr;
}

// ---- Monotone pieces ---------------------------------------------------------------------------------

TPiece *TSweep::NewPiece(int32_t first) {
    TPiece *p;
    if (!freePieces_.empty()) {
        p = freePieces_.back();
        freePieces_.pop_back();
    } else {
        p = &pieces_.emplace_back();
    }
    p->stack.clear();
    p->stack.push_back(first);
    p->side = 0;
    return p;
}

// w is the next vertex of the piece, on its upper (+1) or lower (-1) boundary.
void TSweep::Push(TPiece &p, int32_t w, int side) {
    std::vector<int32_t> &s = p.stack;
    if (s.size() >= 2 && side != p.side) {
        // w sees the whole chain across the piece.
        for (std::size_t i = 0; i + 1 < s.size(); ++i)
            Emit(s[i], s[i + 1], w);
        s[0] = s.back();
        s.resize(1);
    } else {
        // Same side: cut off the corners that w makes convex.
        while (s.size() >= 2) {
            const double o = Orient(At(s[s.size() - 2]), At(s.back()), At(w));
            if (side > 0 ? !(o < 0) : !(o > 0))
                break;
            Emit(s[s.size() - 2], s.back(), w);
            s.pop_back();
        }
    }
    s.push_back(w);
    p.side = side;
}

// w closes the piece: it sees every vertex left on the stack.
void TSweep::Finish(TPiece *p, int32_t w) {
    const std::vector<int32_t> &s = p->stack;
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        Emit(s[i], s[i + 1], w);
    freePieces_.push_back(p);
}

TRegion *TSweep::NewRegion(TPiece *p) {
    TRegion *r;
    if (!freeRegions_.empty()) {
        r = freeRegions_.back();
        freeRegions_.pop_back();
    } else {
        r = &regions_.emplace_back();
    }
    r->upper = r->lower = p;
    return r;
}

void TSweep::FreeRegion(TRegion *r) {
    r->upper = r->lower = nullptr;
    freeRegions_.push_back(r);
}

// w arrives on the region's upper boundary. A waiting merge vertex is joined to w: that closes the upper
// piece, and the lower one goes on with w.
void TSweep::AddUpper(TRegion *r, int32_t w) {
    if (r->upper != r->lower) {
        Finish(r->upper, w);
        r->upper = r->lower;
    }
    Push(*r->upper, w, +1);
}

void TSweep::AddLower(TRegion *r, int32_t w) {
    if (r->upper != r->lower) {
        Finish(r->lower, w);
        r->lower = r->upper;
    }
    Push(*r->lower, w, -1);
}

void TSweep::CloseRegion(TRegion *r, int32_t w) {
    Finish(r->upper, w);
    if (r->lower != r->upper)
        Finish(r->lower, w);
    FreeRegion(r);
}

// w starts two edges inside the region. It is joined by a diagonal to the region's latest vertex (the
// merge vertex, if one waits): the part above keeps this region, the part below gets the returned one.
TRegion *TSweep::SplitRegion(TRegion *r, int32_t w) {
    TPiece *up, *down;
    if (r->upper != r->lower) {
        up = r->upper;
        down = r->lower;
    } else {
        // The latest vertex starts a new piece on the side away from the chain it belongs to.
        TPiece *p = r->upper;
        TPiece *q = NewPiece(p->stack.back());
        if (p->side >= 0) {
            up = q;
            down = p;
        } else {
            up = p;
            down = q;
        }
    }
    Push(*up, w, -1);
    Push(*down, w, +1);
    r->upper = r->lower = up;
    return NewRegion(down);
}

// Counter-clockwise; triangles of no area are left out.
void TSweep::Emit(int32_t a, int32_t b, int32_t c) {
    const double o = Orient(At(a), At(b), At(c));
    if (o == 0)
        return;
    if (o < 0)
        std::swap(b, c);
    triangles_.insert(triangles_.end(), {a, b, c});
}

// Drops repeated neighbours and points on the straight line through their neighbours (the outline keeps
// its shape and its area); fewer than 3 points left: an empty contour.
TXYZArray CleanContour(std::span<const TXYZ> contour) {
    const auto n = int32_t(contour.size());
    if (n < 3)
        return {};
    std::vector<int32_t> prev(static_cast<std::size_t>(n)), next(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        prev[std::size_t(i)] = (i + n - 1) % n;
        next[std::size_t(i)] = (i + 1) % n;
    }
    auto at = [&](int32_t i) { return TPoint{contour[std::size_t(i)].x, contour[std::size_t(i)].y}; };
    int32_t count = n, c = 0, quiet = 0;
    while (count >= 3 && quiet < count) {
        const int32_t d = next[std::size_t(c)], e = next[std::size_t(d)];
        if (Same(at(c), at(d)) || Orient(at(c), at(d), at(e)) == 0) {
            next[std::size_t(c)] = e;
            prev[std::size_t(e)] = c;
            --count;
            quiet = 0;
            c = prev[std::size_t(c)]; // the corner before may have become straight
        } else {
            c = d;
            ++quiet;
        }
    }
    if (count < 3)
        return {};
    TXYZArray out;
    out.reserve(std::size_t(count));
    for (int32_t i = 0, v = c; i < count; ++i, v = next[std::size_t(v)])
        out.push_back(contour[std::size_t(v)]);
    return out;
}

} // namespace

void TDxTesselator3::AddContour(std::span<const TXYZ> contour) {
    const int32_t number = contourCount_++;
    if (!inputError_.empty())
        return;
    // Far beyond what the sweep takes (it stops after MaxSweepPoints points), and within int32 indices.
    if (contour.size() > std::size_t(MaxContourPoints) - pointCount_) {
        inputError_ = "TDxTesselator3.AddContour: more than " + std::to_string(MaxContourPoints) + " points";
        return;
    }
    for (std::size_t i = 0; i < contour.size(); ++i) {
        if (!std::isfinite(contour[i].x) || !std::isfinite(contour[i].y)) {
            inputError_ = "TDxTesselator3.AddContour: point " + std::to_string(i) + " of contour " +
                          std::to_string(number) + " is not finite";
            return;
        }
    }
    TXYZArray clean = CleanContour(contour);
    pointCount_ += clean.size();
    if (!clean.empty())
        contours_.push_back(std::move(clean));
}

bool TDxTesselator3::Proceed() {
    triangles_.clear();
    error_ = inputError_;
    if (!error_.empty())
        return false;
    TSweep sweep(contours_);
    const bool ok = sweep.Run();
    sweep.AppendTriangles(triangles_);
    error_ = sweep.Error();
    return ok;
}

void TDxTesselator3::GetTriangles(std::unique_ptr<TPtrBlock> &block) const {
    const auto count = int32_t(triangles_.size());
    block = CreatePtrArray(count);
    for (int32_t i = 0; i < count; ++i)
        (*block)[i] = &triangles_[std::size_t(i)];
    block->SetCount(count);
}

void TDxTesselator3::Clear() {
    contours_.clear();
    contourCount_ = 0;
    pointCount_ = 0;
    inputError_.clear();
    triangles_.clear();
    error_.clear();
}

TTriangulation Triangulate(std::span<const TXYZ> contour) {
    TDxTesselator3 tess;
    tess.AddContour(contour);
    TTriangulation result;
    result.Complete = tess.Proceed();
    result.Triangles = tess.Triangles();
    result.Error = tess.ErrorText();
    return result;
}
