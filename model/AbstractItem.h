#pragma once
// Base class of every street object. It holds what all items share (street, id, vertex list, group and
// activity, comments, reference axis, its primitive groups in the type's batches), defines the virtual
// operations through which the street, the shell and the editors handle any item without knowing its
// type, and reads and writes the common head of every item record.
//
// Items are owned by the street's list of their type and are created and destroyed only through it:
// TItemList::AddNew makes and binds one, TItemList::Delete / TStreetStructure::DeleteItems free them.
// Class functions (vertex rules, batch set-up) are static members that subclasses hide with their own;
// TItemClassOf<T> reaches them, and an item asks its class.
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/BatchSeam.h"
#include "model/ConnectedItems.h"
#include "model/HitRank.h"
#include "model/PointList.h"

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

class TItemClass;
class TItemList;
struct TItemBounds;
class TMatrixShell;
class TStreetStructure;

// Library definitions an item draws with, named (a merge brings the ones the receiver lacks).
struct TUsedNames {
    std::set<Cp1251String> BlockDefs, LineDefs, FigDefs;
};

// The containers that hold an item, with the number of their slots that do. Most items are held by one
// or two containers (the selection, a reference slot), so the first two live in the item itself: adding,
// removing and asking cost no look-up in a table of its own, which a selection of thousands of items
// otherwise pays for in cache misses. An item held by more (an axis referred to by many) keeps the rest
// in a table.
class TRefHolders {
public:
    void Add(TConnectedItems *c);
    // One occurrence.
    void Remove(TConnectedItems *c);
    void RemoveAll(TConnectedItems *c);
    bool Empty() const {
        return Near_[0].Holder == nullptr && Near_[1].Holder == nullptr && (!Map_ || Map_->empty());
    }
    // How many slots of the container hold the item.
    uint32_t Count(const TConnectedItems *c) const;
    void Reset() {
        Near_ = {};
        Map_.reset();
    }
    std::vector<TConnectedItems *> Containers() const;

private:
    struct TEntry {
        TConnectedItems *Holder = nullptr;
        uint32_t Slots = 0;
    };
    // A container is counted in exactly one place: an entry here or the table.
    std::array<TEntry, 2> Near_{};
    std::unique_ptr<std::unordered_map<TConnectedItems *, uint32_t>> Map_;
};

// The groups an item added to one batch of its type, the batch named by its serial.
struct TItemBatchGroups {
    uint64_t BatchSerial = 0;
    std::vector<TBatchGroupId> Groups;
};

class TAbstractItem {
public:
    TAbstractItem();
    virtual ~TAbstractItem();
    TAbstractItem(const TAbstractItem &) = delete;
    TAbstractItem &operator=(const TAbstractItem &) = delete;

    // ---- Class functions (hidden by subclasses; see TItemClassOf)
    static int ClassMinPointCount() { return 0; }
    static int ClassMaxPointCount() { return std::numeric_limits<int32_t>::max(); }
    static bool ClassIsClosed() { return false; }
    static bool ClassHasControlPoints() { return false; }
    // Must (re)create the street's batch array of the type.
    static void ClassInitDrawBatches(TStreetStructure &) {}

    // The code of the item's type (its row of the type table, 0..40).
    virtual int GetTypeCode() const = 0;
    const Cp1251String &GetIdent() const;
    const Cp1251String &GetDisplayName() const;
    int GetCategory() const;
    // Through the item's class; an item made outside a list has the base rules.
    const TItemClass *ItemClass() const { return Class_; }
    int MinPointCount() const;
    int MaxPointCount() const;
    bool IsClosed() const;
    bool HasControlPoints() const;
    // Of its vertices, the ones a reader of a street stream keeps reach the item's minimum. An item that
    // is not complete (one still being digitised) would be dropped on reading, so it is not written.
    bool IsComplete() const;

    // ---- Virtual operations
    // Adds the item's primitives to its type's batches (an active item whose points changed).
    virtual void RebuildGraphics() {}
    // Once per item after a street is read and its references resolved.
    virtual void AfterLoad() {}
    // The item's own point list changed (overrides invalidate caches).
    virtual void PointsChanged() {}
    // The distance from the point to the item (smaller is nearer); True means hit. The base never hits.
    virtual bool HitTest(const TXYZ &point, double &distance, double maxDistance);
    // The hit's rank in a pick with that pick distance (Miss when the item is not hit). The base: a hit
    // of HitTest ranks on the item, by its distance.
    virtual THitRank PickRank(const TXYZ &point, double maxDistance);
    // The record head; overrides call the base first, then read or write their own fields.
    virtual void LoadFromStream(TStream &stream);
    virtual void SaveToStream(TStream &stream) const;
    // Immediate drawing that batches cannot hold (after the type's batches are drawn).
    virtual void Draw(const TDxDrawParams &params, uint32_t layer);
    // Defaults of a freshly created item.
    virtual void InitNewItem() {}
    // The vertex positions transformed by the view's current matrix.
    virtual void GetTransformedPoints(const TMatrixShell &view, TXYZArray &points) const;
    // The library definitions the item draws with (none here).
    virtual void GetUsedNames(TUsedNames &) const {}
    // The name an item is known by where it serves as a reference axis (none here).
    virtual Cp1251String GetItemName() const { return {}; }
    // A plan box such that PickRank never hits with a pick distance d at a point farther than d from it
    // (the street's picking index files the item by it); False when there is none. Here: the box of the
    // vertices and of the dense polyline. Classes that hit beyond their geometry widen it.
    virtual bool GetHitBounds(TItemBounds &box);

