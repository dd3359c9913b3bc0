#include "model/ItemList.h"

#include "engine/DxRenderer.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_set>

namespace {

// "ITEM    ", the class ident and the id: no record is shorter.
constexpr int MinItemRecordSize = 8 + ItemIdentSize + 4;

// A membership test that stays cheap for long exclusion lists.
class TExclusion {
public:
    explicit TExclusion(std::span<TAbstractItem *const> items) : Items_(items) {
        if (items.size() > 16)
            Set_.insert(items.begin(), items.end());
    }
    bool Contains(const TAbstractItem *item) const {
        if (!Set_.empty())
            return Set_.contains(item);
        return std::find(Items_.begin(), Items_.end(), item) != Items_.end();
    }

private:
    std::span<TAbstractItem *const> Items_;
    std::unordered_set<const TAbstractItem *> Set_;
};

// A list's items that a search looks at: the active ones not excluded.
auto Searchable(const TExclusion &excluded) {
    return [&excluded](const std::unique_ptr<TAbstractItem> &item) -> TAbstractItem * {
        return item->Active && !excluded.Contains(item.get()) ? item.get() : nullptr;
    };
}

std::string TypeText(int code) {
    return std::to_string(code) + " (" + ItemTypeIdent(code).Bytes() + ")";
}

} // namespace

TItemList::TItemList(TStreetStructure *street, int typeCode, const TItemClass *itemClass)
    : Street_(street), TypeCode_(typeCode), ItemClass_(itemClass) {
    if (!IsItemTypeCode(typeCode))
        RaiseStreetError("TItemList.Create", "type code " + std::to_string(typeCode) + " out of range 0..40");
}

TItemList::~TItemList() = default;

TAbstractItem *TItemList::Items(int i) const {
    if (i < 0 || i >= Count())
        RaiseStreetError("TItemList.Items", "index " + std::to_string(i) + " out of range (" +
                                                std::to_string(Count()) + " items)");
    return Items_[static_cast<std::size_t>(i)].get();
}

std::unique_ptr<TAbstractItem> TItemList::MakeItem(const char *where) {
    if (!ItemClass_)
        RaiseStreetError(where, "type " + TypeText(TypeCode_) + " has no registered item class");
    std::unique_ptr<TAbstractItem> item = ItemClass_->NewItem();
    if (!item || item->GetTypeCode() != TypeCode_)
        RaiseStreetError(where, "the class of type " + TypeText(TypeCode_) + " made no item of its type");
    item->Create(*Street_, ItemClass_);
    return item;
}

void TItemList::IndexId(TAbstractItem *item) {
    ById_.emplace(item->ID_, item);
}

void TItemList::UnindexId(TAbstractItem *item) {
    const auto it = ById_.find(item->ID_);
    if (it != ById_.end() && it->second == item)
        ById_.erase(it);
}

void TItemList::Adopt(std::unique_ptr<TAbstractItem> item) {
    item->List_ = this;
    item->ListOrder_ = ++LastOrder_;
    IndexId(item.get());
    Items_.push_back(std::move(item));
}

void TItemList::ChangeId(TAbstractItem *item, int32_t id) {
    if (item->ID_ == id)
        return;
    if (ById_.contains(id))
        RaiseStreetError("TItemList.ChangeId", "type " + TypeText(TypeCode_) +
                                                   " already has an item with id " + std::to_string(id));
    UnindexId(item);
    item->ID_ = id;
    IndexId(item);
    MaxId_ = std::max(MaxId_, id);
}

TAbstractItem *TItemList::AddNew() {
    if (MaxId_ == std::numeric_limits<int32_t>::max())
        RaiseStreetError("TItemList.AddNew", "no item id left for type " + TypeText(TypeCode_));
    std::unique_ptr<TAbstractItem> item = MakeItem("TItemList.AddNew");
    item->ID_ = ++MaxId_;
    TAbstractItem *p = item.get();
    Adopt(std::move(item));
    return p;
}

TAbstractItem *TItemList::FindById(int32_t id) const {
    const auto it = ById_.find(id);
    return it == ById_.end() ? nullptr : it->second;
}

