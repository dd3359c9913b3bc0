#include "model/GuideAxisInfo.h"

Cp1251String DefaultLeftSideName() {
    return Cp("нечет.");
}

Cp1251String DefaultRightSideName() {
    return Cp("чет.");
}

Cp1251String DefaultCenterSideName() {
    return Cp("ось");
}
