#include "objects/Trotuar.h"

#include "model/StreamTags.h"
#include "objects/CurbStrips.h"

namespace {

constexpr TCurbStripRules Rules{true};

} // namespace

void TTrotuarItem::LoadFromStream(TStream &stream) {
    const char *what = "TTrotuarItem.LoadFromStream";
    TPolygonItem::LoadFromStream(stream);
    Cp1251String material, category;
    if (CheckStreamTag(stream, "TRMAT   "))
        material = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "TRPASPCT"))
        category = ReadStreamString(stream, what);
    SetMaterial(material);
    SetPasspCategory(category);
}

void TTrotuarItem::SaveToStream(TStream &stream) const {
    TPolygonItem::SaveToStream(stream);
    if (!Material_.Empty()) {
        WriteStreamTag(stream, "TRMAT   ");
        WriteStreamString(stream, Material_);
    }
    if (!PasspCategory_.Empty()) {
        WriteStreamTag(stream, "TRPASPCT");
        WriteStreamString(stream, PasspCategory_);
    }
}

void TTrotuarItem::SetMaterial(const Cp1251String &text) {
    if (text == Material_)
        return;
    Material_ = text;
    NotifyModified();
}

void TTrotuarItem::SetPasspCategory(const Cp1251String &text) {
    if (text == PasspCategory_)
        return;
    PasspCategory_ = text;
    NotifyModified();
}

double TTrotuarItem::EdgeCurbLength(int i) {
    return ::EdgeCurbLength(*this, i, Rules);
}

double TTrotuarItem::CurbLength() {
    return ::CurbLength(*this, Rules);
}

std::optional<double> TTrotuarItem::EdgeCurbArea(int i) {
    return ::EdgeCurbArea(*this, i, Rules);
}

std::optional<double> TTrotuarItem::CurbArea() {
    return ::CurbArea(*this, Rules);
}

void RegisterTrotuarItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TTrotuarItem>>(TrotuarTypeCode));
}
