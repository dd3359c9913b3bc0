#pragma once
// An item's ordered chain of references to shared pool vertices. For now it only knows its pool and the
// item it belongs to, which is what a pool record's Owners list leads to.
class TAbstractItem;
class TPointStructure;

class TPointList {
public:
    // Neither pointer is owned: the item owns this list, the street owns the pool.
    TPointList(TPointStructure *pool, TAbstractItem *owner) : Pool_(pool), Owner_(owner) {}
    TPointList(const TPointList &) = delete;
    TPointList &operator=(const TPointList &) = delete;

    TAbstractItem *GetOwner() const { return Owner_; }
    TPointStructure *GetPool() const { return Pool_; }

private:
    TPointStructure *Pool_;
    TAbstractItem *Owner_;
};
