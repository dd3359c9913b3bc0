#include "model/AbstractItem.h"

#include "model/ItemIndex.h"

#include "engine/MatrixShell.h"
#include "engine/StreetError.h"
#include "model/ItemList.h"
#include "model/PointStructure.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <string>

namespace {

// An ident as it may appear in a message: printable ASCII kept, other bytes as \xNN.
std::string ShowIdent(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + "\"";
}

// Restores a flag on every way out.
class TFlagGuard {
public:
    TFlagGuard(bool &flag, bool value) : Flag_(flag), Old_(flag) { Flag_ = value; }
    ~TFlagGuard() { Flag_ = Old_; }
    TFlagGuard(const TFlagGuard &) = delete;
    TFlagGuard &operator=(const TFlagGuard &) = delete;

private:
    bool &Flag_;
    bool Old_;
};

} // namespace

// ---- TRefHolders

void TRefHolders::Add(TConnectedItems *c) {
    if (c == nullptr)
        return; // an empty entry is marked by a null holder
    TEntry *free = nullptr;
    for (TEntry &e : Near_) {
        if (e.Holder == c) {
            ++e.Slots;
            return;
        }
        if (e.Holder == nullptr && free == nullptr)
            free = &e;
    }
    if (Map_) {
        if (const auto it = Map_->find(c); it != Map_->end()) {
            ++it->second;
            return;
        }
    }
    if (free != nullptr) {
        *free = {c, 1};
        return;
    }
    if (!Map_)
        Map_ = std::make_unique<std::unordered_map<TConnectedItems *, uint32_t>>();
    Map_->emplace(c, 1);
}

void TRefHolders::Remove(TConnectedItems *c) {
    if (c == nullptr)
        return;
    for (TEntry &e : Near_)
        if (e.Holder == c) {
            if (--e.Slots == 0)
                e = {};
            return;
        }
    if (!Map_)
        return;
    auto it = Map_->find(c);
    if (it != Map_->end() && --it->second == 0)
        Map_->erase(it);
}

void TRefHolders::RemoveAll(TConnectedItems *c) {
    if (c == nullptr)
        return;
    for (TEntry &e : Near_)
        if (e.Holder == c) {
            e = {};
            return;
        }
    if (Map_)
        Map_->erase(c);
}

uint32_t TRefHolders::Count(const TConnectedItems *c) const {
    for (const TEntry &e : Near_)
        if (e.Holder == c && c != nullptr)
            return e.Slots;
    if (!Map_)
        return 0;
    const auto it = Map_->find(const_cast<TConnectedItems *>(c));
    return it == Map_->end() ? 0 : it->second;
}

std::vector<TConnectedItems *> TRefHolders::Containers() const {
    std::vector<TConnectedItems *> out;
    out.reserve(2 + (Map_ ? Map_->size() : 0));
    for (const TEntry &e : Near_)
        if (e.Holder != nullptr)
            out.push_back(e.Holder);
    if (Map_)
        for (const auto &[c, n] : *Map_)
            out.push_back(c);
    return out;
}

// ---- TAbstractItem: life

TAbstractItem::TAbstractItem() : Points(nullptr, this), Serial_(NewBatchSerial()) {}

TAbstractItem::~TAbstractItem() {
    if (Street_)
        Street_->ItemIndex_.ItemRemoved(this);
    // Items leave a street through TStreetStructure::DeleteItems, which has purged every reference to
    // them already. An item freed any other way (never bound to a street) is purged here.
    for (TConnectedItems *c : Holders_.Containers())
        c->Remove(this);
}

void TAbstractItem::Create(TStreetStructure &street, const TItemClass *itemClass) {
    Class_ = itemClass;
    Street_ = &street;
    if (itemClass && street.Lists(GetTypeCode()).Count() == 0)
        itemClass->InitDrawBatches(street);
    Points.SetPool(&street.Pool());
    BindContainer(ReferAxis);
    Created();
    street.SetModified();
}

void TAbstractItem::BindContainer(TConnectedItems &container) {
    container.Owner_ = this;
    container.Bind(Street_);
    if (std::find(OwnContainers_.begin(), OwnContainers_.end(), &container) == OwnContainers_.end())
        OwnContainers_.push_back(&container);
}

// ---- Class data

