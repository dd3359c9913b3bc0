#include "model/BatchSeam.h"

#include <algorithm>
#include <atomic>

uint64_t NewBatchSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

TItemBatch::TItemBatch(TBatchKind kind) : Serial_(NewBatchSerial()), Kind_(kind) {}

TItemBatchPtr NewItemBatch(TBatchKind kind) {
    return std::make_shared<TBookkeepingBatch>(kind);
}

// ---- TBookkeepingBatch

TBatchGroupId TBookkeepingBatch::AddGroup(TBatchOwnerKey owner, const TXYZ &a, const TXYZ &b) {
    const TBatchGroupId id = NewBatchSerial();
    Index_.emplace(id, Groups_.size());
    Groups_.push_back({id, TGroup{owner, false, a, b}});
    Recent_.push_back(id);
    return id;
}

void TBookkeepingBatch::AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last,
                                         int first) {
    if (points.size() < 2)
        return;
    const int n = static_cast<int>(points.size());
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    for (int i = first; i < last; ++i)
        AddGroup(owner, points[static_cast<std::size_t>(i)], points[static_cast<std::size_t>(i) + 1]);
}

void TBookkeepingBatch::MarkDeleted(std::span<const TBatchGroupId> groups) {
    for (TBatchGroupId id : groups) {
        auto it = Index_.find(id);
        if (it == Index_.end())
            continue;
        TGroup &g = Groups_[it->second].second;
        if (!g.Deleted) {
            g.Deleted = true;
            ++DeletedCount_;
        }
    }
    CompactIfWorthIt();
}

void TBookkeepingBatch::DeleteOwner(TBatchOwnerKey owner) {
    for (auto &[id, g] : Groups_) {
        if (g.Owner == owner && !g.Deleted) {
            g.Deleted = true;
            ++DeletedCount_;
        }
    }
    CompactIfWorthIt();
}

// Deleted groups are packed out once they are the majority, so marking stays linear overall.
void TBookkeepingBatch::CompactIfWorthIt() {
    if (DeletedCount_ * 2 <= Groups_.size())
        return;
    std::erase_if(Groups_, [](const auto &e) { return e.second.Deleted; });
    Index_.clear();
    for (std::size_t i = 0; i < Groups_.size(); ++i)
        Index_.emplace(Groups_[i].first, i);
    std::erase_if(Recent_, [this](TBatchGroupId id) { return !Index_.contains(id); });
    DeletedCount_ = 0;
}

void TBookkeepingBatch::SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) {
    HasPicture_ = picture != nullptr;
    PictureWidth_ = picture ? picture->Width() : 0;
    PictureHeight_ = picture ? picture->Height() : 0;
    AddressU_ = u;
    AddressV_ = v;
}

int TBookkeepingBatch::LiveGroupCount(TBatchOwnerKey owner) const {
    int n = 0;
    for (const auto &[id, g] : Groups_)
        n += !g.Deleted && g.Owner == owner;
    return n;
}

int TBookkeepingBatch::LiveGroupCount() const {
    return static_cast<int>(Groups_.size() - DeletedCount_);
}

std::vector<TBookkeepingBatch::TGroup> TBookkeepingBatch::LiveGroups(TBatchOwnerKey owner) const {
    std::vector<TGroup> out;
    for (const auto &[id, g] : Groups_)
        if (!g.Deleted && g.Owner == owner)
            out.push_back(g);
    return out;
}
