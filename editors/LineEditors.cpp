#include "editors/LineEditors.h"

#include "engine/Cp1251Qt.h"
#include "model/AbstractItem.h"
#include "model/AxisSpan.h"
#include "model/ItemSetRules.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/BortItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/TramWayItem.h"

#include <algorithm>
#include <cmath>

namespace {

const QString EditorCategory = QStringLiteral("Редактор");

template <class T> bool IsA(const TAbstractItem &i) {
    return dynamic_cast<const T *>(&i) != nullptr;
}

// Every selected item is a T (and there is one): the handlers check this again before they cast.
template <class T> bool AllSelectedAre() {
    const std::vector<TAbstractItem *> s = EditorSelection();
    return !s.empty() && std::all_of(s.begin(), s.end(), [](TAbstractItem *i) { return IsA<T>(*i); });
}

Cp1251String TextOf(const TFieldValue &v) {
    const Cp1251String *s = std::get_if<Cp1251String>(&v);
    return s != nullptr ? *s : Cp1251String();
}

double NumberOf(const TFieldValue &v) {
    const double *x = std::get_if<double>(&v);
    return x != nullptr ? *x : 0;
}

// A line over a field of T: the value read through T, the line valid when all selected are T.
template <class T>
TItemLineSpec FieldLine(const char *name, const QString &category, const QString &caption,
                        std::function<TFieldValue(T &)> get, std::function<void(T &, const TFieldValue &)> set) {
    TItemLineSpec spec;
    spec.Name = name;
    spec.Category = category;
    spec.Caption = caption;
    spec.Get = [get](TAbstractItem &i) -> TFieldValue {
        T *t = dynamic_cast<T *>(&i);
        return t != nullptr ? get(*t) : TFieldValue{};
    };
    spec.OfClass = IsA<T>;
    spec.Validity = TLineValidity::AllOfClass;
    spec.Set = [set](TAbstractItem &i, const TFieldValue &v) {
        if (T *t = dynamic_cast<T *>(&i))
            set(*t, v);
    };
    return spec;
}

QString Fixed(const char *format, const TFieldValue &v) {
    const double *x = std::get_if<double>(&v);
    return x != nullptr ? QString::asprintf(format, *x) : QString();
}

// A line item's place along its reference axis as report cells: axis, side, start, end, length.
std::vector<Cp1251String> AxisCells(TAbstractItem &item, double length) {
    const TItemAxisPlace place = ItemAxisPlace(item);
    const bool known = place.Span.Known();
    return {item.GetReferAxisName(), place.Side, known ? StationText(place.Span.First) : Cp1251String(),
            known ? StationText(place.Span.Last) : Cp1251String(), StationText(length)};
}

TActionRow ReportRow(const char *name, const QString &hint, TReportSpec (*spec)(), TFloatingAction **slot,
                     TRule rule) {
    return {.Name = name,
            .Hint = hint,
            .Image = "Report",
            .Enabled = rule,
            .Visible = rule,
            .Execute = [spec] { ShowItemReport(spec()); },
            .Slot = slot};
}

} // namespace

// ---- Curbs

TBortEditorModule::TBortEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("BortEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    TInfoStringAction **lineSlots[] = {&BortKind, &BortGost, &BortColor, &BortDrawWidth};
    for (std::size_t i = 0; i < specs.size(); ++i)
        MakeInfoFromRow(this, InfoRowOf(specs[i], lineSlots[i]));
    TActionRow report = ReportRow("SaveReport", QStringLiteral("Таблица борта"), &ReportSpec, &SaveReport,
                                  &AllSelectedAre<TBortItem>);
    // Shown with any selection of the module, offered only over curbs alone.
    report.Visible = {};
    MakeActionFromRow(this, EditorCategory, report);
}

bool TBortEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TBortItem>(selection);
}

