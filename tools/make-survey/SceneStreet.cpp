#include "tools/make-survey/SceneStreet.h"

#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "objects/LineRazmetItem.h"
#include "objects/Oboch.h"
#include "objects/RegisterObjects.h"
#include "objects/RoadWay.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace makesurvey {

namespace {

// The vertices of one line at a constant offset from the centre line.
std::vector<TStreetPointRec *> EdgeVertices(const TRoadScene &scene, TStreetStructure &street, double offset,
                              const std::vector<double> &stations) {
    std::vector<TStreetPointRec *> ids;
    ids.reserve(stations.size());
    for (double s : stations) {
        double x, y;
        scene.PointAt(s, offset, x, y);
        // The ground climbs with the drive; the centre line's grade is close enough for every offset.
        const double z = scene.StartZ + scene.Grade * s;
        ids.push_back(street.Pool().AddPointRec(
            {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)}));
    }
    return ids;
}

// The strip between two edges, as an outline along one and back along the other.
void Strip(TStreetStructure &street, int type, const std::vector<TStreetPointRec *> &a,
           const std::vector<TStreetPointRec *> &b) {
    TAbstractItem *item = street.Lists(type).AddNew();
    for (TStreetPointRec *p : a)
        item->Points.Insert(item->Points.Count(), p);
    for (auto it = b.rbegin(); it != b.rend(); ++it)
        item->Points.Insert(item->Points.Count(), *it);
}

// A line marking along the vertices.
void Marking(TStreetStructure &street, const std::vector<TStreetPointRec *> &line, const char *code, bool mirror) {
    auto *item = dynamic_cast<TLineRazmetItem *>(street.Lists(LineRazmetTypeCode).AddNew());
    if (!item)
        return;
    item->SetGost(Cp1251String(code));
    item->SetMirror(mirror ? 1 : 0);
    for (TStreetPointRec *p : line)
        item->Points.Insert(item->Points.Count(), p);
}

TLnParamRec SceneRecord(const char *code, const char *texture, double period, double disp1, double disp2,
                        double painted, const char *description) {
    TLnParamRec r;
    r.Name = Cp1251String(code);
    r.TextureFile = Cp1251String(texture);
    r.Period = static_cast<float>(period);
    r.Disp1 = static_cast<float>(disp1);
    r.Disp2 = static_cast<float>(disp2);
    r.SqCoeff = static_cast<float>(painted);
    r.Description = Cp(description);
    r.FullPeriods = true;
    return r;
}

} // namespace

std::unique_ptr<TStreetStructure> MakeSceneStreet(const TRoadScene &scene, double stepMetres) {
    if (!(stepMetres > 0) || !std::isfinite(stepMetres))
        throw std::invalid_argument("MakeSceneStreet: the vertex step must be a positive number of metres");
    RegisterObjects();
    auto owned = std::make_unique<TStreetStructure>();
    TStreetStructure &street = *owned;
    const double length = scene.CentreLength();
    std::vector<double> stations;
    for (double s = 0; s < length; s += stepMetres)
        stations.push_back(s);
    stations.push_back(length);

    const double outer = scene.HalfWidth + scene.ShoulderWidth;
    const std::vector<TStreetPointRec *> rightOuter = EdgeVertices(scene, street, -outer, stations);
    const std::vector<TStreetPointRec *> right = EdgeVertices(scene, street, -scene.HalfWidth, stations);
    const std::vector<TStreetPointRec *> left = EdgeVertices(scene, street, scene.HalfWidth, stations);
    const std::vector<TStreetPointRec *> leftOuter = EdgeVertices(scene, street, outer, stations);
    Strip(street, RoadWayTypeCode, right, left);
    Strip(street, ObochTypeCode, rightOuter, right);
    Strip(street, ObochTypeCode, left, leftOuter);

    // The painted lines: solid edge lines inside the carriageway's edges (the strip of their record lies
    // right of the line, so the right edge, which has the carriageway on its left, is mirrored) and the
    // dashed centre line, its first dash from station 0, each by a record of the scene's own.
    const double period = scene.DashLength + scene.DashGap;
    street.SetLnRazmetParams(
        {SceneRecord("1.2.1", "Solid.bmp", 4, 0, -scene.EdgeLineWidth, 1, "Край проезжей части"),
         SceneRecord("1.5", "Dash_1_2.bmp", period, scene.CentreLineWidth / 2, -scene.CentreLineWidth / 2,
                     scene.DashLength / period, "Осевая прерывистая")});
    Marking(street, right, "1.2.1", true);
    Marking(street, left, "1.2.1", false);
    Marking(street, EdgeVertices(scene, street, 0, stations), "1.5", false);
    return owned;
}

} // namespace makesurvey