const Cp1251String &TAbstractItem::GetIdent() const {
    return ItemTypeIdent(GetTypeCode());
}

const Cp1251String &TAbstractItem::GetDisplayName() const {
    return ItemTypeDisplayName(GetTypeCode());
}

int TAbstractItem::GetCategory() const {
    return ItemTypeCategory(GetTypeCode());
}

int TAbstractItem::MinPointCount() const {
    return Class_ ? Class_->MinPointCount() : ClassMinPointCount();
}

int TAbstractItem::MaxPointCount() const {
    return Class_ ? Class_->MaxPointCount() : ClassMaxPointCount();
}

bool TAbstractItem::IsClosed() const {
    return Class_ ? Class_->IsClosed() : ClassIsClosed();
}

bool TAbstractItem::HasControlPoints() const {
    return Class_ ? Class_->HasControlPoints() : ClassHasControlPoints();
}

bool TAbstractItem::IsComplete() const {
    return static_cast<int>(Points.RecordVertices().size()) >= MinPointCount();
}

// ---- Virtual operations

bool TAbstractItem::HitTest(const TXYZ &, double &distance, double) {
    distance = UndefinedValue;
    return false;
}

THitRank TAbstractItem::PickRank(const TXYZ &point, double maxDistance) {
    double d = UndefinedValue;
    if (!HitTest(point, d, maxDistance) || !(d < maxDistance))
        return {};
    return {THitRank::OnItem, d};
}

void TAbstractItem::Draw(const TDxDrawParams &, uint32_t) {}

void TAbstractItem::GetTransformedPoints(const TMatrixShell &view, TXYZArray &points) const {
    const TDxMatrix m = view.GetMatrix();
    points.clear();
    for (const TStreetPointRec *r : Points.Refs())
        points.push_back(TransformVector(m, r->Position()));
}

void TAbstractItem::ReadHead(TStream &stream) {
    const char *what = "TAbstractItem.LoadFromStream";
    if (!CheckStreamTag(stream, "ITEM    "))
        stream.Fail(what, "Ident<>ITEM");
    char ident[ItemIdentSize];
    stream.ReadBuffer(ident, ItemIdentSize, what);
    if (std::string_view(ident, ItemIdentSize) != GetIdent().Bytes()) {
        stream.Seek(-ItemIdentSize, TSeekOrigin::Current);
        stream.Fail(what, "Ident<>" + GetIdent().Bytes() + " (found " +
                              ShowIdent(std::string_view(ident, ItemIdentSize)) + ")");
    }
    const int32_t id = stream.ReadInt32(what);
    if (!KeepIdOnRead_) {
        if (List_) {
            const TAbstractItem *holder = List_->FindById(id);
            if ((holder && holder != this) || id <= 0) {
                stream.Seek(-4, TSeekOrigin::Current);
                stream.Fail(what, (id <= 0 ? "item id " : "duplicate item id ") + std::to_string(id));
            }
            List_->ChangeId(this, id);
        } else {
            ID_ = id;
        }
    }
    Points.LoadFromStream(stream);
    if (CheckStreamTag(stream, "ITEMACTV"))
        Active = stream.ReadBool(what);
    Cp1251String group;
    if (CheckStreamTag(stream, "GROUPNAM"))
        group = ReadStreamString(stream, what);
    SetGroupName(group);
    Cp1251String comment, comment2;
    if (CheckStreamTag(stream, "COMMENT "))
        comment = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "COMMENT2"))
        comment2 = ReadStreamString(stream, what);
    if (comment != Comment_ || comment2 != Comment2_)
        NotifyModified();
    Comment_ = std::move(comment);
    Comment2_ = std::move(comment2);
    if (CheckStreamTag(stream, "REFERAX "))
        ReferAxis.LoadFromStream(stream);
}

void TAbstractItem::LoadFromStream(TStream &stream) {
    ReadHead(stream);
}

