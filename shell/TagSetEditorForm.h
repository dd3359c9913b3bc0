#pragma once
// Choosing a set of item types: a list of the offered types by category, ticked or not, and named presets
// kept in the settings ("TagSetEditorForm\Presets", one value per preset holding the types' display names).
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "model/ItemTypes.h"
#endif

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class TagSetEditorForm;
}
class QListWidgetItem;

// Presets of type sets, sorted by name.
QStringList TagSetPresetNames();
// The preset's set; empty when there is no such preset.
TItemTypeSet ReadTagSetPreset(const QString &name);
// Stores the set under the name, replacing a preset of that name. False (with a message) when the name
// cannot be stored.
bool SaveTagSetPreset(const QString &name, const TItemTypeSet &set);

class TTagSetEditorForm : public QDialog {
    Q_OBJECT
public:
    // The types of fullSet (codes 0..40) are offered, those of currentSet ticked. On Ok the result is the
    // ticked types (never a type outside fullSet) and true; otherwise currentSet and false.
    static bool Execute(const TItemTypeSet &fullSet, const TItemTypeSet &currentSet, TItemTypeSet &result,
                        const QString &caption);
    // The presets as a popup menu at the pointer: a chosen preset, else currentSet.
    static bool PopupPresets(const TItemTypeSet &currentSet, TItemTypeSet &result);

    TTagSetEditorForm(const QString &caption, const TItemTypeSet &fullSet, const TItemTypeSet &currentSet,
                      QWidget *parent = nullptr);
    ~TTagSetEditorForm() override;

    TItemTypeSet Ticked() const;
    // Type codes in list order.
    std::vector<int> Offered() const;
    void SetTicked(const TItemTypeSet &set);
    void ToggleEntry(int row);
    // The ticks become the preset's set.
    void ChoosePreset(const QString &name);
    // The ticks are stored under the name typed in the presets box.
    void SavePreset();
    QStringList PresetsListed() const;

protected:
    void done(int result) override;

private:
    void ListPresets();

    std::unique_ptr<Ui::TagSetEditorForm> ui_;
};
