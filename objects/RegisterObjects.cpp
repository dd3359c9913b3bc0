#include "objects/RegisterObjects.h"

#include "objects/AxisItem.h"
#include "objects/BortItem.h"
#include "objects/Gazon.h"
#include "objects/House.h"
#include "objects/KMSignItem.h"
#include "objects/Oboch.h"
#include "objects/RazdPol.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"

void RegisterObjects() {
    static const bool done = [] {
        RegisterRazdPolItem();
        RegisterRoadWayItem();
        RegisterTrotuarItem();
        RegisterGazonItem();
        RegisterObochItem();
        RegisterHouseItem();
        RegisterBortItem();
        RegisterAxisItem();
        RegisterKMSignItem();
        return true;
    }();
    (void)done;
}
