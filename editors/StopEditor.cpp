#include "editors/StopEditor.h"

#include "engine/Cp1251Qt.h"
#include "engine/NumText.h"
#include "objects/StopItem.h"

#include <functional>

namespace {

const QString StopCategory = QStringLiteral("Остановка");
const QString HasPavilion = QStringLiteral("Есть"), NoPavilion = QStringLiteral("Нет");
const QString Unknown = QStringLiteral("-1.0"), UnknownSide = QStringLiteral("???");

TStopItem *AsStop(TAbstractItem &item) {
    return dynamic_cast<TStopItem *>(&item);
}

const std::vector<Cp1251String> &ReportColumns() {
    static const std::vector<Cp1251String> columns{
        Cp("Ось"),      Cp("Сторона"),           Cp("Начало"),          Cp("Конец"),
        Cp("Название"), Cp("Кол-во павильонов"), Cp("Расстояние от ПЧ"), Cp("Маршруты"),
        Cp("Площадь пос.пл."), Cp("Площадь кармана"), Cp("Примечание")};
    return columns;
}

TItemLineSpec StopLine(const char *name, const QString &caption, TLineValidity validity) {
    TItemLineSpec spec;
    spec.Name = name;
    spec.Category = StopCategory;
    spec.Caption = caption;
    spec.OfClass = [](const TAbstractItem &i) { return dynamic_cast<const TStopItem *>(&i) != nullptr; };
    spec.Validity = validity;
    return spec;
}

// A value of the focused stop, of the kind the getter gives (a number or a text).
template <class V> std::function<TFieldValue(TAbstractItem &)> StopValue(std::function<V(TStopItem &)> get) {
    return [get](TAbstractItem &i) -> TFieldValue {
        TStopItem *stop = AsStop(i);
        return stop != nullptr ? TFieldValue(get(*stop)) : TFieldValue{};
    };
}

// A figure of one stop in "%<width>.1f"; red when it is the "-1.0" of a figure that could not be found.
TItemLineSpec FigureLine(const char *name, const QString &caption, std::function<double(TStopItem &)> get,
                         int width = 3) {
    TItemLineSpec spec = StopLine(name, caption, TLineValidity::ExactlyOne);
    spec.Get = StopValue<double>(std::move(get));
    spec.Format = [width](const TFieldValue &v) {
        const double *x = std::get_if<double>(&v);
        return x != nullptr ? StopFigureText(*x, width) : QString();
    };
    spec.Unreliable = [get = spec.Get, width](TAbstractItem &i) {
        const TFieldValue v = get(i);
        const double *x = std::get_if<double>(&v);
        return x != nullptr && StopFigureText(*x, width).trimmed() == Unknown;
    };
    return spec;
}

// A size of the pavilion, edited on the focused stop and offered to the others.
TItemLineSpec SizeLine(const char *name, const QString &caption, const QString &dialog,
                       float (TStopItem::*get)() const, void (TStopItem::*set)(float)) {
    TItemLineSpec spec = FigureLine(name, caption, [get](TStopItem &s) { return double((s.*get)()); });
    spec.Unreliable = {};
    spec.Click = TClickKind::EditSingle;
    spec.DialogCaption = [dialog](TAbstractItem &) { return dialog; };
    spec.Question = TApplyQuestion::AfterOkOrCancel;
    spec.Set = [set](TAbstractItem &i, const TFieldValue &v) {
        TStopItem *stop = AsStop(i);
        if (const double *x = std::get_if<double>(&v); stop != nullptr && x != nullptr)
            (stop->*set)(float(*x));
    };
    return spec;
}

TItemLineSpec TextLine(const char *name, const QString &caption, const QString &dialog,
                       const Cp1251String &(TStopItem::*get)() const, void (TStopItem::*set)(const Cp1251String &)) {
    TItemLineSpec spec = StopLine(name, caption, TLineValidity::ExactlyOne);
    spec.Get = StopValue<Cp1251String>([get](TStopItem &s) { return (s.*get)(); });
    spec.Click = TClickKind::EditString;
    spec.DialogCaption = [dialog](TAbstractItem &) { return dialog; };
    spec.Set = [set](TAbstractItem &i, const TFieldValue &v) {
        TStopItem *stop = AsStop(i);
        if (const Cp1251String *t = std::get_if<Cp1251String>(&v); stop != nullptr && t != nullptr)
            (stop->*set)(*t);
    };
    return spec;
}

Cp1251String CellText(double value, int width) {
    return FromQString(StopFigureText(value, width));
}

} // namespace

QString StopFigureText(double value, int width) {
    return QString::fromStdString(FormatFixed(value, 1)).rightJustified(width, QLatin1Char(' '));
}

TStopEditorModule::TStopEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("StopEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    TInfoStringAction **lineSlots[] = {&NameInfo,     &RootsInfo,      &HasPavInfo, &LengthInfo,
                                   &WidthInfo,    &SqInfo,         &DistanceRWInfo, &AxSideInfo,
                                   &AxStartInfo,  &AxFinInfo,      &KarmanSqInfo,   &OwnTrotSqInfo};
    for (std::size_t i = 0; i < specs.size(); ++i)
        MakeInfoFromRow(this, InfoRowOf(specs[i], lineSlots[i]));
    MakeActionFromRow(this, StopCategory,
                      {.Name = "SaveReport",
                       .Image = "Report",
                       .Execute = [] { ShowItemReport(ReportSpec()); },
                       .Slot = &SaveReport});
}

bool TStopEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TStopItem>(selection);
}

