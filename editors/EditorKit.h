#pragma once
// The kit every item editor module is built from. A module is a TContextDataModule whose class applies to
// the selection in one of three forms (the focused item is of a class; all selected are of one type; any
// selection). It describes its info lines as TItemLineSpec rows: what the value is on one item, how it is
// shown and compared, when the line holds, and how a click edits it. The kit turns each row into the
// shell's info-line row, so that every line shows the focused item's value, "***" in grey when another
// selected item differs, and red when the value is undefined, and every click edits the focused item and
// offers the value to the other selected items in the same way.
//
// Modules reach the window only through TEditorHost, so they run headless in tests.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/Cp1251.h"
#include "engine/DX_Shell.h"
#include "engine/DxVertex.h"
#include "model/ItemTypes.h"
#include "shell/ReportTable.h"

#include <optional>
#include <span>
#include <variant>
#endif
#include "shell/ContextModules.h"
#include "shell/ModuleRows.h"
#include "shell/MouseEvents.h"

#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;
class TAbstractItem;
struct TDxDrawParams;
class TMainForm;
class TStreetStructure;

// ---- What modules need of the window

struct TEditorHost {
    // The active street (nullptr when none is open).
    std::function<TStreetStructure *()> Street{};
    std::function<void()> Refresh{};
    std::function<TMouseEvents *()> MouseMode{};
    std::function<void(TMouseEvents *)> SetMouseMode{};
    // The ground point under a view pixel, and the ground size of one pixel there.
    std::function<TXYZ(int x, int y)> ScreenToGround{};
    std::function<double(int x, int y)> PixelSizeAt{};
    // Where dialogs and menus open (the mouse pointer on the screen).
    std::function<QPoint()> PopupPosition{};
    // The parent of table windows.
    std::function<QWidget *()> WindowParent{};
    // A listener of every drawing of the views (after the street); the token takes it away again.
    std::function<uint64_t(std::function<void(const TDxDrawParams &)>)> AddDrawListener{};
    std::function<void(uint64_t)> RemoveDrawListener{};
};
TEditorHost EditorHostOf(TMainForm &form);
// The host the modules use; an empty host (no street) until one is set.
const TEditorHost &EditorHost();
void SetEditorHost(TEditorHost host);

// The active street's selected items in order (the focused one first); empty without a street.
std::vector<TAbstractItem *> EditorSelection();
void EditorRefresh();
QPoint EditorPopupPosition();

// ---- The three forms of CheckContext

// The focused item exists and is a T (or derives from it).
template <class T> bool FocusedIsA(const IContextSelection &s) {
    return dynamic_cast<T *>(s.CurrentItem()) != nullptr;
}
// The selection is not empty and every selected item has one type code.
bool AllSelectedOfOneType(const IContextSelection &s);
bool AnySelection(const IContextSelection &s);

// ---- Info lines

// A value as stored: none (undefined on that item), a number, or a text.
using TFieldValue = std::variant<std::monostate, double, Cp1251String>;
// Numbers equal by value (a NaN equals a NaN: one item never differs from itself); texts exactly.
bool SameFieldValue(const TFieldValue &a, const TFieldValue &b);

enum class TLineValidity { Always, AllOfClass, ExactlyOne };
enum class TClickKind { None, EditString, EditFloat, EditSingle, EditInteger, SelectString, Colour };
enum class TApplyQuestion { None, AfterOk, AfterOkOrCancel };

// The colours of the pattern.
inline const QColor DifferentColour = QColor(128, 128, 128);
inline const QColor UndefinedColour = QColor(255, 0, 0);
inline const QColor Teal = QColor(0, 128, 128), Fuchsia = QColor(255, 0, 255), Olive = QColor(128, 128, 0);

inline const QString ApplyToOthersQuestion = QStringLiteral("Установить для остальных выбранных ?");

