// Item fragments: the in-process copy buffer of copy and paste. A fragment holds the copied items with
// every vertex they use, so it pastes into any street; pasting reads it into a temporary street and merges
// that into the target, which renumbers every pasted vertex and item.
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ConnectedItems.h"
#include "model/ItemList.h"
#include "model/PointStructure.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>
#include <unordered_set>

namespace {

constexpr int FragmentPointSize = 16; // x, y, z singles and the id
constexpr int MinItemRecordSize = 20;

} // namespace

void TConnectedItems::SaveIndependent(TStream &stream) const {
    std::vector<TStreetPointRec *> points;
    CollectPoints(points);
    WriteStreamTag(stream, "ITMSINDP");
    WriteStreamTag(stream, "PNTCOORD");
    stream.WriteInt32(static_cast<int32_t>(points.size()));
    for (const TStreetPointRec *r : points) {
        stream.WriteSingle(r->X());
        stream.WriteSingle(r->Y());
        stream.WriteSingle(r->Z());
        stream.WriteInt32(r->Id());
    }
    WriteStreamTag(stream, "ITEMS   ");
    const int32_t m = static_cast<int32_t>(
        std::count_if(Slots_.begin(), Slots_.end(), [](const TAbstractItem *p) { return p != nullptr; }));
    stream.WriteInt32(m);
    for (const TAbstractItem *item : Slots_)
        if (item)
            item->SaveToStream(stream);
}

void TConnectedItems::LoadIndependent(TStream &stream, TStreetStructure &target, bool sameStreet) {
    const char *what = "TConnectedItems.LoadIndependent";
    TStreetStructure temp;
    // Pasted line markings bind to the target's records by their codes (a target without records of its
    // own lends none, and is not given the default table by a paste).
    if (!target.LnParams().empty())
        temp.SetLnRazmetParams(target.LnParams());

    if (!CheckStreamTag(stream, "ITMSINDP"))
        stream.Fail(what, "Ident<>ITMSINDP");
    if (!CheckStreamTag(stream, "PNTCOORD"))
        stream.Fail(what, "Ident<>PNTCOORD");
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, FragmentPointSize, what);
    std::unordered_set<int32_t> ids;
    ids.reserve(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        TXYZ p;
        p.x = stream.ReadSingle(what);
        p.y = stream.ReadSingle(what);
        p.z = stream.ReadSingle(what);
        const int32_t id = stream.ReadInt32(what);
        if (id <= 0 || !ids.insert(id).second) {
            stream.Seek(-4, TSeekOrigin::Current);
            stream.Fail(what, id <= 0 ? "point id " + std::to_string(id) + " is not positive"
                                      : "duplicate point id " + std::to_string(id));
        }
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            stream.Seek(-16, TSeekOrigin::Current);
            stream.Fail(what, "point id " + std::to_string(id) + " has a coordinate that is not a number");
        }
        TStreetPointRec *rec = temp.Pool().NewPoint();
        rec->SetPosition(p);
        rec->SetId(id);
    }
    if (!CheckStreamTag(stream, "ITEMS   "))
        stream.Fail(what, "Ident<>ITEMS   ");
    const int32_t m = stream.ReadInt32(what);
    stream.CheckCount(m, MinItemRecordSize, what);
    std::vector<TAbstractItem *> pasted;
    pasted.reserve(static_cast<std::size_t>(m));
    for (int32_t k = 0; k < m; ++k) {
        const int code = TAbstractItem::TagFromStream(stream);
        TItemList &list = temp.Lists(code);
        if (!list.ItemClass())
            stream.Fail(what, "type " + std::to_string(code) + " (" + ItemTypeIdent(code).Bytes() +
                                  ") has no registered item class");
        TAbstractItem *item = list.AddNew();
        item->LoadFromStream(stream);
        // Records with too few vertices are dropped, as the street reader drops them.
        if (item->Invalid) {
            list.Delete(item);
            continue;
        }
        pasted.push_back(item);
    }
    if (stream.Remaining() > 0)
        stream.Fail(what, "unexpected data after the last item of the fragment");

    // Vertices no pasted item uses (a dropped record's, or stray ones) do not come along.
    temp.Pool().RemoveUnowned();
    target.Merge(temp, sameStreet);
    for (TAbstractItem *item : pasted)
        AddItem(item);
}
