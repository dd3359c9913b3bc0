#include "model/StreetStructure.h"

#include "engine/DxRenderer.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/MergeMap.h"
#include "model/PolygonItem.h"

#include "engine/UndefinedValue.h"
#include "model/ItemTypeCodes.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_set>

namespace {

bool ZeroOrNan(double v) {
    return v == 0 || std::isnan(v);
}

uint64_t NextPurgeMark() {
    static uint64_t mark = 0;
    return ++mark;
}

} // namespace

TEcefMapRec DefaultEcefMap() {
    TEcefMapRec r;
    r.X = 2860517.82;
    r.Y = 2194813.71;
    r.Z = 5243620.5;
    return r;
}

namespace {

uint64_t NextStreetSerial() {
    static uint64_t last = 0;
    return ++last;
}

std::vector<std::pair<uint64_t, TItemsFreeingHandler>> &FreeingListeners() {
    static std::vector<std::pair<uint64_t, TItemsFreeingHandler>> listeners;
    return listeners;
}

void NotifyItemsFreeing(TStreetStructure &street, std::span<TAbstractItem *const> items) {
    if (items.empty())
        return;
    // A listener may remove itself (or others) while it is told.
    const auto listeners = FreeingListeners();
    for (const auto &[token, handler] : listeners)
        handler(street, items);
}

} // namespace

uint64_t AddItemsFreeingListener(TItemsFreeingHandler handler) {
    static uint64_t last = 0;
    FreeingListeners().emplace_back(++last, std::move(handler));
    return last;
}

void RemoveItemsFreeingListener(uint64_t token) {
    std::erase_if(FreeingListeners(), [&](const auto &e) { return e.first == token; });
}

TStreetStructure::TStreetStructure() : Serial_(NextStreetSerial()) {
    Pool_.SetStreet(this);
    for (int code = 0; code < ItemTypeCount; ++code)
        Lists_[static_cast<std::size_t>(code)] = std::make_unique<TItemList>(this, code, ItemClasses[code]);
    MainAxisRef_.Bind(this);
}

TStreetStructure::~TStreetStructure() {
    Destroying_ = true;
    Clear();
}

TItemList &TStreetStructure::Lists(int code) const {
    if (!IsItemTypeCode(code))
        RaiseStreetError("TStreetStructure.Lists",
                         "type code " + std::to_string(code) + " out of range 0..40");
    return *Lists_[static_cast<std::size_t>(code)];
}

TItemBatches &TStreetStructure::TypeBatches(int code) {
    if (!IsItemTypeCode(code))
        RaiseStreetError("TStreetStructure.TypeBatches",
                         "type code " + std::to_string(code) + " out of range 0..40");
    return TypeBatches_[static_cast<std::size_t>(code)];
}

const TItemBatches &TStreetStructure::TypeBatches(int code) const {
    return const_cast<TStreetStructure *>(this)->TypeBatches(code);
}

TItemBatch *TStreetStructure::FindTypeBatch(int code, uint64_t serial) const {
    if (serial == 0 || !IsItemTypeCode(code))
        return nullptr;
    for (const TItemBatchPtr &b : TypeBatches_[static_cast<std::size_t>(code)])
        if (b && b->Serial() == serial)
            return b.get();
    return nullptr;
}

bool TStreetStructure::IsTypeBatch(int code, const TItemBatch *batch) const {
    return batch && FindTypeBatch(code, batch->Serial()) == batch;
}

void TStreetStructure::Register(TConnectedItems *c) {
    c->RegistryIndex_ = Registry_.size();
    Registry_.push_back(c);
}

void TStreetStructure::Unregister(TConnectedItems *c) {
    const std::size_t i = c->RegistryIndex_;
    if (i >= Registry_.size() || Registry_[i] != c)
        return;
    Registry_[i] = Registry_.back();
    Registry_[i]->RegistryIndex_ = i;
    Registry_.pop_back();
}

void TStreetStructure::SetModified() {
    Modified_ = true;
    ++ChangeCount_;
    Touched_ = true;
}

// ---- Clearing

