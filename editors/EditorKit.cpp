#include "editors/EditorKit.h"

#include "engine/Cp1251Qt.h"
#include "engine/DxRenderer.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "engine/UndefinedValue.h"
#include "model/AbstractItem.h"
#include "model/AxisSpan.h"
#include "model/ItemSetRules.h"
#include "model/StreetStructure.h"
#include "shell/MainForm.h"
#include "shell/MainPlan.h"
#include "shell/StreetTableForm.h"
#include "shell/StreetsHolder.h"
#include "shell/UserPrompts.h"

#include <QCursor>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

// ---- Host

namespace {

TEditorHost &HostSlot() {
    static TEditorHost host;
    return host;
}

} // namespace

TEditorHost EditorHostOf(TMainForm &form) {
    TEditorHost host;
    host.Street = [&form]() -> TStreetStructure * { return form.Holder().FindActiveStreet(); };
    host.Refresh = [&form] { form.RefreshAll(); };
    host.MouseMode = [&form] { return form.MouseMode(); };
    host.SetMouseMode = [&form](TMouseEvents *mode) { form.SetMouseMode(mode); };
    host.ScreenToGround = [&form](int x, int y) {
        if (form.PlanShown())
            return form.MainPlanDrawer().ScreenToGround(x, y);
        TdxRenderer *r = form.ActiveDrawer() != nullptr ? form.ActiveDrawer()->GetRenderer() : nullptr;
        return r != nullptr ? r->ScreenToGround(x, y) : TXYZ{};
    };
    host.PixelSizeAt = [&form](int x, int y) -> double {
        if (form.PlanShown()) {
            const double ppu = form.MainPlanDrawer().PixelsPerUnit();
            return ppu > 0 ? 1 / ppu : 0;
        }
        TdxRenderer *r = form.ActiveDrawer() != nullptr ? form.ActiveDrawer()->GetRenderer() : nullptr;
        return r != nullptr ? r->PixelSizeAt(x, y) : 0;
    };
    host.PopupPosition = [] { return QCursor::pos(); };
    host.WindowParent = [&form]() -> QWidget * { return &form; };
    host.AddDrawListener = [&form](std::function<void(const TDxDrawParams &)> fn) {
        return form.DrawListeners.Add(std::move(fn));
    };
    host.RemoveDrawListener = [&form](uint64_t token) { form.DrawListeners.Remove(token); };
    return host;
}

const TEditorHost &EditorHost() {
    return HostSlot();
}

void SetEditorHost(TEditorHost host) {
    HostSlot() = std::move(host);
}

std::vector<TAbstractItem *> EditorSelection() {
    std::vector<TAbstractItem *> out;
    TStreetStructure *s = HostSlot().Street ? HostSlot().Street() : nullptr;
    if (s != nullptr)
        for (TAbstractItem *i : s->Selection().Slots())
            if (i != nullptr)
                out.push_back(i);
    return out;
}

void EditorRefresh() {
    if (HostSlot().Refresh)
        HostSlot().Refresh();
}

QPoint EditorPopupPosition() {
    return HostSlot().PopupPosition ? HostSlot().PopupPosition() : QPoint();
}

// ---- Context forms

bool AllSelectedOfOneType(const IContextSelection &s) {
    if (s.SelectedCount() == 0)
        return false;
    const TItemTypeSet types = s.SelectedTypes();
    int members = 0;
    for (int c = 0; c < ItemTypeCount; ++c)
        members += types.Contains(c) ? 1 : 0;
    return members == 1;
}

bool AnySelection(const IContextSelection &s) {
    return s.SelectedCount() > 0;
}

// ---- Info lines

bool SameFieldValue(const TFieldValue &a, const TFieldValue &b) {
    if (a.index() != b.index())
        return false;
    if (const double *x = std::get_if<double>(&a)) {
        const double y = std::get<double>(b);
        return *x == y || (std::isnan(*x) && std::isnan(y));
    }
    if (const Cp1251String *x = std::get_if<Cp1251String>(&a))
        return *x == std::get<Cp1251String>(b);
    return true;
}

namespace {

QString FormatValue(const TItemLineSpec &spec, const TFieldValue &v) {
    if (spec.Format)
        return spec.Format(v);
    if (const double *x = std::get_if<double>(&v))
        return ToQString(StationText(*x));
    if (const Cp1251String *t = std::get_if<Cp1251String>(&v))
        return ToQString(*t);
    return QString();
}

} // namespace

