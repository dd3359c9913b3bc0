#include "shell/InfoStringActions.h"

#include "engine/Cp1251Qt.h"
#include "engine/Reg_Shell.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

namespace {

std::vector<TInfoStringAction *> &InfoList() {
    static std::vector<TInfoStringAction *> list;
    return list;
}

// The settings section of a line; false when the texts have no code-page-1251 form.
bool ShownSection(const TInfoStringAction &a, Cp1251String &section) {
    Cp1251String category, caption;
    if (!TryFromQString(a.Category, category) || !TryFromQString(a.text(), caption))
        return false;
    section = Cp1251String("TInfoStringAction\\ActionStates\\") + category + Cp1251String("\\") + caption;
    return true;
}

} // namespace

TInfoStringAction::TInfoStringAction(QObject *parent) : QAction(parent) {
    SetDefaultColors(QApplication::palette().color(QPalette::Base), Qt::black);
    InfoList().push_back(this);
}

TInfoStringAction::~TInfoStringAction() {
    Detach();
}

void TInfoStringAction::SetDefaultColors(const QColor &back, const QColor &text) {
    BackColor = defaultBack_ = back;
    TextColor = defaultText_ =
        text == QApplication::palette().color(QPalette::WindowText) ? QColor(Qt::black) : text;
}

QString TInfoStringAction::GetInfo() {
    BackColor = defaultBack_;
    TextColor = defaultText_;
    QString text;
    if (OnGetInfo)
        OnGetInfo(this, text);
    return text;
}

bool TInfoStringAction::IsValid() {
    bool valid = true;
    if (OnGetValid)
        OnGetValid(this, valid);
    return valid;
}

void TInfoStringAction::DoClick() {
    if (OnClick) {
        const auto handler = OnClick;
        handler(this);
    }
}

bool TInfoStringAction::GetShown() const {
    Cp1251String section;
    if (!ShownSection(*this, section))
        return isVisible();
    return RegReadBool(section, Cp1251String("Visible"), isVisible());
}

void TInfoStringAction::SaveShown(bool shown) const {
    Cp1251String section;
    if (ShownSection(*this, section))
        RegWriteBool(section, Cp1251String("Visible"), shown);
}

void TInfoStringAction::Detach() {
    if (detached_)
        return;
    detached_ = true;
    std::erase(InfoList(), this);
}

std::vector<TInfoStringAction *> TInfoStringAction::All() {
    return InfoList();
}

void TInfoStringAction::ListCategories(QStringList &categories) {
    for (const TInfoStringAction *a : InfoList())
        if (!categories.contains(a->Category))
            categories += a->Category;
}

TInfoStringAction *TInfoStringAction::Find(const QString &category, const QString &caption) {
    for (TInfoStringAction *a : InfoList())
        if (a->Category == category && a->text() == caption)
            return a;
    return nullptr;
}
