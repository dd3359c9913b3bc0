#include "objects/House.h"

#include "model/StreamTags.h"

void THouseItem::LoadFromStream(TStream &stream) {
    const char *what = "THouseItem.LoadFromStream";
    TPolygonItem::LoadFromStream(stream);
    Cp1251String address, supplement;
    if (CheckStreamTag(stream, "HOUSADDR"))
        address = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "HOUSADST"))
        supplement = ReadStreamString(stream, what);
    SetAddress(address);
    SetAddressSupplement(supplement);
}

void THouseItem::SaveToStream(TStream &stream) const {
    TPolygonItem::SaveToStream(stream);
    WriteStreamTag(stream, "HOUSADDR");
    WriteStreamString(stream, Address_);
    WriteStreamTag(stream, "HOUSADST");
    WriteStreamString(stream, AddressSupplement_);
}

void THouseItem::SetAddress(const Cp1251String &text) {
    if (text == Address_)
        return;
    Address_ = text;
    NotifyModified();
}

void THouseItem::SetAddressSupplement(const Cp1251String &text) {
    if (text == AddressSupplement_)
        return;
    AddressSupplement_ = text;
    NotifyModified();
}

void RegisterHouseItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<THouseItem>>(HouseTypeCode));
}
