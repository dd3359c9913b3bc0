#pragma once
// One street: it owns the vertex pool, the 41 item lists, the reference containers bound to it, the
// design libraries, the group and drawing-option lists, the line-marking parameters, the ECEF origin and
// the per-type render batches. It clears all of that, merges another street into itself, answers
// nearest-item queries over a type set, draws itself, offers typed access to its options, and reads and
// writes the street stream (StreetFile.cpp).
//
// Every change that alters what is saved marks the street modified, except the plan view and the working
// time, which follow the user's looking and working rather than the street's content.
#include "engine/ContourCoords.h"
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "engine/MatrixShell.h"
#include "engine/Streams.h"
#include "model/BatchSeam.h"
#include "model/ConnectedItems.h"
#include "model/DesignLibs.h"
#include "model/ItemIndex.h"
#include "model/ItemList.h"
#include "model/ItemTypes.h"
#include "model/NameValueList.h"
#include "model/PointStructure.h"
#include "model/RazmetParams2.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TAbstractItem;
struct TUsedNames;

// The origin of the local frame in ECEF: X, Y, Z and 8 further bytes kept as stored.
struct TEcefMapRec {
    double X = 0, Y = 0, Z = 0;
    std::array<uint8_t, 8> Extra{};
    friend bool operator==(const TEcefMapRec &, const TEcefMapRec &) = default;
};
static_assert(sizeof(TEcefMapRec) == 32);

// What GetEcefMap gives while the stored origin is all zero (or not numbers).
TEcefMapRec DefaultEcefMap();

// The bytes of each type set in the street files written now ("TAGSSIZE"), and in older files without
// that tag.
constexpr int StoredTagSetSize = 8;
constexpr int OldTagSetSize = 4;

// The scale of a new street's view and of a view shown whole when the street has too few vertices to
// measure: 200 units across.
constexpr float DefaultViewScale = 0.01f;

// Centre, scale and angle of the plan view of a street.
struct TStreetView {
    float X = 0, Y = 0, Z = 0, Scale = DefaultViewScale, Angle = 0;
    friend bool operator==(const TStreetView &, const TStreetView &) = default;
};

class TStreetStructure {
public:
    TStreetStructure();
    ~TStreetStructure();
    TStreetStructure(const TStreetStructure &) = delete;
    TStreetStructure &operator=(const TStreetStructure &) = delete;

    // ---- Parts
    TPointStructure &Pool() { return Pool_; }
    const TPointStructure &Pool() const { return Pool_; }
    // Throws EStreetError for a code outside 0..40.
    TItemList &Lists(int code) const;
    TItemBatches &TypeBatches(int code);
    const TItemBatches &TypeBatches(int code) const;
    // The batch of the type with that serial, or nullptr.
    TItemBatch *FindTypeBatch(int code, uint64_t serial) const;
    bool IsTypeBatch(int code, const TItemBatch *batch) const;
    // Every container bound to the street.
    const std::vector<TConnectedItems *> &Registry() const { return Registry_; }
    // The selected items (street-less: not saved); the first is the current item.
    TConnectedItems &Selection() { return Selection_; }

    TDsnBlockDefList &BlockDefs() { return BlockDefs_; }
    TDsnLineDefList &LineDefs() { return LineDefs_; }
    TDsnFigDefList &FigDefs() { return FigDefs_; }

    // ---- Lifecycle
    // Frees every item, the reference bindings, the line and figure styles, every batch and every
    // vertex; keeps the block library, options, names, ECEF origin, line-marking records, working time
    // and marking options.
    void Clear();
    void SetModified();
    void ClearModified() { Modified_ = false; }
    bool Modified() const { return Modified_; }
    // Grows with every change (every SetModified): tells whether a street changed since some moment.
    uint64_t ChangeCount() const { return ChangeCount_; }
    bool Touched() const { return Touched_; }
    bool Loaded() const { return Loaded_; }
    // Neither loaded nor ever modified.
    bool IsIdle() const { return !Loaded_ && !Touched_; }
    int TagSetSize() const { return TagSetSize_; }

