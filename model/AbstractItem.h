#pragma once
// Base class of every street object. For now it holds only what the vertex pool needs to know about the
// items that use its points: the item's type code and whether it is active (shown, hit-tested and
// snapped to).
class TAbstractItem {
public:
    TAbstractItem() = default;
    virtual ~TAbstractItem() = default;
    TAbstractItem(const TAbstractItem &) = delete;
    TAbstractItem &operator=(const TAbstractItem &) = delete;

    // The code of the item's type (its row of the type table, 0..40).
    virtual int GetTypeCode() const = 0;

    bool Active = true;
};
