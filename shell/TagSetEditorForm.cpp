#include "shell/TagSetEditorForm.h"

#include "engine/Cp1251Qt.h"
#include "engine/Reg_Shell.h"
#include "shell/FormPlacement.h"
#include "shell/ImageData.h"
#include "shell/UserPrompts.h"
#include "ui_TagSetEditorForm.h"

namespace {

const Cp1251String PresetsSection("TagSetEditorForm\\Presets");

// Categories run 0 to 5; the list goes one further, so that a category added later is not lost.
constexpr int LastListedCategory = 6;

TItemTypeSet TypeCodesOnly(const TItemTypeSet &set) {
    TItemTypeSet out;
    for (int c = 0; c < ItemTypeCount; ++c)
        if (set.Contains(c))
            out.Include(c);
    return out;
}

} // namespace

QStringList TagSetPresetNames() {
    QStringList names;
    for (const Cp1251String &name : RegReadValueNames(PresetsSection))
        names += ToQString(name);
    return names;
}

TItemTypeSet ReadTagSetPreset(const QString &name) {
    Cp1251String cpName;
    if (!TryFromQString(name, cpName))
        return {};
    return NamesToTypeSet(RegReadString(PresetsSection, cpName));
}

bool SaveTagSetPreset(const QString &name, const TItemTypeSet &set) {
    Cp1251String cpName;
    if (!UserTextToCp1251(name, cpName))
        return false;
    RegWriteString(PresetsSection, cpName, TypeSetToNames(set));
    return true;
}

bool TTagSetEditorForm::Execute(const TItemTypeSet &fullSet, const TItemTypeSet &currentSet,
                                TItemTypeSet &result, const QString &caption) {
    TItemTypeSet set = currentSet;
    if (!UserPrompts().EditTypeSet(caption, fullSet, set)) {
        result = currentSet;
        return false;
    }
    result = TypeCodesOnly(set & fullSet);
    return true;
}

bool TTagSetEditorForm::PopupPresets(const TItemTypeSet &currentSet, TItemTypeSet &result) {
    result = currentSet;
    const QStringList names = TagSetPresetNames();
    const int chosen = UserPrompts().PopupMenu(names);
    if (chosen < 0 || chosen >= names.size())
        return false;
    result = ReadTagSetPreset(names[chosen]);
    return true;
}

TTagSetEditorForm::TTagSetEditorForm(const QString &caption, const TItemTypeSet &fullSet,
                                     const TItemTypeSet &currentSet, QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TagSetEditorForm>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    TImageDataModule &images = ImageData();
    for (int category = 0; category <= LastListedCategory; ++category)
        for (int code = 0; code < ItemTypeCount; ++code) {
            if (!fullSet.Contains(code) || ItemTypeCategory(code) != category)
                continue;
            auto *item = new QListWidgetItem(images.ItemsImageList.Icon(code),
                                             ToQString(ItemTypeDisplayName(code)), ui_->ListView);
            item->setData(Qt::UserRole, code);
            // Ticks change by a click anywhere on the entry, so the box itself takes no clicks of its own.
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setCheckState(Qt::Unchecked);
        }
    SetTicked(currentSet);
    ListPresets();

    connect(ui_->ListView, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { ToggleEntry(ui_->ListView->row(item)); });
    connect(ui_->SelectAllSB, &QToolButton::clicked, this, [this] { SetTicked(FullTypeSet()); });
    connect(ui_->UnSelectAllSB, &QToolButton::clicked, this, [this] { SetTicked(TItemTypeSet()); });
    connect(ui_->PresetsBox, &QComboBox::textActivated, this, &TTagSetEditorForm::ChoosePreset);
    connect(ui_->SaveSB, &QToolButton::clicked, this, &TTagSetEditorForm::SavePreset);
    connect(ui_->OkB, &QPushButton::clicked, this, [this] { done(1); });
    connect(ui_->CancelB, &QPushButton::clicked, this, &QDialog::reject);
    RestoreWidgetPos(this, true);
}

TTagSetEditorForm::~TTagSetEditorForm() = default;

void TTagSetEditorForm::done(int result) {
    try {
        SaveWidgetPos(this, true);
    } catch (const std::exception &) {
        // The place is lost, nothing else.
    }
    QDialog::done(result);
}

TItemTypeSet TTagSetEditorForm::Ticked() const {
    TItemTypeSet set;
    for (int i = 0; i < ui_->ListView->count(); ++i) {
        const QListWidgetItem *item = ui_->ListView->item(i);
        if (item->checkState() == Qt::Checked)
            set.Include(item->data(Qt::UserRole).toInt());
    }
    return set;
}

std::vector<int> TTagSetEditorForm::Offered() const {
    std::vector<int> codes;
    for (int i = 0; i < ui_->ListView->count(); ++i)
        codes.push_back(ui_->ListView->item(i)->data(Qt::UserRole).toInt());
    return codes;
}

void TTagSetEditorForm::SetTicked(const TItemTypeSet &set) {
    for (int i = 0; i < ui_->ListView->count(); ++i) {
        QListWidgetItem *item = ui_->ListView->item(i);
        item->setCheckState(set.Contains(item->data(Qt::UserRole).toInt()) ? Qt::Checked : Qt::Unchecked);
    }
}

void TTagSetEditorForm::ToggleEntry(int row) {
    QListWidgetItem *item = ui_->ListView->item(row);
    if (item == nullptr)
        return;
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    item->setSelected(false);
}

void TTagSetEditorForm::ChoosePreset(const QString &name) {
    SetTicked(ReadTagSetPreset(name));
}

void TTagSetEditorForm::SavePreset() {
    const QString name = ui_->PresetsBox->currentText();
    if (name.isEmpty())
        return;
    try {
        if (!SaveTagSetPreset(name, Ticked()))
            return;
    } catch (const std::exception &e) {
        UserPrompts().ShowMessage(TPromptKind::Error, QString::fromUtf8(e.what()));
        return;
    }
    ListPresets();
    ui_->PresetsBox->setCurrentText(name);
}

QStringList TTagSetEditorForm::PresetsListed() const {
    QStringList names;
    for (int i = 0; i < ui_->PresetsBox->count(); ++i)
        names += ui_->PresetsBox->itemText(i);
    return names;
}

void TTagSetEditorForm::ListPresets() {
    const QString text = ui_->PresetsBox->currentText();
    ui_->PresetsBox->clear();
    ui_->PresetsBox->addItems(TagSetPresetNames());
    ui_->PresetsBox->setCurrentText(text);
}