std::vector<TItemLineSpec> TBortEditorModule::LineSpecs() {
    const QString category = QStringLiteral("Борт");
    TItemLineSpec kind = FieldLine<TBortItem>(
        "BortKind", category, QStringLiteral("Тип борта"), [](TBortItem &b) { return TFieldValue(b.Kind()); },
        [](TBortItem &b, const TFieldValue &v) { b.SetKind(TextOf(v)); });
    kind.Click = TClickKind::EditString;
    kind.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Тип борта"); };
    kind.Question = TApplyQuestion::AfterOkOrCancel;

    TItemLineSpec gost = FieldLine<TBortItem>(
        "BortGost", category, QStringLiteral("Марка"), [](TBortItem &b) { return TFieldValue(b.Gost()); },
        [](TBortItem &b, const TFieldValue &v) { b.SetGost(TextOf(v)); });
    gost.Click = TClickKind::EditString;
    gost.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Марка борта"); };

    TItemLineSpec colour = FieldLine<TBortItem>(
        "BortColor", category, QStringLiteral("Цвет"),
        [](TBortItem &b) { return TFieldValue(static_cast<double>(b.Color())); },
        [](TBortItem &b, const TFieldValue &v) { b.SetColor(static_cast<D3DCOLOR>(NumberOf(v))); });
    colour.Format = [](const TFieldValue &v) { return ColourText(static_cast<D3DCOLOR>(NumberOf(v))); };
    colour.Click = TClickKind::Colour;

    TItemLineSpec width = FieldLine<TBortItem>(
        "BortDrawWidth", category, QStringLiteral("Ширина нарисовки"),
        [](TBortItem &b) { return TFieldValue(double(b.Width())); },
        [](TBortItem &b, const TFieldValue &v) { b.SetWidth(static_cast<float>(NumberOf(v))); });
    width.Format = [](const TFieldValue &v) { return Fixed("%2.2f", v); };
    // The width is kept as a single: the dialog shows it as one.
    width.Click = TClickKind::EditSingle;
    width.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Ширина нарисовки борта"); };
    width.NonNegative = true;
    return {kind, gost, colour, width};
}

Cp1251String BortNote(TAbstractItem &bort) {
    Cp1251String note = bort.Comment();
    if (!note.Empty())
        note = note + Cp1251String(";");
    const TItemTypeSet bordering = bort.Points.GetAllEdgeNeighbourTypes();
    TItemTypeSet shown;
    for (int code : {RoadWayTypeCode, TrotuarTypeCode, GazonTypeCode})
        if (bordering.Contains(code))
            shown.Include(code);
    std::string names = TypeSetToShortNames(shown).Bytes();
    if (!names.empty() && names.back() == ';')
        names.pop_back();
    note = note + Cp1251String(names);
    if (!bort.Comment2().Empty())
        note = note + Cp1251String("<<") + bort.Comment2() + Cp1251String(">>");
    return note;
}

TReportSpec TBortEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица борта"),
            {Cp("Ось"), Cp("Сторона"), Cp("Начало"), Cp("Конец"), Cp("Длина"), Cp("Тип"), Cp("Марка"),
             Cp("Площадь в плане"), Cp("Примечание")},
            [](TAbstractItem &i) { return IsA<TBortItem>(i) && i.Active; },
            [](TAbstractItem &i) {
                auto &bort = dynamic_cast<TBortItem &>(i);
                const double length = bort.Points.DenseLength();
                std::vector<Cp1251String> row = AxisCells(i, length);
                row.push_back(bort.Kind());
                row.push_back(bort.Gost());
                // The width of the curb's grade; an unknown one leaves the area unknown, not 0.
                const std::optional<float> width = bort.GetWidthByKind();
                row.push_back(width ? StationText(double(*width) * length) : Cp1251String());
                row.push_back(BortNote(i));
                return row;
            }};
}

// ---- Line markings