void TStreetStructure::Clear() {
    // Every item goes at once. Containers outside the street (or of other streets) that hold them are
    // purged first; the street's own containers are emptied; the vertices are dropped with the pool, so
    // nobody is notified of vertices that are about to vanish.
    const uint64_t mark = NextPurgeMark();
    ItemIndex_.Invalidate();
    std::vector<TAbstractItem *> items;
    for (const auto &list : Lists_)
        for (const auto &item : *list) {
            item->Dying_ = true;
            items.push_back(item.get());
        }
    NotifyItemsFreeing(*this, items);
    std::vector<TConnectedItems *> holders;
    for (TAbstractItem *item : items) {
        for (TConnectedItems *c : item->Holders_.Containers())
            if (c->PurgeMark_ != mark) {
                c->PurgeMark_ = mark;
                holders.push_back(c);
            }
    }
    for (TConnectedItems *c : holders)
        c->PurgeDying();
    for (TAbstractItem *item : items)
        item->Holders_.Reset();
    for (TConnectedItems *c : std::vector<TConnectedItems *>(Registry_))
        c->Clear();
    Selection_.Clear();

    for (int i = 0; i < Pool_.Count(); ++i)
        Pool_.Points(i)->Owners.clear();
    for (const auto &list : Lists_) {
        std::vector<std::unique_ptr<TAbstractItem>> owned = list->ExtractDying();
        for (auto &item : owned)
            item->Points.ForgetRecords();
        owned.clear();
        list->MaxId_ = 0;
        list->Dirty = false;
    }

    LineDefs_.Clear();
    FigDefs_.Clear();
    if (!Destroying_) {
        LineDefs_.PublishBatches(*this);
        FigDefs_.PublishBatches(*this);
    }
    for (TItemBatches &b : TypeBatches_)
        b.clear();
    Pool_.Clear();
    // Containers bound to the street that belong to no item (other than the main axis) leave it.
    for (TConnectedItems *c : std::vector<TConnectedItems *>(Registry_))
        if (c != &MainAxisRef_ && !c->Owner_)
            c->Bind(nullptr);
    Modified_ = false;
    TagSetSize_ = StoredTagSetSize;
    Placement_.ResetStack();
    Placement_.LoadIdentity();
    GroupNames_.Clear();
    View_ = TStreetView{};
    View_.Scale = DefaultViewScale;
}

// ---- Items

void TStreetStructure::SetMainAxis(TAbstractItem *axis) {
    MainAxisRef_.Put(0, axis);
}

void TStreetStructure::DeleteItems(std::span<TAbstractItem *const> items) {
    std::vector<TAbstractItem *> dying;
    dying.reserve(items.size());
    for (TAbstractItem *item : items)
        if (item && item->Street_ != this)
            RaiseStreetError("TStreetStructure.DeleteItems",
                             "an item of another street cannot be freed here");
    for (TAbstractItem *item : items) {
        if (!item || item->Dying_ || !item->List_)
            continue;
        item->Dying_ = true;
        dying.push_back(item);
    }
    if (dying.empty())
        return;
    NotifyItemsFreeing(*this, dying);

    // 1. The groups leave the batches.
    for (TAbstractItem *item : dying)
        item->MarkBatchGroupsDeleted();
    // 2. Every container holding one of them drops it, each container in one pass.
    const uint64_t mark = NextPurgeMark();
    std::vector<TConnectedItems *> holders;
    for (TAbstractItem *item : dying)
        for (TConnectedItems *c : item->Holders_.Containers())
            if (c->PurgeMark_ != mark) {
                c->PurgeMark_ = mark;
                holders.push_back(c);
            }
    for (TConnectedItems *c : holders)
        c->PurgeDying();
    for (TAbstractItem *item : dying)
        item->Holders_.Reset();
    // 3. They leave their lists, one compaction per list.
    std::vector<std::unique_ptr<TAbstractItem>> owned;
    for (const auto &list : Lists_) {
        bool any = false;
        for (TAbstractItem *item : dying)
            if (item->List_ == list.get()) {
                any = true;
                break;
            }
        if (!any)
            continue;
        for (auto &item : list->ExtractDying())
            owned.push_back(std::move(item));
    }
    // 4. Their vertices are detached last, so every item sharing one is notified.
    for (auto &item : owned)
        item->Points.Clear();
    owned.clear();
    SetModified();
}

void TStreetStructure::RemoveItemReferences(TAbstractItem *item) {
    if (!item)
        return;
    for (TConnectedItems *c : item->Holders_.Containers())
        c->Remove(item);
}