    // ---- Items
    TAbstractItem *GetMainAxis() const { return MainAxisRef_.Items(0); }
    void SetMainAxis(TAbstractItem *axis);
    // Frees the items (of any types, each once; items of other streets are refused) with the full
    // protocol: their groups leave the batches, every reference to them is purged, they leave their
    // lists (one compaction per list) and their vertices are detached, notifying the items that share
    // them. Linear in the items, their vertices and the references they hold.
    void DeleteItems(std::span<TAbstractItem *const> items);
    // Takes over the other street: its vertices and items, renumbered after this street's, its items'
    // reference containers, and the library definitions and group names its items use that this street
    // lacks. References among the moved items stay with the moved items; references the other street
    // could not bind are looked up among this street's own items by ident and id, or with
    // bindOwnItems false are emptied for good (items that came from another street must not take
    // whatever of ours happens to carry the id their reference named).
    void Merge(TStreetStructure &other, bool bindOwnItems = true);
    // Purges the item from every container holding it (the street's and street-less ones).
    void RemoveItemReferences(TAbstractItem *item);
    // Of the active items of the types, the one that ranks nearest in a pick within maxDistance
    // (TAbstractItem::PickRank; the higher type code wins a tie).
    TAbstractItem *FindNearestItem(const TXYZ &point, const TItemTypeSet &types, double maxDistance,
                                   std::span<TAbstractItem *const> exclusion = {});
    // The nearest hit item of each type, nearest first (equal ranks: the higher type code first).
    void CollectNearestItems(const TXYZ &point, const TItemTypeSet &types, double maxDistance,
                             std::span<TAbstractItem *const> exclusion, std::vector<TAbstractItem *> &result);
    // Items of the types (active or not) whose hit box meets the rectangle: a superset of those lying
    // in it, in type-code and list order.
    void ItemsNearRect(const TItemBounds &rect, const TItemTypeSet &types, std::vector<TAbstractItem *> &result);
    // The picking index behind the three searches above.
    TItemIndex &ItemIndex() { return ItemIndex_; }
    // Unique over the process and never reused: tells streets apart after one has gone.
    uint64_t Serial() const { return Serial_; }
    void InvalidateAllItems();

    // ---- Drawing
    // Rebuilds the graphics of the dirty lists of the types.
    void UpdateGraphics(const TItemTypeSet &types);
    // With the renderer's world transform preceded by Placement: UpdateGraphics, then every batch of the
    // types (with the layer mask as filter) and the immediate drawing of their items, type by type.
    void Draw(const TDxDrawParams &params, const TItemTypeSet &types, uint32_t layerMask);
    // Extra transform while a tool drags the street; not stored.
    TMatrixShell &Placement() { return Placement_; }

    // ---- Groups
    const TNameValueList &GroupNames() const { return GroupNames_; }
    void SetGroupNames(const TNameValueList &names);
    // Sets a group's value ("ON" makes its items active); the items follow.
    void SetGroupValue(const Cp1251String &group, const Cp1251String &value);
    void RefreshActiveAll();
    void RefreshGroupActive(const Cp1251String &group);
    // Fails with an EStreetError before any item changes when the group is not listed.
    void RenameGroup(const Cp1251String &oldName, const Cp1251String &newName);

    // ---- Options (every setter that changes a value marks the street modified)
    const TNameValueList &DrawOpts() const { return DrawOpts_; }
    Cp1251String GetStrOption(const Cp1251String &name) const;
    bool GetBoolOption(const Cp1251String &name) const;
    int32_t GetIntOption(const Cp1251String &name) const;
    float GetFloatOption(const Cp1251String &name) const;
    void SetStrOption(const Cp1251String &name, const Cp1251String &value);
    void SetBoolOption(const Cp1251String &name, bool value);
    void SetIntOption(const Cp1251String &name, int32_t value);
    void SetFloatOption(const Cp1251String &name, float value);

    float GetRazmerScale() const;
    double GetRazmerRound() const;
    int32_t GetRazmerColor() const { return RazmerColor_; }
    void SetRazmerScale(float s);
    void SetRazmerColor(int32_t c);
    void SetRazmerRound(double d);
    float GetZnakScale();
    // The sum of the areas of every item of the type, active or not, when its items are polygons; else 0.
    double GetTotalArea(int code) const;
    void SetZnakScale(float s);

