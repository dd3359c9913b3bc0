#include "shell/QtUserPrompts.h"

#include "shell/CheckListForm.h"
#include "shell/EMFGridForm.h"
#include "shell/FloatSpinForm.h"
#include "shell/SelectStringDialog.h"
#include "shell/TagSetEditorForm.h"
#include "shell/ValueEditorForm.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon IconOf(TPromptKind kind) {
    switch (kind) {
    case TPromptKind::Information:
        return QMessageBox::Information;
    case TPromptKind::Warning:
        return QMessageBox::Warning;
    case TPromptKind::Error:
        return QMessageBox::Critical;
    case TPromptKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString Title(TPromptKind kind) {
    switch (kind) {
    case TPromptKind::Information:
        return QStringLiteral("Информация");
    case TPromptKind::Warning:
        return QStringLiteral("Предупреждение");
    case TPromptKind::Error:
        return QStringLiteral("Ошибка");
    case TPromptKind::Confirmation:
        return QStringLiteral("Подтверждение");
    }
    return {};
}

} // namespace

QString QtFileFilter(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(u';', u' ');
        if (pattern == QStringLiteral("*.*"))
            pattern = QStringLiteral("*");
        out += parts[i] + QStringLiteral(" (") + pattern + u')';
    }
    if (out.isEmpty() && !filter.isEmpty())
        out += filter;
    return out.join(QStringLiteral(";;"));
}

void TQtUserPrompts::ShowMessage(TPromptKind kind, const QString &text) {
    QMessageBox box(IconOf(kind), Title(kind), text, QMessageBox::NoButton, QApplication::activeWindow());
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

TPromptAnswer TQtUserPrompts::Ask(TPromptKind kind, const QString &text, TPromptButtons buttons) {
    QMessageBox box(IconOf(kind), Title(kind), text, QMessageBox::NoButton, QApplication::activeWindow());
    struct TButton {
        const char *Caption;
        QMessageBox::ButtonRole Role;
        TPromptAnswer Answer;
    };
    std::vector<TButton> list;
    switch (buttons) {
    case TPromptButtons::Ok:
        list = {{"OK", QMessageBox::AcceptRole, TPromptAnswer::Ok}};
        break;
    case TPromptButtons::OkCancel:
        list = {{"OK", QMessageBox::AcceptRole, TPromptAnswer::Ok},
                {"Отмена", QMessageBox::RejectRole, TPromptAnswer::Cancel}};
        break;
    case TPromptButtons::YesNo:
        list = {{"Да", QMessageBox::YesRole, TPromptAnswer::Yes},
                {"Нет", QMessageBox::NoRole, TPromptAnswer::No}};
        break;
    case TPromptButtons::YesNoCancel:
        list = {{"Да", QMessageBox::YesRole, TPromptAnswer::Yes},
                {"Нет", QMessageBox::NoRole, TPromptAnswer::No},
                {"Отмена", QMessageBox::RejectRole, TPromptAnswer::Cancel}};
        break;
    }
    std::vector<std::pair<QAbstractButton *, TPromptAnswer>> made;
    for (const TButton &b : list)
        made.emplace_back(box.addButton(QString::fromUtf8(b.Caption), b.Role), b.Answer);
    box.setDefaultButton(static_cast<QPushButton *>(made.front().first));
    if (buttons == TPromptButtons::YesNo)
        box.setEscapeButton(made.back().first);
    box.exec();
    for (const auto &[button, answer] : made)
        if (box.clickedButton() == button)
            return answer;
    return buttons == TPromptButtons::YesNo ? TPromptAnswer::No
           : buttons == TPromptButtons::Ok  ? TPromptAnswer::Ok
                                            : TPromptAnswer::Cancel;
}

bool TQtUserPrompts::EditString(const QString &caption, const QPoint &pos, QString &text) {
    TValueEditorForm form(caption, pos, text);
    if (form.exec() != 1)
        return false;
    text = form.Text();
    return true;
}

bool TQtUserPrompts::SelectString(const QPoint &pos, const QString &caption, const QStringList &items,
                                  int &index) {
    TSelectStringDialog dialog(pos, caption, items, index);
    const int result = dialog.exec();
    index = dialog.SelectedIndex();
    return result == 1;
}

bool TQtUserPrompts::EditTypeSet(const QString &caption, const TItemTypeSet &fullSet, TItemTypeSet &set) {
    TTagSetEditorForm form(caption, fullSet, set);
    if (form.exec() != 1)
        return false;
    set = form.Ticked();
    return true;
}

int TQtUserPrompts::PopupMenu(const QStringList &entries) {
    QMenu menu;
    for (qsizetype i = 0; i < entries.size(); ++i)
        menu.addAction(entries[i])->setData(static_cast<int>(i));
    if (entries.isEmpty())
        return -1;
    const QAction *chosen = menu.exec(QCursor::pos());
    return chosen ? chosen->data().toInt() : -1;
}

bool TQtUserPrompts::ChooseColor(QColor &colour, std::vector<QColor> &customColours) {
    const int slotCount = QColorDialog::customCount();
    for (int i = 0; i < slotCount; ++i)
        QColorDialog::setCustomColor(i, i < int(customColours.size()) ? customColours[std::size_t(i)]
                                                                      : QColor(Qt::white));
    const QColor chosen = QColorDialog::getColor(colour, QApplication::activeWindow());
    customColours.clear();
    for (int i = 0; i < slotCount; ++i)
        customColours.push_back(QColorDialog::customColor(i));
    if (!chosen.isValid())
        return false;
    colour = chosen;
    return true;
}

int TQtUserPrompts::PopupEntries(const std::vector<TMenuEntry> &entries) {
    if (entries.empty())
        return -1;
    QMenu menu;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        QAction *a = menu.addAction(entries[i].Caption);
        a->setData(static_cast<int>(i));
        a->setEnabled(entries[i].Enabled);
    }
    const QAction *chosen = menu.exec(QCursor::pos());
    return chosen ? chosen->data().toInt() : -1;
}

