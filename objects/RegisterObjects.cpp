#include "objects/RegisterObjects.h"

#include "objects/ArcCoordsItem.h"
#include "objects/AxisItem.h"
#include "objects/BortItem.h"
#include "objects/CalcAreaItem.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "objects/Gazon.h"
#include "objects/House.h"
#include "objects/KMSignItem.h"
#include "objects/KolodItem.h"
#include "objects/Kern.h"
#include "objects/LineRazmetItem.h"
#include "objects/Oboch.h"
#include "objects/OstrovokItem.h"
#include "objects/PictureItem.h"
#include "objects/RazdPol.h"
#include "objects/RazmerItem.h"
#include "objects/RazmetText.h"
#include "objects/RoadSignItem.h"
#include "objects/RoadWallItem.h"
#include "objects/RoadWay.h"
#include "objects/RulerItem.h"
#include "objects/StopItem.h"
#include "objects/TramWayItem.h"
#include "objects/TextLabelItem.h"
#include "objects/Trotuar.h"
#include "objects/ZebraItem.h"
#include "objects/ZnakItem.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/RazmetLabelPlaceItem.h"
#include "objects/RazmetStopItem.h"

void RegisterObjects() {
    static const bool done = [] {
        RegisterRazdPolItem();
        RegisterRoadWayItem();
        RegisterTrotuarItem();
        RegisterGazonItem();
        RegisterObochItem();
        RegisterHouseItem();
        RegisterBortItem();
        RegisterRoadWallItem();
        RegisterTramWayItem();
        RegisterRulerItem();
        RegisterArcCoordsItem();
        RegisterLineRazmetItem();
        RegisterDesignFigureItem();
        RegisterDesignLineItem();
        RegisterDesignBlockItem();
        RegisterZnakItem();
        RegisterRoadSignItem();
        RegisterPictureItem();
        RegisterKernItem();
        RegisterAxisItem();
        RegisterKMSignItem();
        RegisterOstrovokItem();
        RegisterZebraItem();
        RegisterArrowRazmetItem();
        RegisterRazmetStopItem();
        RegisterRazmetLabelPlaceItem();
        RegisterKolodItems();
        RegisterTextLabelItem();
        RegisterStopItem();
        RegisterRazmerItem();
        RegisterRazmetTextItem();
        RegisterRazmetZnakItem();
        RegisterCalcAreaItem();
        return true;
    }();
    (void)done;
}
