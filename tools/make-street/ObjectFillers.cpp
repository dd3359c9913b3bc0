#include "ObjectFillers.h"

#include "objects/StandInItems.h"
#include "StreetGen.h"

#include "objects/ArrowRazmetItem.h"

#include "objects/BortItem.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "objects/House.h"
#include "objects/Kern.h"
#include "objects/KolodItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/Oboch.h"
#include "objects/OstrovokItem.h"
#include "objects/RegisterObjects.h"
#include "objects/RoadWallItem.h"
#include "objects/RoadWay.h"
#include "objects/RulerItem.h"
#include "objects/TramWayItem.h"
#include "objects/Trotuar.h"
#include "objects/ZebraItem.h"

#include <string>
#include <vector>

namespace {

template <class T> T *As(TAbstractItem &item) {
    return dynamic_cast<T *>(&item);
}

const Cp1251String &Pick(const std::vector<Cp1251String> &words, uint32_t random) {
    return words[random % words.size()];
}

} // namespace

void UseObjectClasses() {
    RegisterObjects();
    RegisterStandInItemClasses();
    static const std::vector<Cp1251String> roadMaterials = {Cp("асфальтобетон"), Cp("цементобетон"),
                                                            Cp("брусчатка")};
    static const std::vector<Cp1251String> walkMaterials = {Cp("асфальт"), Cp("плитка")};
    static const std::vector<Cp1251String> grades = {Cp("БР 100.30.15"), Cp("БР 100.30.18"), Cp("ГП-1"),
                                                     Cp("БР 100.20.8"), Cp("БР 999.99.99")};
    static const std::vector<Cp1251String> shoulders = {Cp("гравий"), Cp("Трава"), Cp("а/б"), Cp("грунт"),
                                                        Cp("неизвестно")};
    SetStreetGenFiller(RoadWayTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *road = As<TRoadWayItem>(item)) {
            road->SetMaterial(Pick(roadMaterials, r));
            if (r % 5 == 0)
                road->SetPasspCategory(Cp("карман ост."));
        }
    });
    SetStreetGenFiller(TrotuarTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *walk = As<TTrotuarItem>(item); walk && r % 4 != 0)
            walk->SetMaterial(Pick(walkMaterials, r));
    });
    SetStreetGenFiller(BortTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *curb = As<TBortItem>(item)) {
            curb->SetKind(Cp("бортовой камень"));
            curb->SetGost(Pick(grades, r / 7));
            if (r % 17 == 0)
                curb->SetComment(Cp("вне границ"));
            if (r % 3 == 0)
                curb->SetWidth(0.1f);
        }
    });
    SetStreetGenFiller(RoadWallTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *fence = As<TRoadWallItem>(item))
            fence->SetKind(static_cast<int32_t>(r % 3));
    });
    SetStreetGenFiller(TramWayTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *tram = As<TTramWayItem>(item); tram && r % 4 == 0)
            tram->SetRutWidth(1.524f);
    });
    SetStreetGenFiller(RulerTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *ruler = As<TRulerItem>(item)) {
            ruler->SetColor(r % 2 ? MakeD3DColor(200, 0, 0, 255) : 0);
            ruler->SetTextFlag(static_cast<uint8_t>(r % 3 == 0));
        }
    });
    // Codes of the default marking table, one that no table has, and mirrored strips: the edge codes' strip
    // lies right of the line, so an edge line with the carriageway on its left is mirrored.
    static const std::vector<Cp1251String> laneCodes = {Cp("1.5"), Cp("1.1"), Cp("1.6"), Cp("1.3"), Cp("1.11"),
                                                        Cp("1.7"), Cp("1.9"), Cp("1.10"), Cp("1.4"), Cp("1.8")};
    static const std::vector<Cp1251String> edgeCodes = {Cp("1.2.1"), Cp("1.2.2")};
    SetStreetGenFiller(LineRazmetTypeCode, [](TAbstractItem &item, uint32_t r) {
        auto *marking = As<TLineRazmetItem>(item);
        if (!marking)
            return;
        const auto place = static_cast<TStreetGenMarkingPlace>(r & 3u);
        const uint32_t pick = r >> 2;
        if (place == TStreetGenMarkingPlace::Lane) {
            marking->SetGost(pick % 13 == 0 ? Cp("9.99") : Pick(laneCodes, pick / 13));
            marking->SetMirror(pick % 5 == 0 ? 1 : 0);
        } else {
            marking->SetGost(Pick(edgeCodes, pick));
            marking->SetMirror(place == TStreetGenMarkingPlace::RoadLeft ? 1 : 0);
        }
    });
    // Arrows take the library's symbols in turn (none when there is no library).
    SetStreetGenFiller(ArrowRazmetTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *arrow = As<TArrowRazmetItem>(item); arrow && !ArrowDefNames().empty())
            arrow->SetArrowIndex(static_cast<int32_t>(r % ArrowDefNames().size()));
    });
    SetStreetGenFiller(ObochTypeCode,
                       [](TAbstractItem &item, uint32_t r) { item.SetComment2(Pick(shoulders, r)); });
    // Design items take the styles of the generated libraries, now and then a name no library holds.
    SetStreetGenFiller(DesignFigureTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *figure = As<TDesignFigureItem>(item)) {
            const std::vector<Cp1251String> names = figure->GetFigDefs()->GetNames();
            if (r % 5 != 0 && !names.empty())
                figure->SetStyleName(Pick(names, r / 5));
            figure->SetFillColor(r % 2 ? 0xFF000000u : 0xFF203040u);
        }
    });
    SetStreetGenFiller(DesignLineTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *line = As<TDesignLineItem>(item)) {
            const std::vector<Cp1251String> names = line->GetLineDefs()->GetNames();
            line->SetColor(0xFF000000u | (r & 0xFFFFFF));
            line->SetWidth(r % 4 == 0 ? 0.0f : 0.3f);
            line->SetStyle(static_cast<int32_t>(r % 3));
            line->SetPeriod(1.5f);
            if (r % 3 == 0 && !names.empty())
                line->SetExtDef(Pick(names, r / 3));
        }
    });
    SetStreetGenFiller(DesignBlockTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *block = As<TDesignBlockItem>(item)) {
            const std::vector<Cp1251String> names = block->GetBlockDefs()->GetNames();
            block->SetBlockName(r % 4 == 0 || names.empty() ? Cp("нет такого") : Pick(names, r));
            block->SetAxis(block->Street()->GetMainAxis());
        }
    });
    SetStreetGenFiller(KernTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *core = As<TKernItem>(item)) {
            if (r % 3 != 0)
                core->SetLabel(Cp("К-") + Cp1251String(std::to_string(r % 100)));
            core->MatName1 = Pick(roadMaterials, r);
            core->MatH1 = 0.05f;
            if (r % 2)
                core->MatName2 = Cp("щебень");
            core->MatH2 = r % 2 ? 0.2f : 0.0f;
        }
    });
    static const std::vector<Cp1251String> owners = {Cp("Водоканал"), Cp("МГТС"), Cp("Мосэнерго")};
    SetStreetGenFiller(KolodTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *manhole = As<TKolodItem>(item); manhole && r % 3 != 0) {
            manhole->SetOwner(Pick(owners, r / 3));
            manhole->SetTextAlign(static_cast<uint8_t>(r % 9));
        }
    });
    SetStreetGenFiller(HouseTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *house = As<THouseItem>(item)) {
            house->SetAddress(Cp("ул. Генерированная, ") + Cp1251String(std::to_string(r % 200 + 1)));
            if (r % 2)
                house->SetAddressSupplement(Cp("корп. 1"));
        }
    });
    // Islands take the schemes their shape is drawn for (a chevron every scheme hatched from the axis and,
    // as in older files, from the nose), some without outline; crossings are narrow or wide, with and
    // without the yellow background.
    SetStreetGenFiller(OstrovokTypeCode, [](TAbstractItem &item, uint32_t r) {
        auto *island = As<TOstrovokItem>(item);
        if (!island)
            return;
        const auto shape = static_cast<TStreetGenIslandShape>(r & 3u);
        const uint32_t pick = r >> 2;
        island->MainPoint = 1;
        if (shape == TStreetGenIslandShape::Comb)
            island->SetGostVariant(3);
        else if (shape == TStreetGenIslandShape::EdgeStripe)
            island->SetGostVariant(4);
        else if (pick % 4 < 3)
            island->SetGostVariant(static_cast<int>(pick % 4));
        else
            island->StandardScheme = 0;
        island->NoOutline = pick % 7 == 0 ? 1 : 0;
    });
    SetStreetGenFiller(ZebraTypeCode, [](TAbstractItem &item, uint32_t r) {
        if (auto *zebra = As<TZebraItem>(item)) {
            zebra->Width = r % 3 == 0 ? 8.0f : 4.0f + float(r % 3);
            zebra->YellowBackground = r % 2 == 0 ? 1 : 0;
        }
    });
}
