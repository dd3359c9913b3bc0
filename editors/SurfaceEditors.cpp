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

} // namespace

Cp1251String AreaText(double area, bool reliable) {
    const Cp1251String text = MeasureText(area);
    return reliable || text.Empty() ? text : text + Cp1251String("?");
}

// ---- Road ways

TRoadWayEditorModule::TRoadWayEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("RoadWayEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    MakeInfoFromRow(this, InfoRowOf(specs[0], &PaspCategoryInfo));
    MakeInfoFromRow(this, InfoRowOf(specs[1], &MaterialInfo));
    const TActionRow actions[] = {{.Name = "AreaReport",
                                   .Hint = QStringLiteral("Таблица площадных объектов"),
                                   .Image = "Report",
                                   .Execute = [] { ShowItemReport(AreaReportSpec()); },
                                   .Slot = &AreaReport}};
    MakeActionsFromRows(this, EditorCategory, actions);
}

bool TRoadWayEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TRoadWayItem>(selection);
}

std::vector<TItemLineSpec> TRoadWayEditorModule::LineSpecs() {
    return {TextLine<TRoadWayItem>("PaspCategoryInfo", QStringLiteral("ПЧ"),
                                   QStringLiteral("Категория пасп."), Fuchsia,
                                   QStringLiteral("ПЧ:категория паспортизации"), &TRoadWayItem::PasspCategory,
                                   &TRoadWayItem::SetPasspCategory),
            TextLine<TRoadWayItem>("MaterialInfo", QStringLiteral("ПЧ"), QStringLiteral("Материал"),
                                   QColor(Qt::black), QStringLiteral("Материал ПЧ"), &TRoadWayItem::Material,
                                   &TRoadWayItem::SetMaterial)};
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
    const std::vector<TItemLineSpec> specs = LineSpecs();
    MakeInfoFromRow(this, InfoRowOf(specs[0], &PasspCategoryInfo));
    MakeInfoFromRow(this, InfoRowOf(specs[1], &MaterialInfo));
    const TActionRow actions[] = {{.Name = "Report",
                                   .Hint = QStringLiteral("Таблица тротуаров"),
                                   .Image = "Report",
                                   .Execute = [] { ShowItemReport(ReportSpec()); },
                                   .Slot = &Report}};
    MakeActionsFromRows(this, EditorCategory, actions);
}

bool TTrotuarEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TTrotuarItem>(selection);
}

std::vector<TItemLineSpec> TTrotuarEditorModule::LineSpecs() {
    // The Latin "r" of the category caption is the system's own.
    return {TextLine<TTrotuarItem>("PasspCategoryInfo", QStringLiteral("Тротуар"),
                                   QStringLiteral("Категория пасп."), Fuchsia,
                                   QStringLiteral("Тротуар:rатегория паспортизации"),
                                   &TTrotuarItem::PasspCategory, &TTrotuarItem::SetPasspCategory),
            TextLine<TTrotuarItem>("MaterialInfo", QStringLiteral("Тротуар"), QStringLiteral("Материал"),
                                   QColor(Qt::black), QStringLiteral("Материал тротуара"),
                                   &TTrotuarItem::Material, &TTrotuarItem::SetMaterial)};
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
    const TActionRow actions[] = {{.Name = "Report",
                                   .Hint = QStringLiteral("Таблица газонов"),
                                   .Image = "Report",
                                   .Execute = [] { ShowItemReport(ReportSpec()); },
                                   .Slot = &Report}};
    MakeActionsFromRows(this, EditorCategory, actions);
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
    const std::vector<TItemLineSpec> specs = LineSpecs();
    MakeInfoFromRow(this, InfoRowOf(specs[0], &AreaSq));
    MakeInfoFromRow(this, InfoRowOf(specs[1], &AreaSumSq));
    const TActionRow actions[] = {{.Name = "AreaReport",
                                   .Hint = QStringLiteral("Таблица площадных объектов"),
                                   .Image = "Report",
                                   .Enabled = [] { return AreaReportEnabled(EditorSelection()); },
                                   .Execute = [] { ShowItemReport(AreaReportSpec()); },
                                   .Slot = &AreaReport}};
    MakeActionsFromRows(this, EditorCategory, actions);
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
