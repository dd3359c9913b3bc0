#include "editors/SurfaceEditors.h"

#include "engine/Cp1251Qt.h"
#include "model/ItemSetRules.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"
#include "objects/Gazon.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"

#include <cmath>

const TItemTypeSet MeasurableTypes{RazdPolTypeCode, RoadWayTypeCode,      TrotuarTypeCode,  GazonTypeCode,
                                   ObochTypeCode,   DesignFigureTypeCode, CalcAreaTypeCode, SqDefectTypeCode};
const TItemTypeSet PolygonReportTypes{RazdPolTypeCode, ObochTypeCode, CalcAreaTypeCode};

namespace {

const QString EditorCategory = QStringLiteral("Редактор");

Cp1251String TextOf(const TFieldValue &v) {
    const Cp1251String *s = std::get_if<Cp1251String>(&v);
    return s != nullptr ? *s : Cp1251String();
}

// A text field of one class: its getter and setter through the class.
template <class T>
TItemLineSpec TextLine(const char *name, const QString &category, const QString &caption,
                       const QColor &colour, const QString &dialog, const Cp1251String &(T::*get)() const,
                       void (T::*set)(const Cp1251String &)) {
    TItemLineSpec spec;
    spec.Name = name;
    spec.Category = category;
    spec.Caption = caption;
    spec.TextColor = colour;
    spec.Get = [get](TAbstractItem &i) -> TFieldValue {
        const T *t = dynamic_cast<const T *>(&i);
        return t != nullptr ? TFieldValue((t->*get)()) : TFieldValue{};
    };
    spec.OfClass = [](const TAbstractItem &i) { return dynamic_cast<const T *>(&i) != nullptr; };
    spec.Validity = TLineValidity::AllOfClass;
    spec.Click = TClickKind::EditString;
    spec.DialogCaption = [dialog](TAbstractItem &) { return dialog; };
    spec.Question = TApplyQuestion::AfterOkOrCancel;
    spec.Set = [set](TAbstractItem &i, const TFieldValue &v) {
        if (T *t = dynamic_cast<T *>(&i))
            (t->*set)(TextOf(v));
    };
    return spec;
}

struct TMeasuredRow {
    Cp1251String Axis, Side, Start, End, Length, StartWidth, EndWidth;
    TPolygonItem::TAxisMeasures Measures;
};

TMeasuredRow Measure(TAbstractItem &item) {
    TMeasuredRow r;
    r.Axis = item.GetReferAxisName();
    auto *polygon = dynamic_cast<TPolygonItem *>(&item);
    if (polygon != nullptr)
        polygon->GetAxisMeasures(r.Measures);
    const TPolygonItem::TAxisMeasures &m = r.Measures;
    r.Side = m.SideName;
    r.Start = MeasureText(m.StartStation);
    r.End = MeasureText(m.EndStation);
    r.Length = MeasureText(m.Length);
    r.StartWidth = MeasureText(m.StartWidth);
    r.EndWidth = MeasureText(m.EndWidth);
    return r;
}

// The polygon's own area (not the measured one).
Cp1251String OwnArea(TAbstractItem &item) {
    auto *polygon = dynamic_cast<TPolygonItem *>(&item);
    return polygon != nullptr ? AreaText(polygon->Area(), polygon->AreaReliable()) : Cp1251String();
}

const std::vector<Cp1251String> &AreaColumns() {
    static const std::vector<Cp1251String> columns{Cp("Ось"),         Cp("Сторона"),  Cp("Нач. по оси"),
                                                   Cp("Кон. по оси"), Cp("Длина"),    Cp("Ширина нач."),
                                                   Cp("Ширина кон."), Cp("Площадь"),  Cp("Тип покрытия"),
                                                   Cp1251String(),    Cp1251String(), Cp("Примечание")};
    return columns;
}

const std::vector<Cp1251String> &WalkColumns() {
    static const std::vector<Cp1251String> columns{
        Cp("Ось"),         Cp("Сторона"),     Cp("Нач. по оси"), Cp("Кон. по оси"),  Cp("Длина"),
        Cp("Ширина нач."), Cp("Ширина кон."), Cp("Площадь"),     Cp("Тип покрытия"), Cp("Примечание")};
    return columns;
}

bool FirstMeasurable(std::span<TAbstractItem *const> s) {
    return !s.empty() && MeasurableTypes.Contains(s.front()->GetTypeCode());
}

// The passport category and material lines of a surface class that has both.
template <class T>
std::vector<TItemLineSpec> SurfaceLines(const char *categoryName, const QString &category,
                                        const QString &categoryDialog, const QString &materialDialog) {
    return {TextLine<T>(categoryName, category, QStringLiteral("Категория пасп."), Fuchsia, categoryDialog,
                        &T::PasspCategory, &T::SetPasspCategory),
            TextLine<T>("MaterialInfo", category, QStringLiteral("Материал"), QColor(Qt::black),
                        materialDialog, &T::Material, &T::SetMaterial)};
}

// A module's lines, each into its slot, and its one report action.
void MakeParts(QObject *owner, const std::vector<TItemLineSpec> &specs,
               std::initializer_list<TInfoStringAction **> lineSlots, const TActionRow &report) {
    std::size_t i = 0;
    for (TInfoStringAction **slot : lineSlots) {
        MakeInfoFromRow(owner, InfoRowOf(specs[i], slot));
        ++i;
    }
    MakeActionFromRow(owner, EditorCategory, report);
}

TActionRow ReportRow(const char *name, const QString &hint, TReportSpec (*spec)(), TFloatingAction **slot,
                     TRule enabled = {}) {
    return {.Name = name,
            .Hint = hint,
            .Image = "Report",
            .Enabled = std::move(enabled),
            .Execute = [spec] { ShowItemReport(spec()); },
            .Slot = slot};
}

} // namespace

