// The marking types whose figures the calculation areas read: each type's reader and the arrow library.
#include "objects/CalcAreaItem.h"

#include "objects/ArrowRazmetItem.h"
#include "objects/OstrovokItem.h"
#include "objects/RazmetStopItem.h"
#include "objects/RazmetText.h"
#include "objects/ZebraItem.h"

namespace {

template <class T>
bool Read(TAbstractItem &item, TCalcMarkingFigures &f, void (*fill)(T &, TCalcMarkingFigures &)) {
    auto *t = dynamic_cast<T *>(&item);
    if (!t)
        return false;
    fill(*t, f);
    return true;
}

template <class T> void Connect(int code, void (*fill)(T &, TCalcMarkingFigures &)) {
    SetCalcMarkingReader(code,
                         [fill](TAbstractItem &item, TCalcMarkingFigures &f) { return Read(item, f, fill); });
}

const Cp1251String &GlyphProblem() {
    static const Cp1251String s =
        Cp("площадь глифов неизвестна: файл глифов не прочитан или в нем нет глифа");
    return s;
}

Cp1251String IslandProblem(TOstrovokItem::TPaintDoubt why) {
    using D = TOstrovokItem::TPaintDoubt;
    switch (why) {
    case D::FewVertices:
        return Cp("площадь окраски островка неизвестна: меньше трех вершин");
    case D::NotFinite:
        return Cp("площадь окраски островка неизвестна: координаты не числа");
    case D::DegenerateFrame:
        return Cp("площадь окраски островка неизвестна: вырожденная ось, сторона или шаблон штриховки");
    case D::StepLimit:
        return Cp("площадь окраски островка неизвестна: штриховка длиннее предела шагов");
    case D::NoNoseHatch:
        return Cp("площадь окраски островка неизвестна: схема не штрихуется от носа");
    case D::IncompleteFill:
        return Cp("площадь окраски островка неизвестна: неполная триангуляция");
    case D::None:
        break;
    }
    return {};
}

Cp1251String CrossingProblem(TZebraItem::TPaintDoubt why) {
    using D = TZebraItem::TPaintDoubt;
    switch (why) {
    case D::FewVertices:
        return Cp("площадь окраски перехода неизвестна: меньше двух вершин");
    case D::NotFinite:
        return Cp("площадь окраски перехода неизвестна: координаты не числа");
    case D::NoDirection:
        return Cp(
            "площадь окраски перехода неизвестна: линия перехода или его последняя сторона нулевой длины");
    case D::StepLimit:
        return Cp("площадь окраски перехода неизвестна: переход длиннее предела шагов");
    case D::None:
        break;
    }
    return {};
}

} // namespace

void ConnectCalcAreaSources() {
    Connect<TArrowRazmetItem>(ArrowRazmetTypeCode, [](TArrowRazmetItem &a, TCalcMarkingFigures &f) {
        if (a.ArrowIndex() >= 0)
            f.ArrowSymbol = a.ArrowIndex();
    });
    Connect<TOstrovokItem>(OstrovokTypeCode, [](TOstrovokItem &o, TCalcMarkingFigures &f) {
        f.Variant = o.GostVariant();
        f.PaintArea = o.GetPaintArea();
        if (!f.PaintArea)
            f.Problem = IslandProblem(o.GetPaintDoubt());
    });
    Connect<TRazmetStopItem>(RazmetStopTypeCode, [](TRazmetStopItem &s, TCalcMarkingFigures &f) {
        f.MarkingLength = s.GetMarkingLength();
        f.PaintArea = s.GetPaintArea();
    });
    Connect<TZebraItem>(ZebraTypeCode, [](TZebraItem &z, TCalcMarkingFigures &f) {
        f.Width = z.Width;
        f.PaintArea = z.GetWhiteArea();
        f.HasYellow = z.YellowBackground != 0;
        f.YellowArea = z.GetYellowArea();
        if (!f.PaintArea || !f.YellowArea)
            f.Problem = CrossingProblem(z.GetPaintDoubt());
    });
    Connect<TRazmetTextItem>(RazmetTextTypeCode, [](TRazmetTextItem &t, TCalcMarkingFigures &f) {
        f.GostNumber = t.GetGostNumber();
        f.PaintArea = t.GetPaintArea();
        f.Problem = GlyphProblem();
    });
    Connect<TRazmetZnakItem>(RazmetZnakTypeCode, [](TRazmetZnakItem &z, TCalcMarkingFigures &f) {
        f.GostNumber = z.GetGostNumber();
        f.PaintArea = z.GetPaintArea();
        f.Problem = GlyphProblem();
    });
    SetCalcArrowDefs([] {
        std::vector<TCalcArrowDef> defs;
        for (const TArrowDef &d : ArrowDefs())
            defs.push_back({d.GostSubName, d.DescriptionLow, d.DescriptionHigh, d.Area1, d.Area2});
        return defs;
    });
}
