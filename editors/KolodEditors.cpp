#include "editors/KolodEditors.h"

#include "engine/Cp1251Qt.h"
#include "model/AbstractItem.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/KolodItem.h"
#include "objects/TextLabelItem.h"
#include "shell/ItemsControl.h"
#include "shell/UserPrompts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const QString EditorCategory = QStringLiteral("Редактор");

template <class T> bool AllAre(std::span<TAbstractItem *const> s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](TAbstractItem *i) { return dynamic_cast<T *>(i); });
}

bool AllManholes() {
    return AllAre<TKolodItem>(EditorSelection());
}

TStreetStructure *EditorStreet() {
    const TEditorHost &h = EditorHost();
    return h.Street ? h.Street() : nullptr;
}

Cp1251String Fixed(const char *format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return Cp1251String(buf);
}

// Where point 0 of a manhole or grating lies: on which side of its reference axis and at which station.
struct TAxisPlace {
    Cp1251String Side = Cp1251String("???");
    double Station = 0;
};

TAxisPlace PlaceOnAxis(TAbstractItem &item) {
    TAxisPlace place;
    TAbstractItem *axis = item.GetReferAxis();
    float t = 0, along = 0, offset = 0;
    if (!axis || item.Points.Count() < 1 || !axis->Points.Project(item.Points.GetPoint(0), t, along, offset))
        return place;
    const auto *info = dynamic_cast<const TGuideAxisInfo *>(axis);
    // At offset 0 the item counts as right of the axis.
    if (offset > 0)
        place.Side = info ? info->GetLeftSideName() : DefaultLeftSideName();
    else
        place.Side = info ? info->GetRightSideName() : DefaultRightSideName();
    place.Station = along;
    return place;
}

std::vector<Cp1251String> StructureRow(TAbstractItem &item, const Cp1251String &type,
                                       const Cp1251String &owner) {
    const TAxisPlace place = PlaceOnAxis(item);
    TStreetStructure *street = item.Street();
    std::optional<double> curb;
    if (street && item.Points.Count() > 0)
        curb = CurbDistance(*street, item.Points.GetPoint(0));
    Cp1251String standsOn;
    if (auto *point = dynamic_cast<TPointItem *>(&item))
        if (TPolygonItem *polygon = point->FindContainingPolygon())
            standsOn = polygon->GetDisplayName();
    return {item.GetReferAxisName(),
            place.Side,
            Fixed("%5.1f", place.Station),
            curb ? Fixed("%5.1f", *curb) : Cp1251String(),
            standsOn,
            type,
            owner,
            item.GetCaption()};
}

const std::vector<Cp1251String> &StructureColumns() {
    static const std::vector<Cp1251String> columns{
        Cp("Ось"),    Cp("Сторона"), Cp("По оси"),         Cp("От борта"),
        Cp("На чем"), Cp("Тип"),     Cp("Принадлежность"), Cp("Примечание")};
    return columns;
}

TActionRow ReportRow(TReportSpec (*spec)(), TFloatingAction **slot, TRule enabled) {
    return {.Name = "SaveReport",
            .Image = "Report",
            .Enabled = std::move(enabled),
            .Execute = [spec] { ShowItemReport(spec()); },
            .Slot = slot};
}

} // namespace

std::optional<double> CurbDistance(TStreetStructure &street, const TXYZ &point) {
    static const Cp1251String attribute("KolodRef");
    std::optional<double> best;
    for (const auto &item : street.Lists(AxisTypeCode)) {
        const auto *info = dynamic_cast<const TGuideAxisInfo *>(item.get());
        if (!info || !info->HasAttribute(attribute))
            continue;
        float t = 0, along = 0, offset = 0;
        if (!item->Points.Project(point, t, along, offset))
            continue;
        // Projections beyond either end of the axis do not count.
        if (!(t > 0 && double(t) < double(item->Points.Dense().size())))
            continue;
        const double d = std::fabs(double(offset));
        if (!best || d < *best)
            best = d;
    }
    return best;
}

