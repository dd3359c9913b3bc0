#include "objects/Oboch.h"

#include "model/StreetStructure.h"

#include <utility>

D3DCOLOR ObochFillColor(const Cp1251String &surface) {
    static const std::pair<Cp1251String, D3DCOLOR> words[] = {
        {Cp("ус.покрытие"), MakeD3DColor(192, 192, 130, 255)},
        {Cp("а/б"), MakeD3DColor(192, 192, 130, 255)},
        {Cp("гравий"), MakeD3DColor(215, 215, 120, 255)},
        {Cp("щебень"), MakeD3DColor(215, 215, 120, 255)},
        {Cp("трава"), MakeD3DColor(180, 220, 136, 255)},
        {Cp("комб.укр."), MakeD3DColor(250, 200, 120, 255)},
        {Cp("грунт"), MakeD3DColor(225, 225, 100, 255)},
        {Cp("песок"), MakeD3DColor(225, 225, 100, 255)},
        {Cp("неукр."), MakeD3DColor(225, 225, 100, 255)},
    };
    for (const auto &[word, color] : words)
        if (SameText(surface, word))
            return color;
    return TObochItem::DefaultFill;
}

void TObochItem::RebuildGraphics() {
    if (TStreetStructure *street = Street()) {
        TItemBatches &batches = street->TypeBatches(ObochTypeCode);
        if (!batches.empty() && batches[0])
            batches[0]->SetColor(ObochFillColor(Comment2()));
    }
    TPolygonItem::RebuildGraphics();
}

void RegisterObochItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TObochItem>>(ObochTypeCode));
}