void TItemList::LoadFromStream(TStream &stream) {
    const char *what = "TItemList.LoadFromStream";
    if (!CheckStreamTag(stream, "ITEMLIST"))
        stream.Fail(what, "ident ITEMLIST not found");
    char ident[ItemIdentSize];
    stream.ReadBuffer(ident, ItemIdentSize, what);
    if (std::string_view(ident, ItemIdentSize) != ItemTypeIdent(TypeCode_).Bytes()) {
        stream.Seek(-ItemIdentSize, TSeekOrigin::Current);
        stream.Fail(what, "ident " + ItemTypeIdent(TypeCode_).Bytes() + " not found");
    }
    if (!ItemClass_) {
        stream.Seek(-ItemIdentSize, TSeekOrigin::Current);
        stream.Fail(what, "type " + TypeText(TypeCode_) + " has no registered item class");
    }
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, MinItemRecordSize, what);
    Items_.reserve(Items_.size() + static_cast<std::size_t>(n));
    ById_.reserve(ById_.size() + static_cast<std::size_t>(n));
    for (int32_t k = 0; k < n; ++k) {
        if (MaxId_ == std::numeric_limits<int32_t>::max())
            stream.Fail(what, "no item id left for type " + TypeText(TypeCode_));
        const int64_t start = stream.Position();
        std::unique_ptr<TAbstractItem> item = MakeItem(what);
        // Every record advances MaxId, so it ends at least at the number of records read.
        item->ID_ = ++MaxId_;
        item->LoadFromStream(stream);
        if (item->Invalid) {
            // Too few vertices: the record vanishes, and its vertices are let go with notification.
            item->Points.Clear();
            continue;
        }
        const int32_t id = item->ID_;
        if (id <= 0 || ById_.contains(id)) {
            item->Points.Clear();
            stream.Seek(start, TSeekOrigin::Begin);
            stream.Fail(what, (id <= 0 ? "item id " + std::to_string(id) + " is not positive"
                                       : "duplicate item id " + std::to_string(id)) +
                                  " in the list of type " + TypeText(TypeCode_));
        }
        MaxId_ = std::max(MaxId_, id);
        Adopt(std::move(item));
    }
    // The items were read before they joined the list, so their new points could not mark it: every item
    // read is drawn at the next drawing, also one that shares no vertex with an item read after it.
    if (n > 0)
        Dirty = true;
}

void TItemList::SaveToStream(TStream &stream) const {
    std::vector<const TAbstractItem *> complete;
    complete.reserve(Items_.size());
    for (const auto &item : Items_)
        if (item->IsComplete())
            complete.push_back(item.get());
    if (complete.empty())
        return;
    WriteStreamTag(stream, "ITEMLIST");
    stream.WriteBuffer(ItemTypeIdent(TypeCode_).Data(), ItemIdentSize);
    stream.WriteInt32(static_cast<int32_t>(complete.size()));
    for (const TAbstractItem *item : complete)
        item->SaveToStream(stream);
}

TAbstractItem *TItemList::FindNearest(const TXYZ &point, std::span<TAbstractItem *const> exclusion,
                                      double maxDistance) {
    const TExclusion excluded(exclusion);
    return NearestByHitTest(Items_, Searchable(excluded), point, maxDistance);
}

void TItemList::CollectNearest(const TXYZ &point, std::span<TAbstractItem *const> exclusion,
                               double maxDistance, std::vector<TAbstractItem *> &result) {
    const TExclusion excluded(exclusion);
    if (TAbstractItem *best = NearestByHitTest(Items_, Searchable(excluded), point, maxDistance))
        result.push_back(best);
}

void TItemList::Append(TItemList &other) {
    if (&other == this || other.TypeCode_ != TypeCode_)
        RaiseStreetError("TItemList.Append", "only another street's list of the same type can be appended");
    if (other.Items_.empty())
        return;
    const int64_t last = static_cast<int64_t>(MaxId_) + other.Count();
    if (last > std::numeric_limits<int32_t>::max())
        RaiseStreetError("TItemList.Append", "no item ids left for " + std::to_string(other.Count()) +
                                                 " items of type " + TypeText(TypeCode_));
    if (Items_.empty() && ItemClass_)
        ItemClass_->InitDrawBatches(*Street_);
    const int32_t first = MaxId_ + 1;
    other.ById_.clear();
    Items_.reserve(Items_.size() + other.Items_.size());
    for (std::size_t i = 0; i < other.Items_.size(); ++i) {
        std::unique_ptr<TAbstractItem> &item = other.Items_[i];
        // Its primitives stay behind in the other street's batches: they go, and are made anew here.
        item->MarkBatchGroupsDeleted();
        item->BatchGroups_.clear();
        item->ID_ = first + static_cast<int32_t>(i);
        item->Street_ = Street_;
        item->Points.SetPool(&Street_->Pool());
        for (TConnectedItems *c : item->OwnContainers_)
            c->Bind(Street_);
        TAbstractItem *p = item.get();
        Adopt(std::move(item));
        p->Points.SetChanged(true);
    }
    other.Items_.clear();
    MaxId_ = static_cast<int32_t>(last);
    Dirty = true;
}