// ---- Manholes

TKolodEditorModule::TKolodEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("KolodEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    MakeInfoFromRow(this, InfoRowOf(specs[0], &KolodOwnerInfo));
    const TRule firstIsManhole = [] {
        const std::vector<TAbstractItem *> s = EditorSelection();
        return !s.empty() && dynamic_cast<TKolodItem *>(s.front()) != nullptr;
    };
    const TActionRow rows[] = {
        {.Name = "TextAlign",
         .Key = QKeySequence(Qt::CTRL | Qt::Key_T),
         .Image = "TextAlign",
         .Enabled = firstIsManhole,
         .Visible = firstIsManhole,
         .Execute =
             [] {
                 const std::vector<TAbstractItem *> s = EditorSelection();
                 if (auto *k = s.empty() ? nullptr : dynamic_cast<TKolodItem *>(s.front()))
                     k->SetTextAlign(NextTextAlign(k->TextAlign()));
                 EditorRefresh();
             },
         .Slot = &TextAlign},
        {.Name = "OwnerFromText",
         .Hint = QStringLiteral("Ввести принадлежность из текста"),
         .Key = QKeySequence(Qt::Key_2),
         .Image = "OwnerFromText",
         .Enabled =
             [] {
                 const std::vector<TAbstractItem *> s = EditorSelection();
                 return s.size() == 2 && dynamic_cast<TKolodItem *>(s[0]) &&
                        dynamic_cast<TTextLabelItem *>(s[1]);
             },
         .Execute = [] { OwnerFromText(); },
         .Slot = &OwnerFromTextAction},
        {.Name = "AutoOwner",
         .Hint = QStringLiteral("Автоматическое назначение принадлежности"),
         .Image = "AutoOwner",
         .Enabled = AllManholes,
         .Execute = [] { AutoOwner(); },
         .Slot = &AutoOwnerAction},
        {.Name = "Check_Owner",
         .Hint = QStringLiteral("Проверка назначения принадлежности"),
         .Image = "Check_Owner",
         .Enabled = AllManholes,
         .Execute = [] { CheckOwner(); },
         .Slot = &Check_Owner},
        ReportRow(&ReportSpec, &SaveReport, AllManholes),
    };
    MakeActionsFromRows(this, EditorCategory, rows);
}

bool TKolodEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TKolodItem>(selection);
}

std::vector<TItemLineSpec> TKolodEditorModule::LineSpecs() {
    TItemLineSpec owner;
    owner.Name = "KolodOwnerInfo";
    owner.Category = QStringLiteral("Колодец");
    owner.Caption = QStringLiteral("Принадлежность");
    owner.Get = [](TAbstractItem &i) -> TFieldValue {
        const auto *k = dynamic_cast<const TKolodItem *>(&i);
        return k ? TFieldValue(k->Owner()) : TFieldValue{};
    };
    owner.OfClass = [](const TAbstractItem &i) { return dynamic_cast<const TKolodItem *>(&i) != nullptr; };
    owner.Validity = TLineValidity::AllOfClass;
    owner.Click = TClickKind::EditString;
    owner.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Принадлежность колодца"); };
    owner.Question = TApplyQuestion::AfterOkOrCancel;
    owner.Set = [](TAbstractItem &i, const TFieldValue &v) {
        auto *k = dynamic_cast<TKolodItem *>(&i);
        const auto *text = std::get_if<Cp1251String>(&v);
        if (k && text)
            k->SetOwner(*text);
    };
    return {owner};
}

uint8_t TKolodEditorModule::NextTextAlign(uint8_t code) {
    const uint8_t next = code >= 8 ? 0 : uint8_t(code + 1);
    return next == 4 ? 5 : next;
}

