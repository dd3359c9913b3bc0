#include "app/StartUpClasses.h"

#include "editors/RegisterEditors.h"
#include "engine/FontsDataForm.h"
#include "shell/StartUp.h"

#include "exchange/PlanDefineItem.h"
#include "exchange/RegisterExchange.h"
#include "objects/AxisItem.h"
#include "objects/Kern.h"
#include "objects/RegisterObjects.h"
#include "objects/StandInItems.h"
#include "shell/ItemsControl.h"
#include "shell/PointsEditor.h"

namespace {

// The plan's fonts, made after the main window and kept to the end. Core labels are drawn with the
// black atlas while they live.
class TFontsHolder : public QObject {
public:
    TFontsHolder() {
        TKernLabelFont font;
        font.Texture = Fonts_.SmallArialTexture(false);
        font.Triangles = [this](const Cp1251String &text, std::vector<TDxVertex> &triangles, float &width,
                                float &height) {
            TFontTexture *atlas = Fonts_.SmallArialTexture();
            triangles.clear();
            width = height = 0;
            if (!atlas || atlas->AtlasSize() <= 0)
                return;
            atlas->TextQuads(text, triangles);
            width = float(atlas->TextWidth(text));
            height = float(atlas->TextHeight());
        };
        SetKernLabelFont(std::move(font));
    }
    ~TFontsHolder() override { SetKernLabelFont({}); }

private:
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
