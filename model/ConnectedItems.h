#pragma once
// The one reference container of the model: slots holding items that belong to someone else (an item's
// reference axis, a polygon's passport axis, the street's main axis, the selection). In streams a slot is
// the target's class ident and id, read back as a pending reference and bound only once the whole street
// is read, because the target may come later in the file.
//
// Slots never dangle: every item knows the containers that hold it, and its removal purges it from them
// at a cost proportional to the references it has. A pending reference stays pending only while it is
// unbound; once a slot holds an item (or is set by a caller), the pointer is what counts.
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/ItemTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

class TAbstractItem;
class TStreetPointRec;
class TStreetStructure;
struct TMergeMap;

// A stored reference: 8-byte class ident and item id (12 bytes in streams).
struct TConnectedRef {
    std::array<char, ItemIdentSize> Ident{};
    int32_t Id = -1;
    std::string_view IdentView() const { return {Ident.data(), Ident.size()}; }
};

class TConnectedItems {
public:
    // A container not yet bound to a street: `fixed` with `count` empty slots, or growing and empty.
    TConnectedItems(bool fixed, int count = 0);
    // Bound and registered with the street (nullptr: a street-less container).
    static std::unique_ptr<TConnectedItems> CreateFixed(TStreetStructure *street, int count);
    static std::unique_ptr<TConnectedItems> CreateGrowing(TStreetStructure *street);
    // Leaves its street's registry and its items' holder lists; the items are not freed.
    ~TConnectedItems();
    TConnectedItems(const TConnectedItems &) = delete;
    TConnectedItems &operator=(const TConnectedItems &) = delete;

    // Registers with the street (leaving the previous one); nullptr makes it street-less.
    void Bind(TStreetStructure *street);
    TStreetStructure *Street() const { return Street_; }
    // The item the container belongs to (nullptr for the street's own containers).
    TAbstractItem *Owner() const { return Owner_; }
    bool IsFixed() const { return Fixed_; }

    int Count() const { return static_cast<int>(Slots_.size()); }
    // May be nullptr. Index checks throw EStreetError.
    TAbstractItem *Items(int i) const;
    int IndexOf(const TAbstractItem *item) const;
    const std::vector<TAbstractItem *> &Slots() const { return Slots_; }

    void Put(int i, TAbstractItem *item);
    // Growing containers only: slots removed from the end, or empty ones appended.
    void SetCount(int n);
    // Growing containers only ("TConnectedItems.AddItem: Fixed length" otherwise); nothing when held.
    void AddItem(TAbstractItem *item);
    // AddItem for each in order (held ones and nulls skipped), marking the container changed once.
    void AddItems(std::span<TAbstractItem *const> items);
    // Fixed: every slot holding it becomes empty; growing: every occurrence is deleted.
    void Remove(TAbstractItem *item);
    // Growing: slot i is deleted; fixed: it becomes empty.
    void Delete(int i);
    void Move(TAbstractItem *item, int newIndex);
    void Clear();
    // Frees every held item (through its street's lists, in one batch per street); the container ends
    // empty.
    void FreeItems();

    int CountOfTypes(const TItemTypeSet &types) const;
    // Every distinct pool record used by the held items, in order of first use, appended.
    void CollectPoints(std::vector<TStreetPointRec *> &list) const;
    // Moves every distinct record of the held items once; every held item is marked changed.
    void Translate(const TXYZ &offset);

    // "CONNECTD", n, n times (ident, id); an empty slot is "EMPTYCLS", -1.
    void SaveToStream(TStream &stream) const;
    // Reads that record into pending references (slots are untouched until Resolve). A fixed container
    // with fewer slots than stored raises "Fixed, but Size>Capacity".
    void LoadFromStream(TStream &stream);
    // Binds every pending reference to the item of that ident and id in the container's street; one that
    // finds nothing leaves its slot empty and stays pending (a merge may bind it later). A street-less
    // container has nothing to look in and keeps its slots.
    void Resolve();
    bool HasPending() const;

    // Item fragments: the held items with the vertices they use, self-contained.
    void SaveIndependent(TStream &stream) const;
    // Pastes a fragment into the target street (through a temporary street merged into it); the new
    // items are appended here. A failure leaves the target street untouched. References to items that
    // were not copied bind to the target's items of that ident and id when the fragment came from the
    // target street itself (sameStreet); pasted into another street they stay empty.
    void LoadIndependent(TStream &stream, TStreetStructure &target, bool sameStreet = true);

private:
    friend class TAbstractItem;
    friend class TStreetStructure;

    struct TPending {
        TConnectedRef Ref;
        bool Open = false;
    };

    void SetSlot(std::size_t i, TAbstractItem *item);
    void InsertSlot(std::size_t i, TAbstractItem *item);
    void EraseSlot(std::size_t i);
    void ClosePending(std::size_t i);
    void DropPendingIfDone();
    // Removes every item marked dying, in one pass.
    void PurgeDying();
    void ResolveWith(const TMergeMap *moved);
    void CheckIndex(int i, const char *where) const;
    void Changed() const;

    bool Fixed_;
    TStreetStructure *Street_ = nullptr;
    std::size_t RegistryIndex_ = 0;
    TAbstractItem *Owner_ = nullptr;
    std::vector<TAbstractItem *> Slots_;
    // Empty, or one entry per slot.
    std::vector<TPending> Pending_;
    // Marks the container as collected once during a batch purge.
    uint64_t PurgeMark_ = 0;
};