void TKolodEditorModule::OwnerFromText() {
    const std::vector<TAbstractItem *> s = EditorSelection();
    auto *manhole = s.size() == 2 ? dynamic_cast<TKolodItem *>(s[0]) : nullptr;
    auto *label = s.size() == 2 ? dynamic_cast<TTextLabelItem *>(s[1]) : nullptr;
    TStreetStructure *street = manhole ? manhole->Street() : nullptr;
    if (!manhole || !label || !street || label->Street() != street)
        return;
    manhole->SetOwner(label->Text());
    // Through the street, so that the selection, the table windows and every reference drop the label.
    TAbstractItem *const gone[] = {label};
    street->DeleteItems(gone);
    EditorRefresh();
}

void TKolodEditorModule::AutoOwner() {
    TStreetStructure *street = EditorStreet();
    if (!street)
        return;
    const TItemTypeSet labels{TextLabelTypeCode};
    for (TAbstractItem *item : EditorSelection()) {
        auto *manhole = dynamic_cast<TKolodItem *>(item);
        if (!manhole || !manhole->Owner().Empty() || manhole->Points.Count() < 1 ||
            manhole->Street() != street)
            continue;
        const TXYZ p = manhole->Points.GetPoint(0);
        auto *nearest = dynamic_cast<TTextLabelItem *>(street->FindNearestItem(p, labels, OwnerSearchRadius));
        if (!nearest || nearest->Points.Count() < 1)
            continue;
        TAbstractItem *const exclusion[] = {nearest};
        TAbstractItem *next = street->FindNearestItem(p, labels, OwnerSearchRadius, exclusion);
        const double d1 = VectorDistance(p, nearest->Points.GetPoint(0));
        const bool clear = !next || next->Points.Count() < 1 ||
                           d1 <= 0.5 * double(VectorDistance(p, next->Points.GetPoint(0)));
        if (!clear)
            continue;
        manhole->SetOwner(nearest->Text());
        street->DeleteItems(exclusion);
    }
    EditorRefresh();
}

void TKolodEditorModule::CheckOwner() {
    TStreetStructure *street = EditorStreet();
    if (!street)
        return;
    TConnectedItems &selection = street->Selection();
    for (int i = selection.Count() - 1; i >= 0; --i) {
        const auto *k = dynamic_cast<const TKolodItem *>(selection.Items(i));
        if (k && !k->Owner().Empty())
            selection.Delete(i);
    }
    const int left = selection.Count();
    if (left > 0) {
        UserPrompts().ShowMessage(TPromptKind::Information,
                                  QStringLiteral("Не назначена принадлежность колодцев. ") +
                                      QString::number(left) + QStringLiteral(" шт."));
        EditorRefresh();
        if (TItemsControlModule *items = TItemsControlModule::Instance())
            items->ShowSelection();
    } else {
        UserPrompts().ShowMessage(TPromptKind::Information,
                                  QStringLiteral("Принадлежность колодцев назначена."));
        EditorRefresh();
    }
}

TReportSpec TKolodEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица колодцев"), StructureColumns(),
            [](TAbstractItem &i) { return i.Active && dynamic_cast<TKolodItem *>(&i) != nullptr; },
            [](TAbstractItem &i) { return StructureRow(i, Cp("С"), dynamic_cast<TKolodItem &>(i).Owner()); }};
}

// ---- Gratings

TReshetEditorModule::TReshetEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("ReshetEditorModule"));
    MakeActionFromRow(this, EditorCategory, ReportRow(&ReportSpec, &SaveReport, [] {
                          return AllAre<TReshetItem>(EditorSelection());
                      }));
}

bool TReshetEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TReshetItem>(selection);
}

TReportSpec TReshetEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица решеток"), StructureColumns(),
            [](TAbstractItem &i) { return i.Active && dynamic_cast<TReshetItem *>(&i) != nullptr; },
            [](TAbstractItem &i) { return StructureRow(i, Cp("Р"), Cp1251String()); }};
}