void TStreetStructure::Merge(TStreetStructure &other, bool bindOwnItems) {
    if (&other == this)
        RaiseStreetError("TStreetStructure.Merge", "a street cannot take over itself");
    // Everything that can fail is checked before anything moves.
    if (static_cast<int64_t>(Pool_.MaxId()) + other.Pool_.Count() > std::numeric_limits<int32_t>::max())
        RaiseStreetError("TStreetStructure.Merge", "no point ids left for the merged points");
    for (int code = 0; code < ItemTypeCount; ++code)
        if (static_cast<int64_t>(Lists(code).MaxId()) + other.Lists(code).Count() >
            std::numeric_limits<int32_t>::max())
            RaiseStreetError("TStreetStructure.Merge",
                             "no item ids left for the merged items of type " + std::to_string(code));

    ItemIndex_.Invalidate();
    other.ItemIndex_.Invalidate();
    TMergeMap map;
    map.BindOwnItems = bindOwnItems;
    TUsedNames used;
    std::vector<Cp1251String> groups;
    for (int code = 0; code < ItemTypeCount; ++code) {
        map.FirstMovedId[static_cast<std::size_t>(code)] = Lists(code).MaxId() + 1;
        map.OldIds[static_cast<std::size_t>(code)] = other.Lists(code).ById_;
        for (const auto &item : other.Lists(code)) {
            item->GetUsedNames(used);
            if (!item->GroupName().Empty() &&
                std::none_of(groups.begin(), groups.end(),
                             [&](const Cp1251String &g) { return SameText(g, item->GroupName()); }))
                groups.push_back(item->GroupName());
        }
    }

    // The definitions and groups the moved items use come along when this street lacks them.
    BringDefinitions(other, used);
    for (const Cp1251String &g : groups) {
        if (GroupNames_.IndexOfName(g) >= 0)
            continue;
        const int j = other.GroupNames_.IndexOfName(g);
        if (j >= 0)
            GroupNames_.Add(other.GroupNames_.Lines(j));
    }

    Pool_.Append(other.Pool_);
    std::vector<TAbstractItem *> moved;
    for (int code = 0; code < ItemTypeCount; ++code) {
        TItemList &mine = Lists(code);
        const int before = mine.Count();
        mine.Append(other.Lists(code));
        for (int i = before; i < mine.Count(); ++i)
            moved.push_back(mine.Items(i));
    }
    for (TAbstractItem *item : moved)
        for (TConnectedItems *c : item->OwnContainers_)
            c->ResolveWith(&map);
    // The other street keeps its own containers, but what they held has left it.
    for (TConnectedItems *c : std::vector<TConnectedItems *>(other.Registry_))
        c->Clear();
    other.Selection_.Clear();
    // Their activity follows this street's groups now.
    for (TAbstractItem *item : moved)
        item->SetGroupName(item->GroupName());
    SetModified();
}

namespace {

bool Excluded(std::span<TAbstractItem *const> exclusion, const TAbstractItem *item) {
    return std::find(exclusion.begin(), exclusion.end(), item) != exclusion.end();
}

// The index's candidates grouped by type code, each group in list order.
TAbstractItem *Itself(TAbstractItem *item) {
    return item;
}

std::array<std::vector<TAbstractItem *>, ItemTypeCount> ByType(std::vector<TAbstractItem *> &candidates,
                                                               std::span<TAbstractItem *const> exclusion) {
    std::sort(candidates.begin(), candidates.end(),
              [](const TAbstractItem *a, const TAbstractItem *b) { return a->ListOrder() < b->ListOrder(); });
    std::unordered_set<const TAbstractItem *> excluded;
    if (exclusion.size() > 16)
        excluded.insert(exclusion.begin(), exclusion.end());
    std::array<std::vector<TAbstractItem *>, ItemTypeCount> groups;
    for (TAbstractItem *item : candidates) {
        if (!item->Active)
            continue;
        if (excluded.empty() ? Excluded(exclusion, item) : excluded.contains(item))
            continue;
        groups[static_cast<std::size_t>(item->GetTypeCode())].push_back(item);
    }
    return groups;
}

} // namespace

// Both searches give what a scan of every list gives (the lists' own FindNearest and CollectNearest):
// the index only leaves out items that cannot come within the distance.
TAbstractItem *TStreetStructure::FindNearestItem(const TXYZ &point, const TItemTypeSet &types,
                                                 double maxDistance,
                                                 std::span<TAbstractItem *const> exclusion) {
    std::vector<TAbstractItem *> candidates;
    ItemIndex_.Near(point.x, point.y, maxDistance, types, candidates);
    const auto groups = ByType(candidates, exclusion);
    TAbstractItem *best = nullptr;
    THitRank bestRank;
    // Of equal ranks the higher type code wins.
    for (int code = ItemTypeCount - 1; code >= 0; --code) {
        if (!types.Contains(code))
            continue;
        THitRank rank;
        TAbstractItem *cand =
            NearestByHitTest(groups[static_cast<std::size_t>(code)], Itself, point, maxDistance, &rank);
        if (cand && (!best || rank < bestRank)) {
            best = cand;
            bestRank = rank;
        }
    }
    return best;
}

