#pragma once
// Every modal question the program asks goes through one interface: message boxes, the small value
// dialogs, popup menus of choices, file and folder choosers. The Qt implementation (QtUserPrompts.h) shows
// the Russian dialogs; tests install a scripted one (ScriptedPrompts.h) and check what was asked.
//
// The interface carries only what the user answers; the rules around it (history lists, parsing, presets,
// stored folders) live with the callers so that they work the same whoever answers.
#include "model/ItemTypes.h"

#include <QColor>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

enum class TPromptKind { Information, Warning, Error, Confirmation };
enum class TPromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TPromptAnswer { Ok, Cancel, Yes, No };

enum class TFileDialogMode { Open, OpenMany, Save };

struct TFileDialogRequest {
    TFileDialogMode Mode = TFileDialogMode::Open;
    QString Title;
    // Filter in the system's form: pairs "description|pattern" joined with "|" ("*.txt|*.txt").
    QString Filter;
    // Added to a chosen name without extension (without the leading ".").
    QString DefaultExt;
    // The name the dialog starts with (may name a folder and a file).
    QString FileName;
};

// An entry of a popup menu: the caption "-" is a separator; a disabled entry shows but cannot be chosen.
struct TMenuEntry {
    QString Caption{};
    bool Enabled = true;
    bool IsSeparator() const { return Caption == QStringLiteral("-"); }
};

class IUserPrompts {
public:
    virtual ~IUserPrompts();

    virtual void ShowMessage(TPromptKind kind, const QString &text) = 0;
    virtual TPromptAnswer Ask(TPromptKind kind, const QString &text, TPromptButtons buttons) = 0;

    // The value editor: caption, top-left corner on the screen, the text it starts with. True on Ok with
    // text set to what the user entered.
    virtual bool EditString(const QString &caption, const QPoint &pos, QString &text) = 0;
    // A drop-down list; index in: the entry selected at start (-1 none), out: the entry selected at the
    // end (also after Cancel). True on Ok.
    virtual bool SelectString(const QPoint &pos, const QString &caption, const QStringList &items,
                              int &index) = 0;
    // The type-set editor offering the types of fullSet; set in: the ticked types, out: the ticks at Ok.
    virtual bool EditTypeSet(const QString &caption, const TItemTypeSet &fullSet, TItemTypeSet &set) = 0;
    // A popup menu at the mouse pointer; the index of the chosen entry, -1 when none was chosen.
    virtual int PopupMenu(const QStringList &entries) = 0;
    // The same with separators and disabled entries: never the index of one of those. The base shows the
    // captions through PopupMenu.
    virtual int PopupEntries(const std::vector<TMenuEntry> &entries);
    // A number that takes effect while it changes: callback gets each valid value typed, then the value
    // at Ok or the start value at Cancel. True on Ok.
    virtual bool EditFloatLive(const QPoint &pos, const QString &caption, double value,
                               const std::function<void(double)> &callback) = 0;
    // True when the user chose; files then holds the chosen names (one unless the mode is OpenMany).
    virtual bool ChooseFiles(const TFileDialogRequest &request, QStringList &files) = 0;
    virtual bool ChooseDirectory(const QString &caption, QString &dir) = 0;
    // The picture chooser (metafiles of a folder); true with file set when a picture was chosen.
    virtual bool ChoosePicture(const QString &caption, QString &file) = 0;
    // The colour chooser, starting at colour, offering the custom colours (which it may change); true on
    // Ok with colour set to the choice. The base answers Cancel.
    virtual bool ChooseColor(QColor &colour, std::vector<QColor> &customColours);
    // A list of entries with a tick box each, under a line of text; checked in: the ticks at start (one
    // per entry), out: the ticks at Ok. True on Ok.
    virtual bool CheckItems(const QString &caption, const QString &text, const QStringList &items,
                            QList<bool> &checked) = 0;
};

// The prompts in use: the installed ones, else the Qt dialogs.
IUserPrompts &UserPrompts();
// nullptr returns to the Qt dialogs. The caller keeps the object alive while it is installed.
void SetUserPrompts(IUserPrompts *prompts);

// Installs prompts for the lifetime of the guard and restores the previous ones after it.
class TUserPromptsGuard {
public:
    explicit TUserPromptsGuard(IUserPrompts &prompts);
    ~TUserPromptsGuard();
    TUserPromptsGuard(const TUserPromptsGuard &) = delete;
    TUserPromptsGuard &operator=(const TUserPromptsGuard &) = delete;

private:
    IUserPrompts *previous_;
};

// Converts text the user typed into model text. Text with a character that code page 1251 cannot hold is
// refused: the user is told which character, and the result is false (out unchanged).
bool UserTextToCp1251(const QString &text, Cp1251String &out);
