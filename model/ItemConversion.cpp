#include "model/ItemConversion.h"

#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"

#include <string>

void CopyConvertedAttributes(const TAbstractItem &from, TAbstractItem &to) {
    // Through the stored form, so that the new list refers to the same point records as the old one.
    TMemoryStream points;
    from.Points.SaveToStream(points);
    points.Seek(0, TSeekOrigin::Begin);
    to.Points.LoadFromStream(points);
    to.SetGroupName(from.GroupName());
    to.SetComment(from.Comment());
    to.SetComment2(from.Comment2());
}

std::vector<TAbstractItem *> ReplaceWithType(TStreetStructure &street, std::span<TAbstractItem *const> items,
                                             int typeCode) {
    if (!street.Lists(typeCode).ItemClass())
        RaiseStreetError("ReplaceWithType", "no class for type " + std::to_string(typeCode));
    std::vector<TAbstractItem *> made;
    TConnectedItems &selection = street.Selection();
    for (TAbstractItem *old : items) {
        TAbstractItem *item = street.Lists(typeCode).AddNew();
        CopyConvertedAttributes(*old, *item);
        if (const int at = selection.IndexOf(old); at >= 0) {
            selection.AddItem(item);
            selection.Move(item, at);
        }
        TAbstractItem *const gone[] = {old};
        street.DeleteItems(gone);
        made.push_back(item);
    }
    return made;
}