    // ---- Street data
    const Cp1251String &Name() const { return Name_; }
    const Cp1251String &Start() const { return Start_; }
    const Cp1251String &Finish() const { return Finish_; }
    void SetName(const Cp1251String &v);
    void SetStart(const Cp1251String &v);
    void SetFinish(const Cp1251String &v);
    const std::string &FileName() const { return FileName_; }
    void SetFileName(const std::string &v) { FileName_ = v; }
    TEcefMapRec GetEcefMap() const;
    const TEcefMapRec &StoredEcefMap() const { return EcefMap_; }
    void SetEcefMap(const TEcefMapRec &map);
    const TStreetView &View() const { return View_; }
    void SetView(const TStreetView &view) { View_ = view; }
    int32_t WorkTime() const { return WorkTime_; }
    void SetWorkTime(int32_t minutes) { WorkTime_ = minutes; }
    uint8_t ArrowBig() const { return ArrowBig_; }
    void SetArrowBig(bool flag);
    uint8_t ArrPlast() const { return ArrPlast_; }
    uint8_t OstPlast() const { return OstPlast_; }
    uint8_t StpPlast() const { return StpPlast_; }
    uint8_t ZebPlast() const { return ZebPlast_; }
    void SetArrPlast(bool flag);
    void SetOstPlast(bool flag);
    void SetStpPlast(bool flag);
    void SetZebPlast(bool flag);
    int32_t ZebraYop() const { return ZebraYop_; }
    void SetZebraYop(int32_t v);
    // The street's line-marking records; a street without its own takes the default table first.
    const TLnParamArray &GetLnRazmetParams();
    // The street's own records as they stand (empty when it has none).
    const TLnParamArray &LnParams() const { return LnParams_; }
    // Replaces the records; the line markings' batches are made anew and every marking is rebuilt.
    void SetLnRazmetParams(const TLnParamArray &params);
    // The street contour (made from no points on first use); not stored.
    TContourCoords &GetContour();
    void SetContour(const TXYZArray &points);

    // ---- Street stream (StreetFile.cpp)
    // Reads a street stream into this street, replacing its content; a failure leaves the street
    // cleared (never half read) and raises an EStreetError naming the stream, the offset and the fault.
    void LoadFromStream(TStream &stream);
    void LoadFromFile(const std::string &fileName);
    // (Not const: the pool is put into id order first.)
    void SaveToStream(TStream &stream);
    // Through a temporary file renamed over the target after a complete write; a failure keeps the old
    // file.
    void SaveToFile(const std::string &fileName);

private:
    friend class TAbstractItem;
    friend class TConnectedItems;
    friend class TItemList;

    void Register(TConnectedItems *c);
    void Unregister(TConnectedItems *c);
    void ReadStream(TStream &stream);
    void ClearFileFields();
    void ApplyRazmerOptions();
    void InvalidateType(int code);
    void SetOptionText(const char *name, const Cp1251String &value);
    void BringDefinitions(TStreetStructure &other, const TUsedNames &used);

    TPointStructure Pool_;
    TItemIndex ItemIndex_{*this};
    uint64_t Serial_;
    std::array<std::unique_ptr<TItemList>, ItemTypeCount> Lists_;
    std::vector<TConnectedItems *> Registry_;
    bool Modified_ = false;
    uint64_t ChangeCount_ = 0;
    TConnectedItems MainAxisRef_{true, 1};
    int TagSetSize_ = StoredTagSetSize;
    TMatrixShell Placement_;
    TStreetView View_;
    TDsnBlockDefList BlockDefs_;
    TDsnLineDefList LineDefs_;
    TDsnFigDefList FigDefs_;
    int32_t WorkTime_ = 0;
    bool Loaded_ = false;
    bool Touched_ = false;
    float RazmerScale_ = 0;
    double RazmerRound_ = 0;
    int32_t RazmerColor_ = 0;
    TEcefMapRec EcefMap_;
    std::string FileName_;
    Cp1251String Name_, Start_, Finish_;
    TLnParamArray LnParams_;
    uint8_t ArrowBig_ = 0, ArrPlast_ = 0, OstPlast_ = 0, StpPlast_ = 0, ZebPlast_ = 0;
    int32_t ZebraYop_ = 0;
    TNameValueList GroupNames_;
    TConnectedItems Selection_{false};
    TNameValueList DrawOpts_;
    float ZnakScaleCache_ = 0;
    std::array<TItemBatches, ItemTypeCount> TypeBatches_;
    std::unique_ptr<TContourCoords> Contour_;
    bool Destroying_ = false;
};

// Holders outside the model that keep items (windows, tools) hear of every batch of items about to be
// freed, from whatever street and for whatever reason, once per batch, while the items still exist.
using TItemsFreeingHandler = std::function<void(TStreetStructure &street, std::span<TAbstractItem *const> items)>;
uint64_t AddItemsFreeingListener(TItemsFreeingHandler handler);
void RemoveItemsFreeingListener(uint64_t token);

// Loading for a holder of open streets: a fresh street read from the file (its file name set), or an
// EStreetError; whatever was open stays untouched either way.
std::unique_ptr<TStreetStructure> LoadStreetFile(const std::string &fileName);
std::unique_ptr<TStreetStructure> LoadStreetStream(TStream &stream);