Cp1251String AreaText(double area, bool reliable) {
    const Cp1251String text = MeasureText(area);
    return reliable || text.Empty() ? text : text + Cp1251String("?");
}

// ---- Road ways

TRoadWayEditorModule::TRoadWayEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("RoadWayEditorModule"));
    MakeParts(
        this, LineSpecs(), {&PaspCategoryInfo, &MaterialInfo},
        ReportRow("AreaReport", QStringLiteral("Таблица площадных объектов"), &AreaReportSpec, &AreaReport));
}

bool TRoadWayEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TRoadWayItem>(selection);
}

std::vector<TItemLineSpec> TRoadWayEditorModule::LineSpecs() {
    return SurfaceLines<TRoadWayItem>("PaspCategoryInfo", QStringLiteral("ПЧ"),
                                      QStringLiteral("ПЧ:категория паспортизации"),
                                      QStringLiteral("Материал ПЧ"));
}

TReportSpec TRoadWayEditorModule::AreaReportSpec() {
    return {QStringLiteral("Таблица площадных объектов"), AreaColumns(),
            [](TAbstractItem &i) { return dynamic_cast<TRoadWayItem *>(&i) != nullptr; },
            [](TAbstractItem &i) {
                auto &road = dynamic_cast<TRoadWayItem &>(i);
                const TMeasuredRow r = Measure(i);
                return std::vector<Cp1251String>{
                    r.Axis,          r.Side,
                    r.Start,         r.End,
                    r.Length,        r.StartWidth,
                    r.EndWidth,      AreaText(r.Measures.Area, r.Measures.AreaReliable),
                    road.Material(), Cp1251String(),
                    Cp1251String(),  JoinNote(road.PasspCategory(), i.GetCaption())};
            }};
}

// ---- Sidewalks

TTrotuarEditorModule::TTrotuarEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("TrotuarEditorModule"));
    MakeParts(this, LineSpecs(), {&PasspCategoryInfo, &MaterialInfo},
              ReportRow("Report", QStringLiteral("Таблица тротуаров"), &ReportSpec, &Report));
}

bool TTrotuarEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TTrotuarItem>(selection);
}

std::vector<TItemLineSpec> TTrotuarEditorModule::LineSpecs() {
    // The Latin "r" of the category caption is the system's own.
    return SurfaceLines<TTrotuarItem>("PasspCategoryInfo", QStringLiteral("Тротуар"),
                                      QStringLiteral("Тротуар:rатегория паспортизации"),
                                      QStringLiteral("Материал тротуара"));
}

