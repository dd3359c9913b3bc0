#include "model/ConnectedItems.h"

#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/MergeMap.h"
#include "model/PointStructure.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unordered_set>

namespace {

constexpr std::string_view EmptyClassIdent = "EMPTYCLS";
constexpr int ConnectedRefSize = ItemIdentSize + 4;

} // namespace

TConnectedItems::TConnectedItems(bool fixed, int count) : Fixed_(fixed) {
    if (count < 0)
        RaiseStreetError("TConnectedItems.Create", "negative slot count " + std::to_string(count));
    if (fixed)
        Slots_.assign(static_cast<std::size_t>(count), nullptr);
}

std::unique_ptr<TConnectedItems> TConnectedItems::CreateFixed(TStreetStructure *street, int count) {
    auto c = std::make_unique<TConnectedItems>(true, count);
    c->Bind(street);
    return c;
}

std::unique_ptr<TConnectedItems> TConnectedItems::CreateGrowing(TStreetStructure *street) {
    auto c = std::make_unique<TConnectedItems>(false);
    c->Bind(street);
    return c;
}

TConnectedItems::~TConnectedItems() {
    for (TAbstractItem *item : Slots_)
        if (item)
            item->Holders_.Remove(this);
    if (Street_)
        Street_->Unregister(this);
}

void TConnectedItems::Bind(TStreetStructure *street) {
    if (street == Street_)
        return;
    if (Street_)
        Street_->Unregister(this);
    Street_ = street;
    if (street) {
        street->Register(this);
        for (TAbstractItem *item : Slots_)
            if (item)
                item->Referenced = true;
    }
}

void TConnectedItems::CheckIndex(int i, const char *where) const {
    if (i < 0 || i >= Count())
        RaiseStreetError(std::string("TConnectedItems.") + where, "index " + std::to_string(i) +
                                                                      " out of range (" +
                                                                      std::to_string(Count()) + " slots)");
}

void TConnectedItems::Changed() const {
    // The street's own containers are saved; the selection is not.
    if (Street_)
        Street_->SetModified();
}

TAbstractItem *TConnectedItems::Items(int i) const {
    CheckIndex(i, "Items");
    return Slots_[static_cast<std::size_t>(i)];
}

int TConnectedItems::IndexOf(const TAbstractItem *item) const {
    for (std::size_t i = 0; i < Slots_.size(); ++i)
        if (Slots_[i] == item)
            return static_cast<int>(i);
    return -1;
}

// ---- Slot bookkeeping: every slot that holds an item is counted in the item's holders.

void TConnectedItems::SetSlot(std::size_t i, TAbstractItem *item) {
    TAbstractItem *old = Slots_[i];
    if (old == item)
        return;
    if (old)
        old->Holders_.Remove(this);
    Slots_[i] = item;
    if (item) {
        item->Holders_.Add(this);
        if (Street_)
            item->Referenced = true;
    }
}

void TConnectedItems::InsertSlot(std::size_t i, TAbstractItem *item) {
    Slots_.insert(Slots_.begin() + static_cast<std::ptrdiff_t>(i), item);
    if (!Pending_.empty())
        Pending_.insert(Pending_.begin() + static_cast<std::ptrdiff_t>(i), TPending{});
    if (item) {
        item->Holders_.Add(this);
        if (Street_)
            item->Referenced = true;
    }
}

void TConnectedItems::EraseSlot(std::size_t i) {
    if (TAbstractItem *item = Slots_[i])
        item->Holders_.Remove(this);
    Slots_.erase(Slots_.begin() + static_cast<std::ptrdiff_t>(i));
    if (!Pending_.empty())
        Pending_.erase(Pending_.begin() + static_cast<std::ptrdiff_t>(i));
    DropPendingIfDone();
}

void TConnectedItems::ClosePending(std::size_t i) {
    if (i < Pending_.size())
        Pending_[i].Open = false;
    DropPendingIfDone();
}

void TConnectedItems::DropPendingIfDone() {
    if (std::none_of(Pending_.begin(), Pending_.end(), [](const TPending &p) { return p.Open; }))
        Pending_.clear();
}

bool TConnectedItems::HasPending() const {
    return !Pending_.empty();
}

// ---- Slot operations

void TConnectedItems::Put(int i, TAbstractItem *item) {
    CheckIndex(i, "Put");
    SetSlot(static_cast<std::size_t>(i), item);
    ClosePending(static_cast<std::size_t>(i));
    Changed();
}

