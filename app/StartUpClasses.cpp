#include "app/StartUpClasses.h"

#include "editors/RegisterEditors.h"
#include "exchange/RegisterExchange.h"
#include "objects/RegisterObjects.h"
#include "objects/StandInItems.h"
#include "shell/ItemsControl.h"
#include "shell/PointsEditor.h"

// Each registration does nothing when called again.
void RegisterStartUpClasses() {
    RegisterObjects();
    RegisterExchangeObjects();
    RegisterStandInItemClasses();
    RegisterItemsControl();
    RegisterPointsEditor();
    RegisterEditorModules();
}
