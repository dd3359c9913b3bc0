#include "objects/RegisterObjects.h"

void RegisterObjects() {
    static const bool done = [] { return true; }();
    (void)done;
}