struct TItemLineSpec {
    const char *Name = nullptr;
    QString Category{}, Caption{};
    QColor TextColor = QColor(Qt::black);
    // The value on one item (monostate: undefined there).
    std::function<TFieldValue(TAbstractItem &)> Get{};
    // The shown text of a defined value; numbers default to "%5.1f", texts are shown as they are.
    std::function<QString(const TFieldValue &)> Format{};
    // The class the line edits (AllOfClass holds when every selected item passes).
    std::function<bool(const TAbstractItem &)> OfClass{};
    TLineValidity Validity = TLineValidity::Always;
    // Shows "(***)" after the focused value instead of replacing it when the selected differ.
    bool AppendDifferent = false;
    // The selected differ only when their shown texts do (numbers equal to the shown digits agree).
    bool CompareShown = false;
    // The focused value is defined but not to be trusted (shown in red).
    std::function<bool(TAbstractItem &)> Unreliable{};
    // A sum or count over the selection instead of the focused value (no comparison); sets red itself
    // through the colour when a part of it is not to be trusted.
    std::function<QString(std::span<TAbstractItem *const>, QColor &colour)> Summary{};
    // A further condition (the sum lines: more than one selected).
    std::function<bool(std::span<TAbstractItem *const>)> ValidIf{};

    TClickKind Click = TClickKind::None;
    // The dialog's caption, from the focused item.
    std::function<QString(TAbstractItem &)> DialogCaption{};
    TApplyQuestion Question = TApplyQuestion::AfterOk;
    // The question's text where a line words it its own way.
    QString QuestionText = ApplyToOthersQuestion;
    // Stores the value on one item.
    std::function<void(TAbstractItem &, const TFieldValue &)> Set{};
    // A number typed below 0 is refused with a message (as Cancel).
    bool NonNegative = false;
    // The entries of a SelectString click.
    std::function<QStringList(TAbstractItem &)> Choices{};
    // A click of its own (the kinds above ignored).
    std::function<void()> OnClick{};
    // The message refusing a value that was read (empty: taken); a refused value counts as Cancel.
    std::function<QString(const TFieldValue &)> Refuse{};
};

// What the line shows for the selection, with the colour it takes (invalid: the line's own).
struct TLineText {
    QString Text{};
    QColor Colour{};
};
TLineText LineText(const TItemLineSpec &spec, std::span<TAbstractItem *const> selection);
bool LineValid(const TItemLineSpec &spec, std::span<TAbstractItem *const> selection);
// The shell's row for the line, reading the editor selection.
TInfoRow InfoRowOf(const TItemLineSpec &spec, TInfoStringAction **slot = nullptr);
void MakeItemLines(QObject *owner, std::span<const TItemLineSpec> specs);

// The edit of a click: the focused item's value in the dialog; Ok sets it on the focused item (marked
// changed); with more than one selected, the question per the line's mode; Yes sets the others alike;
// then a refresh, also after Cancel. A number that does not read counts as Cancel.
void EditLine(const TItemLineSpec &spec);

// "R %3d; G %3d; B %3d;" of an opaque device colour.
QString ColourText(D3DCOLOR colour);
// The program's custom colours (one list, kept in the settings under "CustomColors", value "List").
std::vector<QColor> &CustomColours();
void SaveCustomColours();

// ---- Pick modes

// A mode that picks the nearest item of a type set under the left button (down or up), hands it (or
// nullptr) to Picked, refreshes and makes the remembered mode current again. Enter remembers the current
// mode and makes this one current.
class TPickMode : public TMouseEvents {
    Q_OBJECT
public:
    TPickMode(QObject *owner, const char *name, int cursor, TItemTypeSet types, bool onButtonUp);
    ~TPickMode() override;
    void Enter();
    // The item found (nullptr on empty ground); leaving the mode otherwise calls nothing.
    std::function<void(TAbstractItem *)> Picked{};

private:
    void Pick(const TMouseEventArgs &e);
    TItemTypeSet types_;
    QPointer<TMouseEvents> previous_;
    bool entered_ = false;
};

// ---- Reports

struct TReportSpec {
    QString Caption{};
    std::vector<Cp1251String> Columns{};
    // The items reported (the others are left out).
    std::function<bool(TAbstractItem &)> Reports{};
    std::function<std::vector<Cp1251String>(TAbstractItem &)> Row{};
};
// The table of the items in selection order, each row carrying its item.
TReportTable MakeItemReport(const TReportSpec &spec, std::span<TAbstractItem *const> items);
// Builds the report over the editor selection and shows it in a table window of the street.
void ShowItemReport(const TReportSpec &spec);

// "%5.1f" of a measure; empty when undefined (-1, the undefined value or no number).
Cp1251String MeasureText(double value);
// The note of a report row: the first text, "; " and the second when both are there, else the one there.
Cp1251String JoinNote(const Cp1251String &first, const Cp1251String &second);