void TConnectedItems::SetCount(int n) {
    if (Fixed_)
        return;
    if (n < 0)
        RaiseStreetError("TConnectedItems.SetCount", "negative count " + std::to_string(n));
    if (n == Count())
        return;
    while (Count() > n)
        EraseSlot(Slots_.size() - 1);
    while (Count() < n)
        InsertSlot(Slots_.size(), nullptr);
    Changed();
}

void TConnectedItems::AddItem(TAbstractItem *item) {
    if (Fixed_)
        RaiseStreetError("TConnectedItems.AddItem", "Fixed length");
    if (!item)
        return;
    // Whether the container holds the item is known to the item: no scan of the slots.
    if (item->Holders_.Count(this) > 0)
        return;
    InsertSlot(Slots_.size(), item);
    Changed();
}

void TConnectedItems::AddItems(std::span<TAbstractItem *const> items) {
    if (Fixed_)
        RaiseStreetError("TConnectedItems.AddItems", "Fixed length");
    const std::size_t before = Slots_.size();
    for (TAbstractItem *item : items)
        if (item && item->Holders_.Count(this) == 0)
            InsertSlot(Slots_.size(), item);
    if (Slots_.size() != before)
        Changed();
}

void TConnectedItems::Remove(TAbstractItem *item) {
    if (!item || item->Holders_.Count(this) == 0)
        return;
    bool any = false;
    if (Fixed_) {
        for (std::size_t i = 0; i < Slots_.size(); ++i) {
            if (Slots_[i] == item) {
                SetSlot(i, nullptr);
                ClosePending(i);
                any = true;
            }
        }
    } else {
        // Usually the latest entries go first (the selection is freed from its end).
        for (std::size_t i = Slots_.size(); i-- > 0;) {
            if (Slots_[i] == item) {
                EraseSlot(i);
                any = true;
            }
        }
    }
    if (any)
        Changed();
}

void TConnectedItems::Delete(int i) {
    CheckIndex(i, "Delete");
    if (Fixed_) {
        SetSlot(static_cast<std::size_t>(i), nullptr);
        ClosePending(static_cast<std::size_t>(i));
    } else {
        EraseSlot(static_cast<std::size_t>(i));
    }
    Changed();
}

void TConnectedItems::Move(TAbstractItem *item, int newIndex) {
    const int from = IndexOf(item);
    if (from < 0)
        return;
    const int to = std::clamp(newIndex, 0, Count() - 1);
    if (from == to)
        return;
    auto rotate = [from, to](auto &v) {
        if (v.empty())
            return;
        if (from < to)
            std::rotate(v.begin() + from, v.begin() + from + 1, v.begin() + to + 1);
        else
            std::rotate(v.begin() + to, v.begin() + from, v.begin() + from + 1);
    };
    rotate(Slots_);
    rotate(Pending_);
    Changed();
}

void TConnectedItems::Clear() {
    const bool had =
        std::any_of(Slots_.begin(), Slots_.end(), [](TAbstractItem *p) { return p != nullptr; }) ||
        (!Fixed_ && !Slots_.empty());
    for (std::size_t i = 0; i < Slots_.size(); ++i)
        SetSlot(i, nullptr);
    if (!Fixed_)
        Slots_.clear();
    Pending_.clear();
    if (had)
        Changed();
}

void TConnectedItems::FreeItems() {
    std::map<TStreetStructure *, std::vector<TAbstractItem *>> byStreet;
    std::unordered_set<TAbstractItem *> seen;
    for (std::size_t i = Slots_.size(); i-- > 0;) {
        TAbstractItem *item = Slots_[i];
        if (item && item->Street() && item->List() && seen.insert(item).second)
            byStreet[item->Street()].push_back(item);
    }
    for (auto &[street, items] : byStreet)
        street->DeleteItems(items);
    Clear();
}

void TConnectedItems::PurgeDying() {
    bool any = false;
    if (Fixed_) {
        for (std::size_t i = 0; i < Slots_.size(); ++i) {
            if (Slots_[i] && Slots_[i]->Dying_) {
                Slots_[i] = nullptr;
                if (i < Pending_.size())
                    Pending_[i].Open = false;
                any = true;
            }
        }
    } else {
        std::size_t w = 0;
        for (std::size_t r = 0; r < Slots_.size(); ++r) {
            if (Slots_[r] && Slots_[r]->Dying_) {
                any = true;
                continue;
            }
            Slots_[w] = Slots_[r];
            if (!Pending_.empty())
                Pending_[w] = Pending_[r];
            ++w;
        }
        Slots_.resize(w);
        if (!Pending_.empty())
            Pending_.resize(w);
    }
    if (any)
        DropPendingIfDone();
}

