#include "app/StartUpClasses.h"

#include "editors/RegisterEditors.h"
#include "engine/FontsDataForm.h"
#include "shell/StartUp.h"

#include "exchange/PlanDefineItem.h"
#include "exchange/RegisterExchange.h"
#include "objects/AxisItem.h"
#include "objects/RegisterObjects.h"
#include "objects/StandInItems.h"
#include "shell/ItemsControl.h"
#include "shell/PointsEditor.h"

namespace {

// The plan's fonts, made after the main window and kept to the end.
class TFontsHolder : public QObject {
    TFontsDataForm Fonts_;
};

} // namespace

// Each registration does nothing when called again.
void RegisterStartUpClasses() {
    static const bool fonts = [] {
        RegisterStartUpObject(TStartUpSlot::Fonts, [](TMainForm &) -> std::unique_ptr<QObject> {
            return std::make_unique<TFontsHolder>();
        });
        return true;
    }();
    (void)fonts;
    // Plan sheets name themselves by the pickets of their guide axis.
    SetAxisPicketStepQuery([](TAbstractItem &item, float &step) {
        const auto *axis = dynamic_cast<const TAxisItem *>(&item);
        if (axis)
            step = axis->PicketStep();
        return axis != nullptr;
    });
    RegisterObjects();
    RegisterExchangeObjects();
    RegisterStandInItemClasses();
    RegisterItemsControl();
    RegisterPointsEditor();
    RegisterEditorModules();
}