bool TQtUserPrompts::EditFloatLive(const QPoint &pos, const QString &caption, double value,
                                   const std::function<void(double)> &callback) {
    TFloatSpinForm form(pos, caption, callback, value);
    return form.exec() == QDialog::Accepted;
}

bool TQtUserPrompts::ChooseFiles(const TFileDialogRequest &request, QStringList &files) {
    QFileDialog dialog(QApplication::activeWindow(), request.Title);
    dialog.setNameFilter(QtFileFilter(request.Filter));
    if (!request.DefaultExt.isEmpty())
        dialog.setDefaultSuffix(request.DefaultExt.startsWith(u'.') ? request.DefaultExt.mid(1)
                                                                    : request.DefaultExt);
    switch (request.Mode) {
    case TFileDialogMode::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case TFileDialogMode::OpenMany:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case TFileDialogMode::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    }
    if (!request.FileName.isEmpty()) {
        const QFileInfo info(request.FileName);
        if (info.isDir())
            dialog.setDirectory(request.FileName);
        else {
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    files = dialog.selectedFiles();
    return !files.isEmpty();
}

bool TQtUserPrompts::ChooseDirectory(const QString &caption, QString &dir) {
    const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption, dir);
    if (chosen.isEmpty())
        return false;
    dir = chosen;
    return true;
}

bool TQtUserPrompts::ChoosePicture(const QString &caption, QString &file) {
    TEMFGridForm form;
    form.setWindowTitle(caption);
    form.exec();
    file = form.SelectedFile;
    return !file.isEmpty();
}

bool TQtUserPrompts::CheckItems(const QString &caption, const QString &text, const QStringList &items,
                                QList<bool> &checked) {
    TCheckListForm form(caption, text, items, checked, QApplication::activeWindow());
    if (form.exec() != QDialog::Accepted)
        return false;
    checked = form.Ticked();
    return true;
}
