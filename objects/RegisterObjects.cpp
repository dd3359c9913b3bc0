#include "objects/RegisterObjects.h"

#include "objects/BortItem.h"
#include "objects/Gazon.h"
#include "objects/House.h"
#include "objects/Oboch.h"
#include "objects/PictureItem.h"
#include "objects/RazdPol.h"
#include "objects/RoadSignItem.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "objects/ZnakItem.h"

void RegisterObjects() {
    static const bool done = [] {
        RegisterRazdPolItem();
        RegisterRoadWayItem();
        RegisterTrotuarItem();
        RegisterGazonItem();
        RegisterObochItem();
        RegisterHouseItem();
        RegisterBortItem();
        RegisterZnakItem();
        RegisterRoadSignItem();
        RegisterPictureItem();
        return true;
    }();
    (void)done;
}