TReportSpec TTrotuarEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица тротуаров"), WalkColumns(),
            [](TAbstractItem &i) { return dynamic_cast<TTrotuarItem *>(&i) != nullptr; },
            [](TAbstractItem &i) {
                auto &walk = dynamic_cast<TTrotuarItem &>(i);
                const TMeasuredRow r = Measure(i);
                return std::vector<Cp1251String>{
                    r.Axis,          r.Side,
                    r.Start,         r.End,
                    r.Length,        r.StartWidth,
                    r.EndWidth,      OwnArea(i),
                    walk.Material(), JoinNote(walk.PasspCategory(), i.GetCaption())};
            }};
}

// ---- Lawns

TGazonEditorModule::TGazonEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("GazonEditorModule"));
    MakeParts(this, {}, {}, ReportRow("Report", QStringLiteral("Таблица газонов"), &ReportSpec, &Report));
}

bool TGazonEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TGazonItem>(selection);
}

TReportSpec TGazonEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица газонов"), WalkColumns(),
            [](TAbstractItem &i) { return dynamic_cast<TGazonItem *>(&i) != nullptr; },
            [](TAbstractItem &i) {
                const TMeasuredRow r = Measure(i);
                return std::vector<Cp1251String>{r.Axis,         r.Side,        r.Start,    r.End,
                                                 r.Length,       r.StartWidth,  r.EndWidth, OwnArea(i),
                                                 Cp1251String(), i.GetCaption()};
            }};
}

// ---- Any measurable polygon

TPolygonEditorModule::TPolygonEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("PolygonEditorModule"));
    MakeParts(this, LineSpecs(), {&AreaSq, &AreaSumSq},
              ReportRow("AreaReport", QStringLiteral("Таблица площадных объектов"), &AreaReportSpec,
                        &AreaReport, [] { return AreaReportEnabled(EditorSelection()); }));
}

bool TPolygonEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TPolygonItem>(selection) && AllSelectedOfOneType(selection);
}

std::vector<TItemLineSpec> TPolygonEditorModule::LineSpecs() {
    TItemLineSpec area;
    area.Name = "AreaSq";
    area.Category = QStringLiteral("Площадной элемент");
    area.Caption = QStringLiteral("Площадь");
    area.TextColor = Olive;
    area.ValidIf = FirstMeasurable;
    // Each selected polygon has its own area: the line shows the focused one's.
    area.Summary = [](std::span<TAbstractItem *const> s, QColor &colour) {
        auto *p = s.empty() ? nullptr : dynamic_cast<TPolygonItem *>(s.front());
        if (p == nullptr)
            return QString();
        if (!p->AreaReliable())
            colour = UndefinedColour;
        return ToQString(MeasureText(p->Area()));
    };
    TItemLineSpec sum = area;
    sum.Name = "AreaSumSq";
    sum.Caption = QStringLiteral("Площадь общ.");
    sum.ValidIf = [](std::span<TAbstractItem *const> s) { return s.size() > 1 && FirstMeasurable(s); };
    sum.Summary = [](std::span<TAbstractItem *const> s, QColor &colour) {
        double total = 0;
        for (TAbstractItem *i : s)
            if (auto *p = dynamic_cast<TPolygonItem *>(i)) {
                total += p->Area();
                if (!p->AreaReliable())
                    colour = UndefinedColour;
            }
        return ToQString(MeasureText(total));
    };
    return {area, sum};
}

bool TPolygonEditorModule::AreaReportEnabled(std::span<TAbstractItem *const> selection) {
    return !selection.empty() && PolygonReportTypes.Contains(selection.front()->GetTypeCode()) &&
           AllOfOneType(selection);
}

TReportSpec TPolygonEditorModule::AreaReportSpec() {
    return {QStringLiteral("Таблица площадных объектов"), AreaColumns(),
            [](TAbstractItem &i) { return dynamic_cast<TPolygonItem *>(&i) != nullptr; },
            [](TAbstractItem &i) {
                const TMeasuredRow r = Measure(i);
                return std::vector<Cp1251String>{
                    r.Axis,         r.Side,
                    r.Start,        r.End,
                    r.Length,       r.StartWidth,
                    r.EndWidth,     AreaText(r.Measures.Area, r.Measures.AreaReliable),
                    Cp1251String(), Cp1251String(),
                    Cp1251String(), i.GetCaption()};
            }};
}