void TAbstractItem::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "ITEM    ");
    stream.WriteBuffer(GetIdent().Data(), ItemIdentSize);
    stream.WriteInt32(ID_);
    if (!SkipPointsInRecord_)
        Points.SaveToStream(stream);
    WriteStreamTag(stream, "ITEMACTV");
    stream.WriteBool(Active);
    if (!GroupName_.Empty()) {
        WriteStreamTag(stream, "GROUPNAM");
        WriteStreamString(stream, GroupName_);
    }
    if (!Comment_.Empty()) {
        WriteStreamTag(stream, "COMMENT ");
        WriteStreamString(stream, Comment_);
    }
    if (!Comment2_.Empty()) {
        WriteStreamTag(stream, "COMMENT2");
        WriteStreamString(stream, Comment2_);
    }
    if (ReferAxis.Count() > 0 && ReferAxis.Items(0)) {
        WriteStreamTag(stream, "REFERAX ");
        ReferAxis.SaveToStream(stream);
    }
}

int TAbstractItem::TagFromStream(TStream &stream) {
    const char *what = "TAbstractItem.TagFromStream";
    const int64_t pos = stream.Position();
    if (!CheckStreamTag(stream, "ITEM    "))
        stream.Fail(what, "Ident<>ITEM");
    char ident[ItemIdentSize];
    stream.ReadBuffer(ident, ItemIdentSize, what);
    stream.Seek(pos, TSeekOrigin::Begin);
    int code = -1;
    if (!FindTypeByIdent(std::string_view(ident, ItemIdentSize), code))
        stream.Fail(what, "class ident " + ShowIdent(std::string_view(ident, ItemIdentSize)) +
                              " names no item type");
    return code;
}

void TAbstractItem::LoadFromStreamKeepId(TStream &stream) {
    TFlagGuard keep(KeepIdOnRead_, true);
    LoadFromStream(stream);
}

// ---- Graphics

void TAbstractItem::MarkListDirty() const {
    if (List_)
        List_->Dirty = true;
    if (Street_)
        Street_->ItemIndex_.ItemChanged(const_cast<TAbstractItem *>(this));
}

bool TAbstractItem::GetHitBounds(TItemBounds &box) {
    Points.EnsureGeometry();
    bool any = false;
    auto take = [&](const TXYZ &p) {
        if (!any) {
            box = {p.x, p.y, p.x, p.y};
            any = true;
            return;
        }
        box.MinX = std::min<double>(box.MinX, p.x);
        box.MinY = std::min<double>(box.MinY, p.y);
        box.MaxX = std::max<double>(box.MaxX, p.x);
        box.MaxY = std::max<double>(box.MaxY, p.y);
    };
    for (int i = 0; i < Points.Count(); ++i)
        take(Points.GetPoint(i));
    for (const TXYZ &p : Points.Dense())
        take(p);
    return any;
}

void TAbstractItem::NotifyModified() const {
    if (Street_)
        Street_->SetModified();
}

void TAbstractItem::MarkBatchGroupsDeleted() {
    if (!Street_)
        return;
    const int code = GetTypeCode();
    for (std::size_t i = 0; i < BatchGroups_.size(); ++i) {
        TItemBatchGroups &e = BatchGroups_[i];
        if (e.Groups.empty())
            continue;
        if (TItemBatch *b = EntryBatch(code, i))
            b->MarkDeleted(e.Groups);
        e.Groups.clear();
    }
}

TItemBatch *TAbstractItem::EntryBatch(int code, std::size_t i) const {
    // Entry i was made for batch i, which it still is unless the type's batches were replaced: a type
    // with many batches would otherwise search them all for every entry of every item it rebuilds.
    const uint64_t serial = BatchGroups_[i].BatchSerial;
    const TItemBatches &batches = Street_->TypeBatches(code);
    if (i < batches.size() && batches[i] && batches[i]->Serial() == serial)
        return batches[i].get();
    return Street_->FindTypeBatch(code, serial);
}