std::vector<TItemLineSpec> TStopEditorModule::LineSpecs() {
    TItemLineSpec name = TextLine("NameInfo", QStringLiteral("Название"), QStringLiteral("Название остановки"),
                                  &TStopItem::Name, &TStopItem::SetName);
    TItemLineSpec routes = TextLine("RootsInfo", QStringLiteral("Маршруты"), QStringLiteral("Маршруты"),
                                    &TStopItem::Routes, &TStopItem::SetRoutes);

    TItemLineSpec pavilion = StopLine("HasPavInfo", QStringLiteral("Павильон"), TLineValidity::ExactlyOne);
    pavilion.Get = StopValue<Cp1251String>(
        [](TStopItem &s) { return FromQString(s.Pavilion() == 1 ? HasPavilion : NoPavilion); });
    pavilion.Click = TClickKind::SelectString;
    pavilion.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Наличие павильона"); };
    pavilion.Choices = [](TAbstractItem &) { return QStringList{HasPavilion, NoPavilion}; };
    pavilion.Set = [](TAbstractItem &i, const TFieldValue &v) {
        TStopItem *stop = AsStop(i);
        if (const Cp1251String *t = std::get_if<Cp1251String>(&v); stop != nullptr && t != nullptr)
            stop->SetPavilion(ToQString(*t) == HasPavilion ? 1 : 0);
    };

    TItemLineSpec length = SizeLine("LengthInfo", QStringLiteral("Длина"), QStringLiteral("Длина павильона"),
                                    &TStopItem::Length, &TStopItem::SetLength);
    TItemLineSpec width = SizeLine("WidthInfo", QStringLiteral("Ширина"), QStringLiteral("Ширина павильона"),
                                   &TStopItem::Width, &TStopItem::SetWidth);

    TItemLineSpec area = StopLine("SqInfo", QStringLiteral("Площадь павильона(-ов)"), TLineValidity::AllOfClass);
    area.Summary = [](std::span<TAbstractItem *const> s, QColor &) {
        double sum = 0;
        for (TAbstractItem *i : s)
            if (TStopItem *stop = AsStop(*i))
                sum += double(stop->Width()) * stop->Length();
        return StopFigureText(sum);
    };

    TItemLineSpec distance = FigureLine("DistanceRWInfo", QStringLiteral("Расстояние от ПЧ"),
                                        [](TStopItem &s) { return double(s.RoadWayDistance()); });
    TItemLineSpec side = StopLine("AxSideInfo", QStringLiteral("Сторона"), TLineValidity::ExactlyOne);
    side.Get = StopValue<Cp1251String>([](TStopItem &s) { return s.GetAxisSideName(); });
    side.Unreliable = [](TAbstractItem &i) {
        TStopItem *stop = AsStop(i);
        return stop != nullptr && ToQString(stop->GetAxisSideName()) == UnknownSide;
    };
    TItemLineSpec start = FigureLine("AxStartInfo", QStringLiteral("Начало"),
                                     [](TStopItem &s) { return double(s.AxisStart()); });
    TItemLineSpec end =
        FigureLine("AxFinInfo", QStringLiteral("Конец"), [](TStopItem &s) { return double(s.AxisEnd()); });
    TItemLineSpec bay = FigureLine(
        "KarmanSqInfo", QStringLiteral("Площадь кармана"), [](TStopItem &s) { return s.BusBayArea(); }, 4);

    // Compared as shown: platforms that differ below the shown decimal count as equal.
    TItemLineSpec platform = SizeLine("OwnTrotSqInfo", QStringLiteral("Площадь площадки"),
                                      QStringLiteral("Площадь посадочной площадки"), &TStopItem::PlatformArea,
                                      &TStopItem::SetPlatformArea);
    platform.Validity = TLineValidity::AllOfClass;
    platform.Summary = [](std::span<TAbstractItem *const> s, QColor &colour) {
        TStopItem *focused = s.empty() ? nullptr : AsStop(*s.front());
        if (focused == nullptr)
            return QString();
        const QString text = StopFigureText(focused->PlatformArea());
        for (TAbstractItem *i : s.subspan(1))
            if (TStopItem *stop = AsStop(*i); stop != nullptr && StopFigureText(stop->PlatformArea()) != text) {
                colour = DifferentColour;
                return QStringLiteral("***");
            }
        return text;
    };
    return {name, routes, pavilion, length, width, area, distance, side, start, end, bay, platform};
}

TReportSpec TStopEditorModule::ReportSpec() {
    return {QStringLiteral("Таблица остановок"), ReportColumns(),
            [](TAbstractItem &i) { return AsStop(i) != nullptr && i.Active; },
            [](TAbstractItem &i) {
                TStopItem &stop = *AsStop(i);
                const float distance = stop.RoadWayDistance();
                const Cp1251String note =
                    i.GetCaption() + Cp1251String(";") +
                    Cp("Sп ") + CellText(double(stop.Width()) * stop.Length(), 3);
                return std::vector<Cp1251String>{
                    i.GetReferAxisName(),
                    stop.GetAxisSideName(),
                    MeasureText(stop.AxisStart()),
                    MeasureText(stop.AxisEnd()),
                    stop.Name(),
                    Cp1251String(stop.Pavilion() == 1 ? "1" : "0"),
                    distance == -1 ? Cp1251String() : CellText(distance, 2),
                    stop.Routes(),
                    CellText(stop.PlatformArea(), 2),
                    MeasureText(stop.BusBayArea()),
                    note};
            }};
}
