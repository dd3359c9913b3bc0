#pragma once
// Item types. The type code (0..40) ties together an item's class, the street's list and render batches of
// the type, the type's bit in a TItemTypeSet, the class ident stored in street files and the display name
// that persists type sets as text. Everything that differs between types is one row of the type table;
// behaviour per type goes through the class registered in ItemClasses, never through a switch on the code.
#include "engine/Cp1251.h"
#include "model/ItemTypeCodes.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <type_traits>

class TAbstractItem;
class TItemList;
class TStreetStructure;
struct TDxDrawParams;

constexpr int ItemTypeCount = 41;
// The 8 bytes of a class ident ("AXIS    ").
constexpr int ItemIdentSize = 8;

constexpr bool IsItemTypeCode(int code) {
    return code >= 0 && code < ItemTypeCount;
}

// Data of the type table (throw EStreetError for a code outside 0..40).
const Cp1251String &ItemTypeIdent(int code);
const Cp1251String &ItemTypeDisplayName(int code);
const char *ItemTypeClassName(int code);
// 0 road surfaces, 1 structures, 2 markings and signs, 3 service objects, 4 defects, 5 design objects.
int ItemTypeCategory(int code);
// Compact labels indexed by type code; two types may share one (22 and 23).
const std::array<Cp1251String, ItemTypeCount> &ItemTypeShortNames();

// A set of type codes in 6 bytes: code c is bit (c mod 8) of byte (c div 8). Codes of 48 or more (and
// negative ones) are never members. The full set has every byte 0xFF, so bits 41..47 are set too; the
// tests of emptiness and of a shared type look only at codes 0..40, which makes those bits inert.
class TItemTypeSet {
public:
    static constexpr int ByteCount = 6;
    static constexpr int BitCount = ByteCount * 8;

    constexpr TItemTypeSet() = default;
    constexpr TItemTypeSet(std::initializer_list<int> codes) {
        for (int c : codes)
            Include(c);
    }
    static constexpr TItemTypeSet FromBytes(const std::array<uint8_t, ByteCount> &bytes) {
        TItemTypeSet s;
        s.Bytes_ = bytes;
        return s;
    }
    const std::array<uint8_t, ByteCount> &Bytes() const { return Bytes_; }

    constexpr bool Contains(int code) const {
        return code >= 0 && code < BitCount && (Bytes_[code / 8] & (1u << (code % 8))) != 0;
    }
    // Codes outside 0..47 are ignored.
    constexpr void Include(int code) {
        if (code >= 0 && code < BitCount)
            Bytes_[code / 8] = static_cast<uint8_t>(Bytes_[code / 8] | (1u << (code % 8)));
    }
    constexpr void Exclude(int code) {
        if (code >= 0 && code < BitCount)
            Bytes_[code / 8] = static_cast<uint8_t>(Bytes_[code / 8] & ~(1u << (code % 8)));
    }
    // No type code 0..40 is a member.
    constexpr bool IsEmpty() const {
        for (int c = 0; c < ItemTypeCount; ++c)
            if (Contains(c))
                return false;
        return true;
    }
    // The two sets share a type (their intersection is not empty).
    constexpr bool Meets(const TItemTypeSet &o) const { return !(*this & o).IsEmpty(); }

    constexpr TItemTypeSet &operator|=(const TItemTypeSet &o) {
        for (int i = 0; i < ByteCount; ++i)
            Bytes_[i] = static_cast<uint8_t>(Bytes_[i] | o.Bytes_[i]);
        return *this;
    }
    constexpr TItemTypeSet &operator&=(const TItemTypeSet &o) {
        for (int i = 0; i < ByteCount; ++i)
            Bytes_[i] = static_cast<uint8_t>(Bytes_[i] & o.Bytes_[i]);
        return *this;
    }
    constexpr TItemTypeSet &operator-=(const TItemTypeSet &o) {
        for (int i = 0; i < ByteCount; ++i)
            Bytes_[i] = static_cast<uint8_t>(Bytes_[i] & ~o.Bytes_[i]);
        return *this;
    }
    friend constexpr TItemTypeSet operator|(TItemTypeSet a, const TItemTypeSet &b) { return a |= b; }
    friend constexpr TItemTypeSet operator&(TItemTypeSet a, const TItemTypeSet &b) { return a &= b; }
    friend constexpr TItemTypeSet operator-(TItemTypeSet a, const TItemTypeSet &b) { return a -= b; }
    // Compares all 48 bits: the full set differs from the set of codes 0..40.
    friend constexpr bool operator==(const TItemTypeSet &, const TItemTypeSet &) = default;

private:
    std::array<uint8_t, ByteCount> Bytes_{};
};
static_assert(sizeof(TItemTypeSet) == 6);