void TItemList::Renumber(int32_t first) {
    if (Items_.empty())
        return;
    if (first <= 0 || static_cast<int64_t>(first) + Count() - 1 > std::numeric_limits<int32_t>::max())
        RaiseStreetError("TItemList.Renumber", "ids from " + std::to_string(first) + " for " +
                                                   std::to_string(Count()) + " items out of range");
    ById_.clear();
    for (std::size_t i = 0; i < Items_.size(); ++i) {
        Items_[i]->ID_ = first + static_cast<int32_t>(i);
        IndexId(Items_[i].get());
    }
    MaxId_ = std::max(MaxId_, Items_.back()->ID_);
}

void TItemList::DrawAll(const TDxDrawParams &params, uint32_t layerMask) {
    // A class may draw its whole list in one pass; walking every item of a long street each frame costs
    // more than drawing a view of it, so a class whose items draw nothing of their own is not walked.
    if (ItemClass_ && (ItemClass_->DrawItems(*this, params, layerMask) || !ItemClass_->DrawsEachFrame()))
        return;
    for (TAbstractItem *item : ItemsToDraw(params))
        item->Draw(params, layerMask);
}

std::span<TAbstractItem *const> TItemList::ItemsToDraw(const TDxDrawParams &params) {
    ToDraw_.clear();
    const double r = params.ViewRadius;
    if (ItemClass_ && ItemClass_->DrawsNearHitBounds() && Street_ && std::isfinite(r) && r >= 0) {
        // The square around the view's circle, a little wider so that rounding cannot lose an item the
        // item's own test would keep; the items' own tests decide.
        const double reach = r * (1 + 1e-6) + 1e-3;
        const TItemBounds rect{params.ViewCenter.x - reach, params.ViewCenter.y - reach,
                               params.ViewCenter.x + reach, params.ViewCenter.y + reach};
        Street_->ItemsNearRect(rect, TItemTypeSet{TypeCode_}, ToDraw_);
        std::erase_if(ToDraw_, [](const TAbstractItem *item) { return !item->Active; });
        return ToDraw_;
    }
    for (const auto &item : Items_)
        if (item->Active)
            ToDraw_.push_back(item.get());
    return ToDraw_;
}

void TItemList::InvalidateAll() {
    for (const auto &item : Items_)
        item->Points.InvalidateGraphics();
}

void TItemList::Clear() {
    std::vector<TAbstractItem *> all;
    all.reserve(Items_.size());
    for (const auto &item : Items_)
        all.push_back(item.get());
    if (!all.empty())
        Street_->DeleteItems(all);
    MaxId_ = 0;
}

void TItemList::Delete(TAbstractItem *item) {
    if (!item || item->List_ != this)
        RaiseStreetError("TItemList.Delete", "the item is not in the list of type " + TypeText(TypeCode_));
    TAbstractItem *one[] = {item};
    Street_->DeleteItems(one);
}

void TItemList::DeleteItems(std::span<TAbstractItem *const> items) {
    Street_->DeleteItems(items);
}

std::vector<std::unique_ptr<TAbstractItem>> TItemList::ExtractDying() {
    std::vector<std::unique_ptr<TAbstractItem>> out;
    std::size_t w = 0;
    for (std::size_t r = 0; r < Items_.size(); ++r) {
        if (Items_[r]->Dying_) {
            UnindexId(Items_[r].get());
            Items_[r]->List_ = nullptr;
            out.push_back(std::move(Items_[r]));
        } else {
            if (w != r)
                Items_[w] = std::move(Items_[r]);
            ++w;
        }
    }
    Items_.resize(w);
    return out;
}
