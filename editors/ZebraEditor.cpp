#include "editors/ZebraEditor.h"

#include "engine/Cp1251Qt.h"
#include "model/ItemTypeCodes.h"
#include "objects/ZebraItem.h"

#include <cmath>
#include <limits>

namespace {

const QString ZebraCategory = QStringLiteral("Зебра");
const QString Yes = QStringLiteral("Да"), No = QStringLiteral("Нет");

bool IsZebra(const TAbstractItem &i) {
    return dynamic_cast<const TZebraItem *>(&i) != nullptr;
}

} // namespace

TZebraEditorModule::TZebraEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("ZebraEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    MakeInfoFromRow(this, InfoRowOf(specs[0], &ZebraWidthAction));
    MakeInfoFromRow(this, InfoRowOf(specs[1], &ZebraBkgAction));
}

bool TZebraEditorModule::CheckContext(const IContextSelection &selection) {
    TItemTypeSet zebras;
    zebras.Include(ZebraTypeCode);
    return FocusedIsA<TZebraItem>(selection) && selection.SelectedTypes() == zebras;
}

std::vector<TItemLineSpec> TZebraEditorModule::LineSpecs() {
    TItemLineSpec width;
    width.Name = "ZebraWidthAction";
    width.Category = ZebraCategory;
    width.Caption = QStringLiteral("Ширина зебры");
    width.Get = [](TAbstractItem &i) -> TFieldValue {
        const auto *z = dynamic_cast<const TZebraItem *>(&i);
        return z != nullptr ? TFieldValue(double(z->Width)) : TFieldValue{};
    };
    width.Format = [](const TFieldValue &v) {
        const double *x = std::get_if<double>(&v);
        return x != nullptr ? QString::asprintf("%3.1f", *x) : QString();
    };
    width.CompareShown = true;
    width.OfClass = IsZebra;
    width.Click = TClickKind::EditSingle;
    width.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Ширина зебры"); };
    width.Question = TApplyQuestion::AfterOkOrCancel;
    // A negative width would paint negative areas (the editor reads only finite singles).
    width.Refuse = [](const TFieldValue &v) {
        const double *x = std::get_if<double>(&v);
        const bool good =
            x != nullptr && std::isfinite(*x) && *x >= 0 && *x <= double(std::numeric_limits<float>::max());
        return good ? QString() : QStringLiteral("Недопустимая ширина зебры.");
    };
    width.Set = [](TAbstractItem &i, const TFieldValue &v) {
        auto *z = dynamic_cast<TZebraItem *>(&i);
        const double *x = std::get_if<double>(&v);
        if (z != nullptr && x != nullptr)
            z->Width = static_cast<float>(*x);
    };

    TItemLineSpec background;
    background.Name = "ZebraBkgAction";
    background.Category = ZebraCategory;
    background.Caption = QStringLiteral("Желтый фон");
    background.Get = [](TAbstractItem &i) -> TFieldValue {
        const auto *z = dynamic_cast<const TZebraItem *>(&i);
        if (z == nullptr)
            return {};
        return FromQString(z->YellowBackground != 0 ? Yes : No);
    };
    background.OfClass = IsZebra;
    background.Validity = TLineValidity::AllOfClass;
    background.Click = TClickKind::SelectString;
    background.Choices = [](TAbstractItem &) { return QStringList{No, Yes}; };
    background.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Жёлтый фон"); };
    background.Question = TApplyQuestion::AfterOk;
    background.QuestionText = QStringLiteral("Установить для остальных выбранных ? ");
    background.Set = [](TAbstractItem &i, const TFieldValue &v) {
        auto *z = dynamic_cast<TZebraItem *>(&i);
        const Cp1251String *t = std::get_if<Cp1251String>(&v);
        if (z != nullptr && t != nullptr)
            z->YellowBackground = ToQString(*t) == Yes ? 1 : 0;
    };
    return {width, background};
}
