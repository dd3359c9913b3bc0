#include "editors/RegisterEditors.h"

#include "editors/EditorKit.h"
#include "editors/ItemEditor.h"
#include "editors/KolodEditors.h"
#include "editors/SurfaceEditors.h"
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
        RegisterContextModule<TKolodEditorModule>();
        RegisterContextModule<TReshetEditorModule>();
        RegisterStartUpObject(TStartUpSlot::CustomEditors,
                              [](TMainForm &form) { return std::make_unique<TEditorHostHolder>(form); });
        return true;
    }();
    (void)done;
}
