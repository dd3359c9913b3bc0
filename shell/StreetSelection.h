#pragma once
// The selection the editor modules see: the active street's selection (its first item is the current one).
#include "shell/ContextModules.h"

class TStreetsHolderModule;

class TStreetSelection final : public IContextSelection {
public:
    explicit TStreetSelection(const TStreetsHolderModule &holder) : holder_(holder) {}

    int CurrentItemType() const override;
    int SelectedCount() const override;
    TItemTypeSet SelectedTypes() const override;
    TAbstractItem *CurrentItem() const override;

private:
    const TStreetsHolderModule &holder_;
};