TLineRazmetEditorModule::TLineRazmetEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("LineRazmetEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    MakeInfoFromRow(this, InfoRowOf(specs[0], &GostInfo));
    const TItemLineSpec gost = specs[0];
    const TRule markings = &AllSelectedAre<TLineRazmetItem>;
    const TActionRow actions[] = {
        {.Name = "GostName",
         .Hint = QStringLiteral("ГОСТ разметки"),
         .Key = QKeySequence(Qt::Key_E),
         .Enabled = markings,
         .Visible = markings,
         .Execute = [gost] { EditLine(gost); },
         .Slot = &GostName},
        {.Name = "Mirror",
         .Hint = QStringLiteral("Зеркальное отражение"),
         .Enabled = [] { return EditorSelection().size() == 1 && AllSelectedAre<TLineRazmetItem>(); },
         .Visible = markings,
         .Execute =
             [] {
                 const std::vector<TAbstractItem *> s = EditorSelection();
                 auto *marking = s.size() == 1 ? dynamic_cast<TLineRazmetItem *>(s.front()) : nullptr;
                 if (marking == nullptr)
                     return;
                 marking->SetMirror(marking->Mirror() != 0 ? 0 : 1);
                 marking->Points.SetChanged(true);
                 EditorRefresh();
             },
         .Slot = &Mirror},
        ReportRow("LnRazmetRep", QStringLiteral("Таблица"), &ReportSpec, &LnRazmetRep, markings),
    };
    MakeActionsFromRows(this, EditorCategory, actions);
}

bool TLineRazmetEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TLineRazmetItem>(selection);
}

QStringList TLineRazmetEditorModule::GostNames() {
    const TEditorHost &h = EditorHost();
    TStreetStructure *street = h.Street ? h.Street() : nullptr;
    QStringList names;
    if (street != nullptr)
        for (const TLnParamRec &rec : street->GetLnRazmetParams())
            names << ToQString(rec.Name);
    return names;
}

std::vector<TItemLineSpec> TLineRazmetEditorModule::LineSpecs() {
    TItemLineSpec gost = FieldLine<TLineRazmetItem>(
        "GostInfo", QStringLiteral("Разметка"), QStringLiteral("ГОСТ"),
        [](TLineRazmetItem &m) { return TFieldValue(m.Gost()); },
        [](TLineRazmetItem &m, const TFieldValue &v) { m.SetGost(TextOf(v)); });
    gost.Unreliable = [](TAbstractItem &i) {
        auto *m = dynamic_cast<TLineRazmetItem *>(&i);
        return m != nullptr && m->Gost().Empty();
    };
    gost.Click = TClickKind::SelectString;
    gost.DialogCaption = [](TAbstractItem &) { return QStringLiteral("ГОСТ разметки"); };
    gost.Choices = [](TAbstractItem &) { return GostNames(); };
    return {gost};
}

TReportSpec TLineRazmetEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица линий разметки"),
            {Cp("Ось"), Cp("Сторона"), Cp("Начало"), Cp("Конец"), Cp("Длина"), Cp("Тип линии"),
             Cp("Примечание")},
            [](TAbstractItem &i) { return IsA<TLineRazmetItem>(i) && i.Active; },
            [](TAbstractItem &i) {
                auto &marking = dynamic_cast<TLineRazmetItem &>(i);
                std::vector<Cp1251String> row = AxisCells(i, marking.Points.DenseLength());
                row.push_back(marking.Gost());
                row.push_back(i.GetCaption());
                return row;
            }};
}

// ---- Tram lines

TTramWayEditorDataModule::TTramWayEditorDataModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("TramWayEditorDataModule"));
    MakeInfoFromRow(this, InfoRowOf(LineSpecs()[0], &TramWidthAction));
}

bool TTramWayEditorDataModule::CheckContext(const IContextSelection &selection) {
    return selection.SelectedCount() > 0 && selection.CurrentItemType() == TramWayTypeCode;
}

std::vector<TItemLineSpec> TTramWayEditorDataModule::LineSpecs() {
    TItemLineSpec width = FieldLine<TTramWayItem>(
        "TramWidthAction", QStringLiteral("Info"), QStringLiteral("Ширина"),
        [](TTramWayItem &t) { return TFieldValue(double(t.GetRutWidth())); },
        [](TTramWayItem &t, const TFieldValue &v) { t.SetRutWidth(static_cast<float>(NumberOf(v))); });
    width.Format = [](const TFieldValue &v) { return Fixed("%1.2f", v); };
    width.CompareShown = true;
    width.Click = TClickKind::EditSingle;
    width.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Ширина путей"); };
    width.NonNegative = true;
    return {width};
}