void TStreetStructure::CollectNearestItems(const TXYZ &point, const TItemTypeSet &types, double maxDistance,
                                           std::span<TAbstractItem *const> exclusion,
                                           std::vector<TAbstractItem *> &result) {
    std::vector<TAbstractItem *> candidates;
    ItemIndex_.Near(point.x, point.y, maxDistance, types, candidates);
    const auto groups = ByType(candidates, exclusion);
    std::vector<std::pair<THitRank, TAbstractItem *>> ranked;
    for (int code = ItemTypeCount - 1; code >= 0; --code) {
        if (!types.Contains(code))
            continue;
        THitRank rank;
        if (TAbstractItem *cand =
                NearestByHitTest(groups[static_cast<std::size_t>(code)], Itself, point, maxDistance, &rank))
            ranked.emplace_back(rank, cand);
    }
    // Equal ranks stay in type order, the higher code first.
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &r : ranked)
        result.push_back(r.second);
}

void TStreetStructure::ItemsNearRect(const TItemBounds &rect, const TItemTypeSet &types,
                                     std::vector<TAbstractItem *> &result) {
    std::vector<TAbstractItem *> found;
    ItemIndex_.InRect(rect, types, found);
    std::sort(found.begin(), found.end(), [](const TAbstractItem *a, const TAbstractItem *b) {
        return a->GetTypeCode() != b->GetTypeCode() ? a->GetTypeCode() < b->GetTypeCode()
                                                    : a->ListOrder() < b->ListOrder();
    });
    result.insert(result.end(), found.begin(), found.end());
}

void TStreetStructure::InvalidateAllItems() {
    for (const auto &list : Lists_)
        list->InvalidateAll();
}

void TStreetStructure::InvalidateType(int code) {
    Lists(code).InvalidateAll();
}

// ---- Drawing

void TStreetStructure::UpdateGraphics(const TItemTypeSet &types) {
    for (int code = 0; code < ItemTypeCount; ++code) {
        TItemList &list = Lists(code);
        if (!types.Contains(code) || list.Count() == 0 || !list.Dirty)
            continue;
        for (const auto &item : list)
            item->UpdateGraphics();
        list.Dirty = false;
    }
}

void TStreetStructure::Draw(const TDxDrawParams &params, const TItemTypeSet &types, uint32_t layerMask) {
    // The placement applies to the street's points before the world transform, for this drawing only.
    TMatrixShell *world = params.Renderer ? &params.Renderer->World() : nullptr;
    if (world) {
        world->PushMatrix();
        world->MultMatrix(false, Placement_.GetMatrix());
    }
    struct TPop {
        TMatrixShell *World;
        ~TPop() {
            if (World)
                World->PopMatrix();
        }
    } pop{world};
    UpdateGraphics(types);
    for (int code = 0; code < ItemTypeCount; ++code) {
        TItemList &list = Lists(code);
        if (!types.Contains(code) || list.Count() == 0)
            continue;
        for (const TItemBatchPtr &b : TypeBatches_[static_cast<std::size_t>(code)]) {
            if (!b)
                continue;
            b->SetLayerFilter(layerMask);
            b->Draw(params);
        }
        list.DrawAll(params, layerMask);
    }
}

// ---- Groups

void TStreetStructure::SetGroupNames(const TNameValueList &names) {
    if (names == GroupNames_)
        return;
    GroupNames_ = names;
    SetModified();
    RefreshActiveAll();
}

void TStreetStructure::SetGroupValue(const Cp1251String &group, const Cp1251String &value) {
    if (GroupNames_.SetValue(group, value)) {
        SetModified();
        RefreshGroupActive(group);
    }
}

void TStreetStructure::RefreshActiveAll() {
    for (const auto &list : Lists_)
        for (const auto &item : *list)
            item->SetGroupName(item->GroupName());
}

void TStreetStructure::RefreshGroupActive(const Cp1251String &group) {
    for (const auto &list : Lists_)
        for (const auto &item : *list)
            if (SameText(item->GroupName(), group))
                item->SetGroupName(item->GroupName());
}

