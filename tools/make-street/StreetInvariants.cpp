#include "StreetInvariants.h"

#include "model/AbstractItem.h"
#include "objects/OstrovokItem.h"
#include "objects/ZebraItem.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/RazmetLabelPlaceItem.h"
#include "objects/RazmetStopItem.h"

#include <cmath>
#include <optional>
#include <unordered_map>
#include <unordered_set>

std::string CheckStreetInvariants(TStreetStructure &street) {
    std::unordered_set<const TAbstractItem *> items;
    std::unordered_map<const TPointList *, int> lists;
    std::size_t references = 0;
    for (int code = 0; code < ItemTypeCount; ++code) {
        TItemList &list = street.Lists(code);
        std::unordered_set<int32_t> ids;
        for (int i = 0; i < list.Count(); ++i) {
            TAbstractItem *item = list.Items(i);
            const std::string where = "item " + std::to_string(i) + " of type " + std::to_string(code);
            if (item->List() != &list || item->Street() != &street || item->GetTypeCode() != code)
                return where + ": wrong list, street or type";
            if (item->ID() <= 0 || item->ID() > list.MaxId() || !ids.insert(item->ID()).second)
                return where + ": bad id " + std::to_string(item->ID());
            if (list.FindById(item->ID()) != item)
                return where + ": not found by its id";
            if (item->Points.GetPool() != &street.Pool())
                return where + ": point list on another pool";
            items.insert(item);
            lists[&item->Points] = 0;
            for (const TStreetPointRec *r : item->Points.Refs()) {
                if (street.Pool().FindById(r->Id()) != r)
                    return where + ": vertex " + std::to_string(r->Id()) + " is not in the pool";
                ++references;
            }
        }
    }
    std::size_t owners = 0;
    for (int i = 0; i < street.Pool().Count(); ++i) {
        const TStreetPointRec *r = street.Pool().Points(i);
        if (!std::isfinite(r->X()) || !std::isfinite(r->Y()) || !std::isfinite(r->Z()))
            return "vertex " + std::to_string(r->Id()) + " is not finite";
        for (const TPointList *l : r->Owners) {
            auto it = lists.find(l);
            if (it == lists.end())
                return "vertex " + std::to_string(r->Id()) + " names a point list of no item of the street";
            ++owners;
            int uses = 0;
            for (const TStreetPointRec *x : l->Refs())
                uses += x == r;
            int listed = 0;
            for (const TPointList *o : r->Owners)
                listed += o == l;
            if (uses != listed)
                return "vertex " + std::to_string(r->Id()) + " lists a point list " + std::to_string(listed) +
                       " times that uses it " + std::to_string(uses) + " times";
        }
    }
    if (owners != references)
        return "the vertices list " + std::to_string(owners) + " owners for " + std::to_string(references) +
               " uses";
    for (const TConnectedItems *c : street.Registry()) {
        if (c->Street() != &street)
            return "a registered container belongs to another street";
        for (const TAbstractItem *item : c->Slots())
            if (item && !items.contains(item))
                return "a container holds an item that is not in the street";
    }
    for (const TAbstractItem *item : street.Selection().Slots())
        if (item && !items.contains(item))
            return "the selection holds an item that is not in the street";
    return {};
}

std::string CheckPaintFigures(TStreetStructure &street) {
    const auto bad = [](double v) { return !std::isfinite(v) || v < 0; };
    for (const auto &item : street.Lists(OstrovokTypeCode))
        if (auto *island = dynamic_cast<TOstrovokItem *>(item.get()))
            if (const std::optional<double> paint = island->GetPaintArea();
                (paint && bad(*paint)) || bad(island->FillArea) || bad(island->OutlineLength))
                return "island " + std::to_string(island->ID()) + ": paint area " +
                       (paint ? std::to_string(*paint) : std::string("unknown")) + ", fill " +
                       std::to_string(island->FillArea);
    for (const auto &item : street.Lists(ZebraTypeCode))
        if (auto *zebra = dynamic_cast<TZebraItem *>(item.get()))
            if (const std::optional<double> white = zebra->GetWhiteArea(), yellow = zebra->GetYellowArea();
                (white && bad(*white)) || (yellow && bad(*yellow)))
                return "crossing " + std::to_string(zebra->ID()) + ": white " +
                       (white ? std::to_string(*white) : std::string("unknown")) + ", yellow " +
                       (yellow ? std::to_string(*yellow) : std::string("unknown"));
    for (const auto &item : street.Lists(RazmetStopTypeCode))
        if (auto *stop = dynamic_cast<TRazmetStopItem *>(item.get()))
            if (bad(stop->GetMarkingLength()) || bad(stop->GetPaintArea()) || stop->GetMarkingLength() < 4)
                return "stop zone " + std::to_string(stop->ID()) + ": bad paint figure";
    for (const auto &item : street.Lists(ArrowRazmetTypeCode))
        if (auto *arrow = dynamic_cast<TArrowRazmetItem *>(item.get()))
            if (const TArrowDef *def = arrow->Def(); def && (bad(def->Area1) || bad(def->Area2)))
                return "arrow " + std::to_string(arrow->ID()) + ": bad symbol area";
    for (const auto &item : street.Lists(RazmetLabelPlaceTypeCode))
        if (auto *place = dynamic_cast<TRazmetLabelPlaceItem *>(item.get()))
            for (const TLblCashRec &l : place->Labels())
                if (!std::isfinite(l.X) || !std::isfinite(l.Y) || !std::isfinite(l.Offset) ||
                    !std::isfinite(l.Cos))
                    return "label place " + std::to_string(place->ID()) + ": label not finite";
    return {};
}