void TAbstractItem::UpdateGraphics() {
    if (!Points.Changed())
        return;
    if (!Street_) {
        Points.SetChanged(false);
        return;
    }
    const int code = GetTypeCode();
    const TItemBatches &batches = Street_->TypeBatches(code);
    bool rebuildEntries = BatchGroups_.size() != batches.size();
    for (std::size_t i = 0; i < BatchGroups_.size(); ++i) {
        TItemBatchGroups &e = BatchGroups_[i];
        // The entries are made again unless each still belongs to the batch at its own place.
        const bool inPlace = i < batches.size() && batches[i] && batches[i]->Serial() == e.BatchSerial;
        rebuildEntries = rebuildEntries || !inPlace;
        TItemBatch *b = inPlace ? batches[i].get() : Street_->FindTypeBatch(code, e.BatchSerial);
        if (!b)
            continue;
        if (!e.Groups.empty())
            b->MarkDeleted(e.Groups);
        e.Groups.clear();
    }
    if (rebuildEntries) {
        BatchGroups_.assign(batches.size(), TItemBatchGroups{});
        for (std::size_t i = 0; i < batches.size(); ++i)
            BatchGroups_[i].BatchSerial = batches[i] ? batches[i]->Serial() : 0;
    }
    for (const TItemBatchPtr &b : batches)
        if (b)
            b->ClearNew();
    if (Active)
        RebuildGraphics();
    // The rebuild may have replaced the type's batches (a library republished): only batches still
    // there hand their new groups over.
    for (std::size_t i = 0; i < BatchGroups_.size(); ++i)
        if (TItemBatch *b = EntryBatch(code, i))
            b->GetNewGroups(BatchGroups_[i].Groups);
    Points.SetChanged(false);
}

// ---- Groups and comments

void TAbstractItem::SetGroupName(const Cp1251String &name) {
    if (name != GroupName_)
        NotifyModified();
    GroupName_ = name;
    bool active = true;
    if (Street_) {
        const TNameValueList &groups = Street_->GroupNames();
        const int i = groups.IndexOfName(name);
        if (i >= 0)
            active = groups.ValueFromIndex(i) == Cp1251String("ON");
    }
    if (active != Active) {
        Active = active;
        Points.SetChanged(true);
    }
}

void TAbstractItem::SetComment(const Cp1251String &text) {
    Comment_ = text;
    NotifyModified();
}

void TAbstractItem::SetComment2(const Cp1251String &text) {
    Comment2_ = text;
    NotifyModified();
}

Cp1251String TAbstractItem::GetCaption() const {
    Cp1251String out = Comment_;
    if (!Comment2_.Empty()) {
        out += Cp1251String("<<");
        out += Comment2_;
        out += Cp1251String(">>");
    }
    return out;
}

TAbstractItem *TAbstractItem::GetReferAxis() const {
    if (ReferAxis.Count() > 0 && ReferAxis.Items(0))
        return ReferAxis.Items(0);
    return Street_ ? Street_->GetMainAxis() : nullptr;
}

void TAbstractItem::SetReferAxis(TAbstractItem *axis) {
    ReferAxis.Put(0, axis);
    Points.SetChanged(true);
}

Cp1251String TAbstractItem::GetReferAxisName() const {
    const TAbstractItem *axis = GetReferAxis();
    return axis ? axis->GetItemName() : Cp1251String("nil");
}

// ---- Cloning

TAbstractItem *TAbstractItem::CloneTo(TStreetStructure &target, const TXYZ &from, const TXYZ &to) const {
    TMemoryStream record;
    {
        TFlagGuard noPoints(SkipPointsInRecord_, true);
        SaveToStream(record);
    }
    TItemList &list = target.Lists(GetTypeCode());
    TAbstractItem *copy = list.AddNew();
    try {
        record.Seek(0, TSeekOrigin::Begin);
        copy->LoadFromStreamKeepId(record);
        for (const TStreetPointRec *r : Points.Refs())
            copy->Points.InsertNewPoint(copy->Points.Count(), r->Position());
    } catch (...) {
        list.Delete(copy);
        throw;
    }
    // The record had no vertices on purpose: what its reader concluded from that does not hold.
    copy->Invalid = false;
    copy->Points.StoreRelative(from);
    copy->Points.MoveRelative(to);
    copy->Points.ClearRelative();
    // The copy refers to what the original refers to, looked up in the target street.
    for (TConnectedItems *c : copy->OwnContainers_)
        c->Resolve();
    return copy;
}

// ---- Linking

