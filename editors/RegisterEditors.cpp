#include "editors/RegisterEditors.h"

#include "editors/CalcAreaEditors.h"
#include "editors/EditorKit.h"
#include "editors/ItemEditor.h"
#include "editors/LineEditors.h"
#include "editors/StopEditor.h"
#include "editors/SignEditors.h"
#include "editors/SurfaceEditors.h"
#include "editors/ZebraEditor.h"
#include "shell/StartUp.h"

#include <memory>

namespace {

// Lives from its place in the start-up order to the end: the editors' window while it does.
class TEditorHostHolder : public QObject {
public:
    explicit TEditorHostHolder(TMainForm &form) { SetEditorHost(EditorHostOf(form)); }
    ~TEditorHostHolder() override { SetEditorHost({}); }
};

} // namespace

void RegisterEditorModules() {
    static const bool done = [] {
        RegisterContextModule<TItemEditorModule>();
        RegisterContextModule<TRoadWayEditorModule>();
        RegisterContextModule<TTrotuarEditorModule>();
        RegisterContextModule<TGazonEditorModule>();
        RegisterContextModule<TPolygonEditorModule>();
        RegisterContextModule<TZebraEditorModule>();
        RegisterContextModule<TStopEditorModule>();
        RegisterContextModule<TBortEditorModule>();
        RegisterContextModule<TLineRazmetEditorModule>();
        RegisterContextModule<TTramWayEditorDataModule>();
        RegisterContextModule<TZnakEditorModule>();
        RegisterContextModule<TRoadSignEditorModule>();
        RegisterContextModule<TCalcAreaEditorModule>();
        RegisterStartUpObject(TStartUpSlot::CustomEditors,
                              [](TMainForm &form) { return std::make_unique<TEditorHostHolder>(form); });
        return true;
    }();
    (void)done;
}