// ---- Queries and bulk moves

int TConnectedItems::CountOfTypes(const TItemTypeSet &types) const {
    int n = 0;
    for (const TAbstractItem *item : Slots_)
        n += item && types.Contains(item->GetTypeCode());
    return n;
}

void TConnectedItems::CollectPoints(std::vector<TStreetPointRec *> &list) const {
    std::unordered_set<const TStreetPointRec *> seen(list.begin(), list.end());
    for (const TAbstractItem *item : Slots_) {
        if (!item)
            continue;
        for (TStreetPointRec *r : item->Points.Refs())
            if (seen.insert(r).second)
                list.push_back(r);
    }
}

void TConnectedItems::Translate(const TXYZ &offset) {
    std::vector<TStreetPointRec *> recs;
    CollectPoints(recs);
    for (TStreetPointRec *r : recs)
        r->SetPosition(VectorAdd(r->Position(), offset));
    std::unordered_set<TAbstractItem *> done;
    for (TAbstractItem *item : Slots_) {
        if (!item || !done.insert(item).second)
            continue;
        // The lists sharing a moved vertex are marked through the records.
        item->Points.SetChanged(true);
    }
}

// ---- Stream

void TConnectedItems::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "CONNECTD");
    stream.WriteInt32(Count());
    for (const TAbstractItem *item : Slots_) {
        if (item) {
            stream.WriteBuffer(item->GetIdent().Data(), ItemIdentSize);
            stream.WriteInt32(item->ID());
        } else {
            stream.WriteBuffer(EmptyClassIdent.data(), ItemIdentSize);
            stream.WriteInt32(-1);
        }
    }
}

void TConnectedItems::LoadFromStream(TStream &stream) {
    const char *what = "TConnectedItems.LoadFromStream";
    Pending_.clear();
    if (!CheckStreamTag(stream, "CONNECTD"))
        return;
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, ConnectedRefSize, what);
    if (Fixed_ && Count() < n)
        stream.Fail(what, "Fixed, but Size>Capacity (" + std::to_string(n) + " references for " +
                              std::to_string(Count()) + " slots)");
    std::vector<TConnectedRef> refs(static_cast<std::size_t>(n));
    for (TConnectedRef &r : refs) {
        stream.ReadBuffer(r.Ident.data(), ItemIdentSize, what);
        r.Id = stream.ReadInt32(what);
    }
    if (!Fixed_)
        SetCount(n);
    Pending_.assign(Slots_.size(), TPending{});
    for (std::size_t i = 0; i < refs.size(); ++i)
        Pending_[i] = {refs[i], true};
    DropPendingIfDone();
}

void TConnectedItems::Resolve() {
    if (Street_)
        ResolveWith(nullptr);
}

void TConnectedItems::ResolveWith(const TMergeMap *moved) {
    if (Pending_.empty() || !Street_)
        return;
    for (std::size_t i = 0; i < Pending_.size(); ++i) {
        if (!Pending_[i].Open)
            continue;
        const TConnectedRef &ref = Pending_[i].Ref;
        int code = -1;
        if (!FindTypeByIdent(ref.IdentView(), code)) {
            // An empty slot ("EMPTYCLS") or a class that does not exist: nothing can ever bind it.
            SetSlot(i, nullptr);
            Pending_[i].Open = false;
            continue;
        }
        TAbstractItem *item = moved ? moved->Find(code, ref.Id) : nullptr;
        if (!item && moved && !moved->BindOwnItems) {
            // Nothing of the receiving street may stand in: the reference is gone for good.
            SetSlot(i, nullptr);
            Pending_[i].Open = false;
            continue;
        }
        if (!item) {
            item = Street_->Lists(code).FindById(ref.Id);
            // Only the receiving street's own items stand in for a reference the moved ones cannot bind.
            if (item && moved && moved->IsMoved(item))
                item = nullptr;
        }
        SetSlot(i, item);
        if (item)
            Pending_[i].Open = false;
    }
    DropPendingIfDone();
}
