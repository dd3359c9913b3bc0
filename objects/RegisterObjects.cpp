#include "objects/RegisterObjects.h"

#include "objects/BortItem.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "objects/Gazon.h"
#include "objects/House.h"
#include "objects/Kern.h"
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
        RegisterDesignFigureItem();
        RegisterDesignLineItem();
        RegisterDesignBlockItem();
        RegisterKernItem();
        return true;
    }();
    (void)done;
}