void TStreetStructure::RenameGroup(const Cp1251String &oldName, const Cp1251String &newName) {
    const int i = GroupNames_.IndexOfName(oldName);
    if (i < 0)
        RaiseStreetError("TStreetStructure.RenameGroup", "no group \"" + oldName.Bytes() + "\"");
    GroupNames_.SetLine(i, newName + Cp1251String("=") + GroupNames_.ValueFromIndex(i));
    for (const auto &list : Lists_)
        for (const auto &item : *list)
            if (item->GroupName() == oldName)
                item->GroupName_ = newName;
    SetModified();
}

// ---- Options

Cp1251String TStreetStructure::GetStrOption(const Cp1251String &name) const {
    return DrawOpts_.Values(name);
}

bool TStreetStructure::GetBoolOption(const Cp1251String &name) const {
    return GetStrOption(name) == Cp1251String("1");
}

int32_t TStreetStructure::GetIntOption(const Cp1251String &name) const {
    return StrToIntDef(GetStrOption(name).Bytes(), 0);
}

float TStreetStructure::GetFloatOption(const Cp1251String &name) const {
    double v = 0;
    if (!TryStrToFloat(GetStrOption(name).Bytes(), v) || !std::isfinite(v) || std::fabs(v) > UndefinedValue)
        return 0;
    return static_cast<float>(v);
}

void TStreetStructure::SetStrOption(const Cp1251String &name, const Cp1251String &value) {
    // Options are saved with the street: a change is a change of the street.
    if (DrawOpts_.SetValue(name, value)) {
        SetModified();
        if (SameText(name, Cp1251String("ZnakScale"))) {
            ZnakScaleCache_ = 0;
            // Label places write at the sign scale.
            InvalidateType(RazmetLabelPlaceTypeCode);
        }
    }
}

void TStreetStructure::SetOptionText(const char *name, const Cp1251String &value) {
    SetStrOption(Cp1251String(name), value);
}

void TStreetStructure::SetBoolOption(const Cp1251String &name, bool value) {
    SetStrOption(name, Cp1251String(value ? "1" : "0"));
}

void TStreetStructure::SetIntOption(const Cp1251String &name, int32_t value) {
    SetStrOption(name, Cp1251String(IntToStr(value)));
}

void TStreetStructure::SetFloatOption(const Cp1251String &name, float value) {
    SetStrOption(name, Cp1251String(FloatToStr(value)));
}

float TStreetStructure::GetRazmerScale() const {
    return ZeroOrNan(RazmerScale_) ? 1.0f : RazmerScale_;
}

double TStreetStructure::GetRazmerRound() const {
    return ZeroOrNan(RazmerRound_) ? 0.05 : RazmerRound_;
}

void TStreetStructure::SetRazmerScale(float s) {
    if (s == RazmerScale_)
        return;
    RazmerScale_ = s;
    SetOptionText("RazmerScale", Cp1251String(FloatToStr(s)));
    InvalidateType(RazmerTypeCode);
}

void TStreetStructure::SetRazmerColor(int32_t c) {
    if (c == RazmerColor_)
        return;
    RazmerColor_ = c;
    SetOptionText("RazmerColor", Cp1251String(IntToStr(c)));
    InvalidateType(RazmerTypeCode);
}

void TStreetStructure::SetRazmerRound(double d) {
    if (d == RazmerRound_)
        return;
    RazmerRound_ = d;
    SetOptionText("RazmerRound", Cp1251String(FloatToStr(d)));
    InvalidateType(RazmerTypeCode);
}

double TStreetStructure::GetTotalArea(int code) const {
    double sum = 0;
    for (const auto &item : Lists(code))
        if (auto *polygon = dynamic_cast<TPolygonItem *>(item.get()))
            sum += polygon->Area();
    return sum;
}

float TStreetStructure::GetZnakScale() {
    if (ZeroOrNan(ZnakScaleCache_))
        ZnakScaleCache_ = static_cast<float>(GetIntOption(Cp1251String("ZnakScale")) / 100.0);
    return ZnakScaleCache_ == 0 ? 1.0f : ZnakScaleCache_;
}

void TStreetStructure::SetZnakScale(float s) {
    SetOptionText("ZnakScale", Cp1251String(IntToStr(Round(double(s) * 100))));
    ZnakScaleCache_ = s;
}

