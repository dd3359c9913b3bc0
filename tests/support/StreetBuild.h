#pragma once
// Streets built and round-tripped in memory through the model itself, for tests of what lies on top of
// it (the file format's own fixtures are in StreetBytes.h).
#include "engine/Streams.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace sptest {

// An item of the type with new vertices at the points (in the street's pool).
inline TAbstractItem *MakeItem(TStreetStructure &s, int code, std::initializer_list<TXYZ> points) {
    TAbstractItem *item = s.Lists(code).AddNew();
    for (const TXYZ &p : points)
        item->Points.InsertNewPoint(item->Points.Count(), p);
    return item;
}

// An item of the type on existing vertices.
inline TAbstractItem *MakeItemOn(TStreetStructure &s, int code,
                                 std::initializer_list<TStreetPointRec *> recs) {
    TAbstractItem *item = s.Lists(code).AddNew();
    for (TStreetPointRec *r : recs)
        item->Points.Insert(item->Points.Count(), r);
    return item;
}

inline std::vector<uint8_t> SaveBytes(TStreetStructure &street) {
    TMemoryStream m;
    street.SaveToStream(m);
    return m.Bytes();
}

// name: the file name that errors give.
inline std::unique_ptr<TStreetStructure> LoadBytes(const std::vector<uint8_t> &bytes,
                                                   const std::string &name = {}) {
    TMemoryStream m(bytes, name);
    return LoadStreetStream(m);
}

} // namespace sptest