TLineText LineText(const TItemLineSpec &spec, std::span<TAbstractItem *const> selection) {
    TLineText out;
    if (spec.Summary) {
        out.Text = spec.Summary(selection, out.Colour);
        return out;
    }
    if (selection.empty() || !spec.Get)
        return out;
    TAbstractItem &focused = *selection.front();
    const TFieldValue value = spec.Get(focused);
    out.Text = FormatValue(spec, value);
    for (std::size_t i = 1; i < selection.size(); ++i)
        if (spec.CompareShown ? FormatValue(spec, spec.Get(*selection[i])) != out.Text
                              : !SameFieldValue(spec.Get(*selection[i]), value)) {
            out.Text = spec.AppendDifferent ? out.Text + QStringLiteral("(***)") : QStringLiteral("***");
            out.Colour = DifferentColour;
            return out;
        }
    if (std::holds_alternative<std::monostate>(value) || (spec.Unreliable && spec.Unreliable(focused)))
        out.Colour = UndefinedColour;
    return out;
}

bool LineValid(const TItemLineSpec &spec, std::span<TAbstractItem *const> selection) {
    bool valid = true;
    switch (spec.Validity) {
    case TLineValidity::Always:
        break;
    case TLineValidity::AllOfClass:
        valid = !selection.empty() && std::all_of(selection.begin(), selection.end(), [&](TAbstractItem *i) {
            return !spec.OfClass || spec.OfClass(*i);
        });
        break;
    case TLineValidity::ExactlyOne:
        valid = selection.size() == 1;
        break;
    }
    return valid && (!spec.ValidIf || spec.ValidIf(selection));
}

TInfoRow InfoRowOf(const TItemLineSpec &spec, TInfoStringAction **slot) {
    TInfoRow row;
    row.Name = spec.Name;
    row.Caption = spec.Caption;
    row.Category = spec.Category;
    row.Text = spec.TextColor;
    row.Valid = [spec] { return LineValid(spec, EditorSelection()); };
    row.Value = [spec](TInfoStringAction &a) {
        const TLineText t = LineText(spec, EditorSelection());
        if (t.Colour.isValid())
            a.TextColor = t.Colour;
        return t.Text;
    };
    if (spec.Click != TClickKind::None || spec.OnClick)
        row.Click = [spec] { EditLine(spec); };
    row.Slot = slot;
    return row;
}

void MakeItemLines(QObject *owner, std::span<const TItemLineSpec> specs) {
    for (const TItemLineSpec &spec : specs)
        MakeInfoFromRow(owner, InfoRowOf(spec));
}