void TStreetStructure::ApplyRazmerOptions() {
    // The sign scale is taken from the options read, not from a street read before.
    ZnakScaleCache_ = 0;
    const float scale = GetFloatOption(Cp1251String("RazmerScale"));
    RazmerScale_ = ZeroOrNan(scale) ? 1.0f : scale;
    RazmerColor_ = GetIntOption(Cp1251String("RazmerColor"));
    RazmerRound_ = StrToFloatDef(GetStrOption(Cp1251String("RazmerRound")).Bytes(), 0);
}

void TStreetStructure::BringDefinitions(TStreetStructure &other, const TUsedNames &used) {
    for (const Cp1251String &name : used.BlockDefs) {
        const int j = other.BlockDefs_.IndexOfName(name);
        if (BlockDefs_.IndexOfName(name) < 0 && j >= 0)
            CopyDefinition(*other.BlockDefs_.Items(j), *BlockDefs_.Add());
    }
    bool lines = false, figures = false;
    for (const Cp1251String &name : used.LineDefs) {
        if (const TDsnLineDef *def = other.LineDefs_.FindByName(name); def && !LineDefs_.FindByName(name)) {
            CopyDefinition(*def, *LineDefs_.Add());
            lines = true;
        }
    }
    for (const Cp1251String &name : used.FigDefs) {
        if (const TDsnFigDef *def = other.FigDefs_.FindByName(name); def && !FigDefs_.FindByName(name)) {
            CopyDefinition(*def, *FigDefs_.Add());
            figures = true;
        }
    }
    if (lines)
        LineDefs_.PublishBatches(*this);
    if (figures)
        FigDefs_.PublishBatches(*this);
}

// ---- Street data

void TStreetStructure::SetName(const Cp1251String &v) {
    if (v != Name_) {
        Name_ = v;
        SetModified();
    }
}

void TStreetStructure::SetStart(const Cp1251String &v) {
    if (v != Start_) {
        Start_ = v;
        SetModified();
    }
}

void TStreetStructure::SetFinish(const Cp1251String &v) {
    if (v != Finish_) {
        Finish_ = v;
        SetModified();
    }
}

TEcefMapRec TStreetStructure::GetEcefMap() const {
    if (ZeroOrNan(EcefMap_.X) && ZeroOrNan(EcefMap_.Y) && ZeroOrNan(EcefMap_.Z))
        return DefaultEcefMap();
    return EcefMap_;
}

void TStreetStructure::SetEcefMap(const TEcefMapRec &map) {
    EcefMap_ = map;
    SetModified();
}

void TStreetStructure::SetArrowBig(bool flag) {
    const uint8_t v = flag ? 1 : 0;
    if (v != ArrowBig_)
        SetModified();
    ArrowBig_ = v;
    InvalidateType(ArrowRazmetTypeCode);
}

namespace {

void SetFlag(uint8_t &field, bool flag, TStreetStructure &street) {
    const uint8_t v = flag ? 1 : 0;
    if (v != field) {
        field = v;
        street.SetModified();
    }
}

} // namespace

void TStreetStructure::SetArrPlast(bool flag) {
    SetFlag(ArrPlast_, flag, *this);
}

void TStreetStructure::SetOstPlast(bool flag) {
    SetFlag(OstPlast_, flag, *this);
}

void TStreetStructure::SetStpPlast(bool flag) {
    SetFlag(StpPlast_, flag, *this);
}

void TStreetStructure::SetZebPlast(bool flag) {
    SetFlag(ZebPlast_, flag, *this);
}

void TStreetStructure::SetZebraYop(int32_t v) {
    if (v != ZebraYop_) {
        ZebraYop_ = v;
        SetModified();
        // The crossings' patch width follows it.
        InvalidateType(ZebraTypeCode);
    }
}

const TLnParamArray &TStreetStructure::GetLnRazmetParams() {
    if (LnParams_.empty())
        LoadDefaultLnParams(LnParams_);
    return LnParams_;
}

void TStreetStructure::SetLnRazmetParams(const TLnParamArray &params) {
    LnParams_ = params;
    TypeBatches(LineRazmetTypeCode).clear();
    if (const TItemClass *cls = Lists(LineRazmetTypeCode).ItemClass())
        cls->InitDrawBatches(*this);
    // The markings find their records again by their codes when they are rebuilt.
    InvalidateType(LineRazmetTypeCode);
    SetModified();
}

TContourCoords &TStreetStructure::GetContour() {
    if (!Contour_)
        Contour_ = std::make_unique<TContourCoords>(TXYZArray{});
    return *Contour_;
}

void TStreetStructure::SetContour(const TXYZArray &points) {
    Contour_ = std::make_unique<TContourCoords>(points);
}