namespace {

bool Holds(const std::vector<TStreetPointRec *> &refs, const TStreetPointRec *r) {
    return std::find(refs.begin(), refs.end(), r) != refs.end();
}

int IndexIn(const std::vector<TStreetPointRec *> &refs, const TStreetPointRec *r) {
    const auto it = std::find(refs.begin(), refs.end(), r);
    return it == refs.end() ? -1 : static_cast<int>(it - refs.begin());
}

bool Neighbours(int a, int b, int n) {
    const int d = std::abs(a - b);
    return d == 1 || (n > 2 && d == n - 1);
}

enum class TJoin { None, AtFirst, AtLast, Outline };

TJoin FindJoin(const TAbstractItem &self, const TAbstractItem *other) {
    if (!other || other == &self || other->GetTypeCode() != self.GetTypeCode())
        return TJoin::None;
    const auto &a = self.Points.Refs();
    const auto &b = other->Points.Refs();
    const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
    const int minCount = std::max(self.MinPointCount(), 1);
    if (n < minCount || m < minCount)
        return TJoin::None;
    if (!self.HasControlPoints() && !self.IsClosed()) {
        for (int i = 1; i + 1 < n; ++i)
            if (Holds(b, a[static_cast<std::size_t>(i)]))
                return TJoin::None;
        auto isEnd = [&b](const TStreetPointRec *r) { return r == b.front() || r == b.back(); };
        if (isEnd(a.front()) && !Holds(b, a.back()))
            return TJoin::AtFirst;
        if (isEnd(a.back()) && !Holds(b, a.front()))
            return TJoin::AtLast;
        return TJoin::None;
    }
    if (self.IsClosed() && !self.HasControlPoints()) {
        std::vector<const TStreetPointRec *> shared;
        for (const TStreetPointRec *r : a)
            if (Holds(b, r) && std::find(shared.begin(), shared.end(), r) == shared.end())
                shared.push_back(r);
        if (shared.size() != 2)
            return TJoin::None;
        if (!Neighbours(IndexIn(a, shared[0]), IndexIn(a, shared[1]), n) ||
            !Neighbours(IndexIn(b, shared[0]), IndexIn(b, shared[1]), m))
            return TJoin::None;
        return TJoin::Outline;
    }
    return TJoin::None;
}

} // namespace

bool TAbstractItem::CanLinkWith(const TAbstractItem *other) const {
    return FindJoin(*this, other) != TJoin::None;
}

void TAbstractItem::LinkWith(TAbstractItem *other) {
    const TJoin join = FindJoin(*this, other);
    if (join == TJoin::None)
        RaiseStreetError("TAbstractItem.LinkWith", "CanLinkWith=FALSE.");
    TPointList &o = other->Points;
    if (join == TJoin::AtFirst) {
        if (o.PointRec(0) == Points.PointRec(0))
            o.Reverse();
        for (int i = o.Count() - 2; i >= 0; --i)
            Points.Insert(0, o.PointRec(i));
    } else if (join == TJoin::AtLast) {
        if (o.PointRec(o.Count() - 1) == Points.PointRec(Points.Count() - 1))
            o.Reverse();
        for (int i = 1; i < o.Count(); ++i)
            Points.Insert(Points.Count(), o.PointRec(i));
    } else {
        const auto &a = Points.Refs();
        const auto &b = o.Refs();
        const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
        int a0 = -1, a1 = -1;
        for (int i = 0; i < n; ++i) {
            if (Holds(b, a[static_cast<std::size_t>(i)])) {
                if (a0 < 0)
                    a0 = i;
                else if (a[static_cast<std::size_t>(i)] != a[static_cast<std::size_t>(a0)]) {
                    a1 = i;
                    break;
                }
            }
        }
        const int b0 = IndexIn(b, a[static_cast<std::size_t>(a0)]);
        const int b1 = IndexIn(b, a[static_cast<std::size_t>(a1)]);
        const bool forwardThis = a1 == a0 + 1 || (a0 == n - 1 && a1 == 0);
        const bool forwardOther = b1 == b0 + 1 || (b0 == m - 1 && b1 == 0);
        std::vector<TStreetPointRec *> walk;
        for (int k = forwardOther ? (b1 + 1) % m : (b1 - 1 + m) % m; k != b0;
             k = forwardOther ? (k + 1) % m : (k - 1 + m) % m)
            walk.push_back(b[static_cast<std::size_t>(k)]);
        int at = forwardThis ? a1 : a1 + 1;
        for (TStreetPointRec *r : walk) {
            const int before = Points.Count();
            Points.Insert(at, r);
            if (!forwardThis && Points.Count() > before)
                ++at;
        }
    }
    Points.SetChanged(true);
    if (other->List_)
        other->List_->Delete(other);
}
