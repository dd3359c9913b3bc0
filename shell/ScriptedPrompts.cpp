#include "shell/ScriptedPrompts.h"

TScriptedPrompts &TScriptedPrompts::Queue(TAnswer answer) {
    script_.push_back(std::move(answer));
    return *this;
}

TScriptedPrompts &TScriptedPrompts::Answer(TPromptAnswer answer) {
    TAnswer a;
    a.Kind = TKind::Ask;
    a.Button = answer;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::EnterText(const QString &text) {
    TAnswer a;
    a.Kind = TKind::Edit;
    a.Text = text;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::CancelText() {
    TAnswer a;
    a.Kind = TKind::Edit;
    a.Ok = false;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Select(int index, bool ok) {
    TAnswer a;
    a.Kind = TKind::Select;
    a.Index = index;
    a.Ok = ok;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::TypeSet(const TItemTypeSet &set, bool ok) {
    TAnswer a;
    a.Kind = TKind::TypeSet;
    a.Set = set;
    a.Ok = ok;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Menu(int index) {
    TAnswer a;
    a.Kind = TKind::Menu;
    a.Index = index;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::TypeFloats(std::vector<double> values, bool ok) {
    TAnswer a;
    a.Kind = TKind::Floats;
    a.Values = std::move(values);
    a.Ok = ok;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Files(QStringList files) {
    TAnswer a;
    a.Kind = TKind::Files;
    a.List = std::move(files);
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::CancelFiles() {
    TAnswer a;
    a.Kind = TKind::Files;
    a.Ok = false;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Directory(const QString &dir) {
    TAnswer a;
    a.Kind = TKind::Directory;
    a.Text = dir;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Picture(const QString &file) {
    TAnswer a;
    a.Kind = TKind::Picture;
    a.Text = file;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Colour(const QColor &colour, std::vector<QColor> custom) {
    TAnswer a;
    a.Kind = TKind::Colour;
    a.Colour = colour;
    a.Custom = std::move(custom);
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::CancelColour() {
    TAnswer a;
    a.Kind = TKind::Colour;
    a.Ok = false;
    return Queue(a);
}

TScriptedPrompts &TScriptedPrompts::Check(QList<int> ticked, bool ok) {
    TAnswer a;
    a.Kind = TKind::Check;
    a.Ticked = std::move(ticked);
    a.Ok = ok;
    return Queue(a);
}

std::optional<TScriptedPrompts::TAnswer> TScriptedPrompts::Take(TKind kind, const QString &question) {
    log_ += question;
    if (script_.empty() || script_.front().Kind != kind) {
        unexpected_ += question;
        return std::nullopt;
    }
    TAnswer a = std::move(script_.front());
    script_.pop_front();
    return a;
}

void TScriptedPrompts::ShowMessage(TPromptKind, const QString &text) {
    log_ += QStringLiteral("message: ") + text;
    messages_ += text;
}

TPromptAnswer TScriptedPrompts::Ask(TPromptKind, const QString &text, TPromptButtons buttons) {
    const auto a = Take(TKind::Ask, QStringLiteral("ask: ") + text);
    if (a)
        return a->Button;
    return buttons == TPromptButtons::YesNo ? TPromptAnswer::No
           : buttons == TPromptButtons::Ok  ? TPromptAnswer::Ok
                                            : TPromptAnswer::Cancel;
}

bool TScriptedPrompts::EditString(const QString &caption, const QPoint &, QString &text) {
    lastEditDefault_ = text;
    const auto a = Take(TKind::Edit, QStringLiteral("edit: ") + caption + QStringLiteral(" = ") + text);
    if (!a || !a->Ok)
        return false;
    text = a->Text;
    return true;
}

bool TScriptedPrompts::SelectString(const QPoint &, const QString &caption, const QStringList &items,
                                    int &index) {
    lastItems_ = items;
    lastSelectIndex_ = index;
    const auto a = Take(TKind::Select, QStringLiteral("select: ") + caption);
    if (!a)
        return false;
    index = a->Index;
    return a->Ok;
}

bool TScriptedPrompts::EditTypeSet(const QString &caption, const TItemTypeSet &fullSet, TItemTypeSet &set) {
    lastFullSet_ = fullSet;
    const auto a = Take(TKind::TypeSet, QStringLiteral("types: ") + caption);
    if (!a || !a->Ok)
        return false;
    set = a->Set;
    return true;
}

int TScriptedPrompts::PopupEntries(const std::vector<TMenuEntry> &entries) {
    const int chosen = IUserPrompts::PopupEntries(entries);
    lastMenuEnabled_.clear();
    for (const TMenuEntry &e : entries)
        lastMenuEnabled_.push_back(e.Enabled && !e.IsSeparator());
    return chosen;
}

int TScriptedPrompts::PopupMenu(const QStringList &entries) {
    lastMenu_ = entries;
    lastMenuEnabled_.assign(std::size_t(entries.size()), true);
    const auto a = Take(TKind::Menu, QStringLiteral("menu: ") + entries.join(QStringLiteral(" | ")));
    return a && a->Index >= 0 && a->Index < entries.size() ? a->Index : -1;
}

bool TScriptedPrompts::EditFloatLive(const QPoint &, const QString &caption, double value,
                                     const std::function<void(double)> &callback) {
    const auto a = Take(TKind::Floats, QStringLiteral("number: ") + caption);
    double last = value;
    if (a)
        for (double v : a->Values) {
            last = v;
            if (callback)
                callback(v);
        }
    if (callback)
        callback(a && a->Ok ? last : value);
    return a && a->Ok;
}

bool TScriptedPrompts::ChooseFiles(const TFileDialogRequest &request, QStringList &files) {
    lastFileRequest_ = request;
    const auto a = Take(TKind::Files,
                        QStringLiteral("files: ") + request.Title + QStringLiteral(" = ") + request.FileName);
    if (!a || !a->Ok || a->List.isEmpty())
        return false;
    files = a->List;
    return true;
}

bool TScriptedPrompts::ChooseDirectory(const QString &caption, QString &dir) {
    const auto a = Take(TKind::Directory, QStringLiteral("directory: ") + caption);
    if (!a || a->Text.isEmpty())
        return false;
    dir = a->Text;
    return true;
}

bool TScriptedPrompts::ChoosePicture(const QString &caption, QString &file) {
    const auto a = Take(TKind::Picture, QStringLiteral("picture: ") + caption);
    if (!a || a->Text.isEmpty())
        return false;
    file = a->Text;
    return true;
}

bool TScriptedPrompts::ChooseColor(QColor &colour, std::vector<QColor> &customColours) {
    lastColour_ = colour;
    lastCustom_ = customColours;
    const auto a = Take(TKind::Colour, QStringLiteral("colour: ") + colour.name());
    if (!a || !a->Ok)
        return false;
    colour = a->Colour;
    if (!a->Custom.empty())
        customColours = a->Custom;
    return true;
}

bool TScriptedPrompts::CheckItems(const QString &caption, const QString &, const QStringList &items,
                                  QList<bool> &checked) {
    lastCheckItems_ = items;
    lastCheckTicks_ = checked;
    const auto a = Take(TKind::Check, QStringLiteral("check: ") + caption + QStringLiteral(" = ") +
                                          items.join(QStringLiteral(" | ")));
    if (!a || !a->Ok)
        return false;
    checked = QList<bool>(items.size(), false);
    for (int i : a->Ticked)
        if (i >= 0 && i < items.size())
            checked[i] = true;
    return true;
}