namespace {

QString NumberText(const TFieldValue &v, TClickKind kind) {
    const double *x = std::get_if<double>(&v);
    if (x == nullptr || !std::isfinite(*x))
        return QString();
    switch (kind) {
    case TClickKind::EditInteger:
        return QString::number(static_cast<qlonglong>(*x));
    case TClickKind::EditSingle:
        return QString::fromStdString(SingleToStrRoundTrip(static_cast<float>(*x)));
    default:
        return QString::fromStdString(FloatToStrRoundTrip(*x));
    }
}

// The number typed; nothing (after the system's message) when it is none of the kind.
std::optional<double> ReadNumber(const QString &text, TClickKind kind) {
    const std::string entered = text.trimmed().toStdString();
    double parsed = 0;
    bool good = TryStrToFloat(entered, parsed) && std::isfinite(parsed);
    if (good && kind == TClickKind::EditSingle)
        good = std::fabs(parsed) <= std::numeric_limits<float>::max();
    if (good && kind == TClickKind::EditInteger)
        good = parsed == std::trunc(parsed) && std::fabs(parsed) <= std::numeric_limits<int32_t>::max();
    if (!good) {
        UserPrompts().ShowMessage(TPromptKind::Warning, QStringLiteral("Неверный формат числа."));
        return std::nullopt;
    }
    if (kind == TClickKind::EditSingle)
        parsed = static_cast<float>(parsed);
    return parsed;
}

QColor ColourOf(const TFieldValue &v) {
    const double *x = std::get_if<double>(&v);
    const uint32_t c = x != nullptr && std::isfinite(*x) ? static_cast<uint32_t>(*x) : 0xFF000000u;
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// Asks the value of the focused item's line; true with chosen set on Ok.
bool AskValue(const TItemLineSpec &spec, TAbstractItem &focused, TFieldValue &chosen) {
    const TFieldValue current = spec.Get ? spec.Get(focused) : TFieldValue{};
    const QString caption = spec.DialogCaption ? spec.DialogCaption(focused) : spec.Caption;
    const QPoint pos = EditorPopupPosition();
    switch (spec.Click) {
    case TClickKind::EditString: {
        const Cp1251String *t = std::get_if<Cp1251String>(&current);
        QString text = t != nullptr ? ToQString(*t) : QString();
        Cp1251String typed;
        if (!UserPrompts().EditString(caption, pos, text) || !UserTextToCp1251(text, typed))
            return false;
        chosen = typed;
        return true;
    }
    case TClickKind::EditFloat:
    case TClickKind::EditSingle:
    case TClickKind::EditInteger: {
        QString text = NumberText(current, spec.Click);
        if (!UserPrompts().EditString(caption, pos, text))
            return false;
        const std::optional<double> number = ReadNumber(text, spec.Click);
        if (!number)
            return false;
        if (spec.NonNegative && *number < 0) {
            UserPrompts().ShowMessage(TPromptKind::Warning,
                                      QStringLiteral("Значение не может быть отрицательным."));
            return false;
        }
        chosen = *number;
        return true;
    }
    case TClickKind::SelectString: {
        const QStringList items = spec.Choices ? spec.Choices(focused) : QStringList();
        const Cp1251String *t = std::get_if<Cp1251String>(&current);
        int index = t != nullptr ? int(items.indexOf(ToQString(*t))) : -1;
        Cp1251String picked;
        if (!UserPrompts().SelectString(pos, caption, items, index) || index < 0 || index >= items.size() ||
            !UserTextToCp1251(items[index], picked))
            return false;
        chosen = picked;
        return true;
    }
    case TClickKind::Colour: {
        QColor colour = ColourOf(current);
        const bool ok = UserPrompts().ChooseColor(colour, CustomColours());
        SaveCustomColours();
        if (!ok || !colour.isValid())
            return false;
        chosen = static_cast<double>(
            MakeD3DColor(uint8_t(colour.red()), uint8_t(colour.green()), uint8_t(colour.blue()), 255));
        return true;
    }
    case TClickKind::None:
        break;
    }
    return false;
}

void SetChanged(const TItemLineSpec &spec, TAbstractItem &item, const TFieldValue &value) {
    if (!spec.Set)
        return;
    spec.Set(item, value);
    item.Points.SetChanged(true);
}

} // namespace

void EditLine(const TItemLineSpec &spec) {
    if (spec.OnClick) {
        spec.OnClick();
        return;
    }
    const std::vector<TAbstractItem *> selection = EditorSelection();
    if (selection.empty() || spec.Click == TClickKind::None)
        return;
    TAbstractItem &focused = *selection.front();
    TFieldValue chosen;
    bool ok = AskValue(spec, focused, chosen);
    if (ok && spec.Refuse) {
        const QString refusal = spec.Refuse(chosen);
        if (!refusal.isEmpty()) {
            UserPrompts().ShowMessage(TPromptKind::Warning, refusal);
            ok = false;
        }
    }
    if (ok)
        SetChanged(spec, focused, chosen);
    const bool ask = selection.size() > 1 && (spec.Question == TApplyQuestion::AfterOkOrCancel ||
                                              (spec.Question == TApplyQuestion::AfterOk && ok));
    if (ask && UserPrompts().Ask(TPromptKind::Confirmation, spec.QuestionText, TPromptButtons::YesNo) ==
                   TPromptAnswer::Yes) {
        // After Cancel the others get what the focused item holds, exactly as stored.
        const TFieldValue value = ok ? chosen : (spec.Get ? spec.Get(focused) : TFieldValue{});
        if (!std::holds_alternative<std::monostate>(value))
            for (std::size_t i = 1; i < selection.size(); ++i)
                SetChanged(spec, *selection[i], value);
    }
    EditorRefresh();
}

QString ColourText(D3DCOLOR colour) {
    return QString::asprintf("R %3d; G %3d; B %3d;", int((colour >> 16) & 0xFF), int((colour >> 8) & 0xFF),
                             int(colour & 0xFF));
}

namespace {

const Cp1251String ColoursSection("CustomColors");
const Cp1251String ColoursValue("List");

struct TCustomColourList {
    bool Loaded = false;
    std::vector<QColor> Colours;
};

TCustomColourList &ColourList() {
    static TCustomColourList list;
    return list;
}

} // namespace

std::vector<QColor> &CustomColours() {
    TCustomColourList &list = ColourList();
    if (!list.Loaded) {
        list.Loaded = true;
        // One "ColorX=BBGGRR" entry per custom slot (hexadecimal, blue in the high byte).
        std::vector<Cp1251String> stored;
        try {
            RegReadStrings(ColoursSection, ColoursValue, stored);
        } catch (const std::exception &) {
            stored.clear();
        }
        for (const Cp1251String &entry : stored) {
            const std::string &text = entry.Bytes();
            const std::size_t eq = text.find('=');
            const std::string hex = eq == std::string::npos ? text : text.substr(eq + 1);
            bool good = !hex.empty() && hex.size() <= 6;
            uint32_t bgr = 0;
            for (char ch : hex) {
                const int d = ch >= '0' && ch <= '9'   ? ch - '0'
                              : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                              : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                                       : -1;
                good = good && d >= 0;
                bgr = bgr * 16 + uint32_t(std::max(d, 0));
            }
            if (good)
                list.Colours.push_back(QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF));
        }
    }
    return list.Colours;
}