// Every byte 0xFF.
constexpr TItemTypeSet FullTypeSet() {
    return TItemTypeSet::FromBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

// Display names of the members in ascending code order, each followed by ";" ("" for the empty set).
Cp1251String TypeSetToNames(const TItemTypeSet &set);
// The same with the short names.
Cp1251String TypeSetToShortNames(const TItemTypeSet &set);
// Code c is a member when its display name followed by ";" occurs anywhere in the text (case-sensitive).
TItemTypeSet NamesToTypeSet(const Cp1251String &names);

// The first code 0..40 whose class ident equals the 8 given bytes exactly; False (code unchanged) when
// none does. Idents are case-sensitive and blank-padded: "AXIS    " is found, "axis    " is not.
bool FindTypeByIdent(std::string_view ident, int &code);

// What the street model knows about an item class without an instance: its row of the type table, its
// class functions (vertex rules, batch set-up) and a factory for a new item of the class.
class TItemClass {
public:
    // Throws EStreetError for a code outside 0..40.
    explicit TItemClass(int typeCode);
    virtual ~TItemClass() = default;
    TItemClass(const TItemClass &) = delete;
    TItemClass &operator=(const TItemClass &) = delete;

    int GetTypeCode() const { return TypeCode_; }
    const Cp1251String &GetIdent() const { return ItemTypeIdent(TypeCode_); }
    const Cp1251String &GetDisplayName() const { return ItemTypeDisplayName(TypeCode_); }
    int GetCategory() const { return ItemTypeCategory(TypeCode_); }
    const char *GetClassName() const { return ItemTypeClassName(TypeCode_); }

    // A new item, not yet bound to a street (TItemList::AddNew binds it).
    virtual std::unique_ptr<TAbstractItem> NewItem() const = 0;

    // Vertex rules: the base item's unless the class says otherwise.
    virtual int MinPointCount() const { return 0; }
    virtual int MaxPointCount() const { return 2147483647; }
    virtual bool IsClosed() const { return false; }
    virtual bool HasControlPoints() const { return false; }
    // (Re)creates the street's batch array of the type.
    virtual void InitDrawBatches(TStreetStructure &) const {}
    // Whether the items draw anything of their own each frame (TAbstractItem::Draw) besides the batches;
    // a list of a class that does not is not walked when the street is drawn.
    virtual bool DrawsEachFrame() const { return true; }
    // The immediate drawing of a whole list in one pass, for types that gather their items into few draw
    // calls; False leaves it to each active item's Draw.
    virtual bool DrawItems(TItemList &, const TDxDrawParams &, uint32_t) const { return false; }
    // Whether an item draws nothing each frame while its hit box (TAbstractItem::GetHitBounds) stays
    // farther than the view's radius from the view's centre along x or y: the list then walks only the
    // items the street's index finds near the view (TItemList::ItemsToDraw).
    virtual bool DrawsNearHitBounds() const { return false; }

private:
    int TypeCode_;
};

// The usual descriptor: an item class default-constructible as TItem, whose class functions are its
// static members ClassMinPointCount, ClassMaxPointCount, ClassIsClosed, ClassHasControlPoints and
// ClassInitDrawBatches (inherited from TAbstractItem unless the class hides them), and ClassDrawItems
// when the class has one.
template <class TItem> class TItemClassOf final : public TItemClass {
public:
    explicit TItemClassOf(int typeCode) : TItemClass(typeCode) {}
    std::unique_ptr<TAbstractItem> NewItem() const override { return std::make_unique<TItem>(); }
    int MinPointCount() const override { return TItem::ClassMinPointCount(); }
    int MaxPointCount() const override { return TItem::ClassMaxPointCount(); }
    bool IsClosed() const override { return TItem::ClassIsClosed(); }
    bool HasControlPoints() const override { return TItem::ClassHasControlPoints(); }
    void InitDrawBatches(TStreetStructure &street) const override { TItem::ClassInitDrawBatches(street); }
    bool DrawItems(TItemList &list, const TDxDrawParams &params, uint32_t layer) const override {
        if constexpr (requires { TItem::ClassDrawItems(list, params, layer); })
            return TItem::ClassDrawItems(list, params, layer);
        else
            return false;
    }
    bool DrawsNearHitBounds() const override {
        if constexpr (requires { TItem::ClassDrawsNearHitBounds; })
            return TItem::ClassDrawsNearHitBounds;
        else
            return false;
    }
    // True when the class or a base between it and TAbstractItem overrides Draw.
    bool DrawsEachFrame() const override {
        return !std::is_same_v<decltype(DrawOwner(&TItem::Draw)), TAbstractItem *>;
    }

private:
    template <class C> static C *DrawOwner(void (C::*)(const TDxDrawParams &, uint32_t)) { return nullptr; }
};

// The item-class table, indexed by type code. Empty at start; the start-up code of each item unit
// registers its class, and all 41 are present before the first street is created.
class TItemClasses {
public:
    constexpr TItemClasses() = default;

    // The class registered at the code; nullptr when none is (or the code is no type code).
    const TItemClass *operator[](int code) const {
        return IsItemTypeCode(code) ? Classes_[static_cast<std::size_t>(code)].get() : nullptr;
    }
    // Stores the class at its own code; a missing class or a code already taken is an EStreetError.
    void Register(std::unique_ptr<TItemClass> itemClass);
    // Every code 0..40 has its class.
    bool IsComplete() const;

private:
    std::array<std::unique_ptr<TItemClass>, ItemTypeCount> Classes_{};
};

extern TItemClasses ItemClasses;