    // ---- Fields
    TStreetStructure *Street() const { return Street_; }
    TItemList *List() const { return List_; }
    int32_t ID() const { return ID_; }
    // Grows with every item its list takes in: comparing two items of one list gives their list order.
    uint64_t ListOrder() const { return ListOrder_; }
    const Cp1251String &Comment() const { return Comment_; }
    const Cp1251String &Comment2() const { return Comment2_; }
    const Cp1251String &GroupName() const { return GroupName_; }
    const std::vector<TItemBatchGroups> &BatchGroups() const { return BatchGroups_; }
    // Unique over the process and never reused: the owner key of the item's batch groups.
    TBatchOwnerKey Serial() const { return Serial_; }

    TPointList Points;
    // Set by a class reader when the record has too few vertices; the list loader then drops the item.
    bool Invalid = false;
    // Shown, hit-tested and snapped to; follows the item's group.
    bool Active = true;
    // Some street-bound container has held the item.
    bool Referenced = false;
    // The item's own reference axis ("REFERAX ").
    TConnectedItems ReferAxis{true, 1};

    // ---- Operations
    // Rebuilds the item's primitives when its points changed (the batch protocol); clears Changed.
    void UpdateGraphics();
    void SetGroupName(const Cp1251String &name);
    void SetComment(const Cp1251String &text);
    void SetComment2(const Cp1251String &text);
    // Comment, then "<<" Comment2 ">>" when Comment2 is not empty.
    Cp1251String GetCaption() const;
    // The own reference axis, else the street's main axis.
    TAbstractItem *GetReferAxis() const;
    void SetReferAxis(TAbstractItem *axis);
    // "nil" without a reference axis, else the axis's name.
    Cp1251String GetReferAxisName() const;
    void ResolveReferAxis() { ReferAxis.Resolve(); }
    // Peeks at the next record: the type code of its class ident (the stream position is kept).
    // "Ident<>ITEM" without the record tag; an ident that names no type is an error too.
    static int TagFromStream(TStream &stream);
    // Reads a record into the item keeping its id.
    void LoadFromStreamKeepId(TStream &stream);
    // A copy in the target street's list with new vertices at the same positions, moved by to - from.
    // Its references are bound in the target street.
    TAbstractItem *CloneTo(TStreetStructure &target, const TXYZ &from, const TXYZ &to) const;
    // Joining two items of the same type into one; LinkWith frees the other item.
    bool CanLinkWith(const TAbstractItem *other) const;
    void LinkWith(TAbstractItem *other);

    // Marks the type list for a rebuild at the next drawing, and the street modified.
    void MarkListDirty() const;
    void NotifyModified() const;

protected:
    // The item is bound to its street (the base fields are ready): subclasses bind their own
    // containers here (BindContainer).
    virtual void Created() {}
    void BindContainer(TConnectedItems &container);

private:
    friend class TItemList;
    friend class TStreetStructure;
    friend class TConnectedItems;

    // Binds a fresh item to its street (what the virtual constructor does with its street).
    void Create(TStreetStructure &street, const TItemClass *itemClass);
    void MarkBatchGroupsDeleted();
    // The batch of entry i of BatchGroups_ among the batches of type code, nullptr when the type no longer
    // has it.
    TItemBatch *EntryBatch(int code, std::size_t i) const;
    void ReadHead(TStream &stream);

    const TItemClass *Class_ = nullptr;
    TStreetStructure *Street_ = nullptr;
    TItemList *List_ = nullptr;
    int32_t ID_ = 0;
    uint64_t ListOrder_ = 0;
    Cp1251String Comment2_;
    std::vector<TItemBatchGroups> BatchGroups_;
    Cp1251String GroupName_;
    Cp1251String Comment_;
    TRefHolders Holders_;
    std::vector<TConnectedItems *> OwnContainers_;
    TBatchOwnerKey Serial_;
    bool Dying_ = false;
    bool KeepIdOnRead_ = false;
    mutable bool SkipPointsInRecord_ = false;
};