void SaveCustomColours() {
    std::vector<Cp1251String> out;
    const std::vector<QColor> &colours = CustomColours();
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const QColor &c = colours[i];
        const uint32_t bgr = uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
        char buf[32];
        std::snprintf(buf, sizeof buf, "Color%c=%06X", char('A' + int(i % 26)), unsigned(bgr));
        out.emplace_back(buf);
    }
    try {
        RegWriteStrings(ColoursSection, ColoursValue, out);
    } catch (const std::exception &) {
        // Custom colours that cannot be kept are no reason to fail an edit.
    }
}

// ---- Pick modes

TPickMode::TPickMode(QObject *owner, const char *name, int cursor, TItemTypeSet types, bool onButtonUp)
    : TMouseEvents(owner), types_(types) {
    setObjectName(QString::fromLatin1(name));
    Cursor = cursor;
    auto handler = [this](TMouseEvents *, const TMouseEventArgs &e) {
        if (e.Button == Qt::LeftButton)
            Pick(e);
    };
    (onButtonUp ? OnMouseUp : OnMouseDown) = handler;
    OnDestroy = [](TMouseEvents *self) {
        const TEditorHost &h = EditorHost();
        if (h.MouseMode && h.SetMouseMode && h.MouseMode() == self)
            h.SetMouseMode(nullptr);
    };
}

TPickMode::~TPickMode() = default;

void TPickMode::Enter() {
    const TEditorHost &h = EditorHost();
    previous_ = h.MouseMode ? h.MouseMode() : nullptr;
    if (previous_ == this)
        previous_ = nullptr;
    if (h.SetMouseMode)
        h.SetMouseMode(this);
    EditorRefresh();
}

void TPickMode::Pick(const TMouseEventArgs &e) {
    const TEditorHost &h = EditorHost();
    TStreetStructure *s = h.Street ? h.Street() : nullptr;
    TAbstractItem *found = nullptr;
    if (s != nullptr && h.ScreenToGround) {
        const TXYZ ground = h.ScreenToGround(e.X, e.Y);
        const double pixel = h.PixelSizeAt ? h.PixelSizeAt(e.X, e.Y) : 0;
        found = s->FindNearestItem(ground, types_, 10 * pixel);
    }
    QPointer<TPickMode> self(this);
    if (Picked)
        Picked(found);
    EditorRefresh();
    if (self && h.SetMouseMode && h.MouseMode && h.MouseMode() == this)
        h.SetMouseMode(previous_.data());
}

// ---- Reports

TReportTable MakeItemReport(const TReportSpec &spec, std::span<TAbstractItem *const> items) {
    TReportTable t = TReportTable::WithHeader(spec.Columns);
    for (TAbstractItem *item : items)
        if (!spec.Reports || spec.Reports(*item))
            t.AddRow(spec.Row(*item), ItemRowObject(*item));
    return t;
}

void ShowItemReport(const TReportSpec &spec) {
    const TEditorHost &h = EditorHost();
    TStreetStructure *s = h.Street ? h.Street() : nullptr;
    if (s == nullptr)
        return;
    const std::vector<TAbstractItem *> items = EditorSelection();
    TStreetTableForm::ShowStreetTable(spec.Caption, MakeItemReport(spec, items), *s,
                                      h.WindowParent ? h.WindowParent() : nullptr);
}

Cp1251String MeasureText(double value) {
    // -1 is how measures say "not measured".
    return value == -1 ? Cp1251String() : StationText(value);
}

Cp1251String JoinNote(const Cp1251String &first, const Cp1251String &second) {
    if (!first.Empty() && !second.Empty())
        return first + Cp1251String("; ") + second;
    return first.Empty() ? second : first;
}
