#pragma once
// Public-transport stops: vertex 0 stands at the stop and vertex 1 gives its direction along the kerb. A
// stop with a pavilion draws the pavilion's rectangle of its length and width on the left of its
// direction; a plain stop draws a flag on a pole that follows its reference axis. Besides its name, routes
// and platform area, a stop answers what its editor shows: the distance to the road way on its right, the
// bus bay it stands at and its extent and side along its axis.
#include "model/ConnectedItems.h"
#include "model/ItemTypeCodes.h"
#include "objects/OrientPointItem.h"

#include <vector>

class TRoadWayItem;

class TStopItem : public TOrientPointItem {
public:
    static constexpr float DefaultWidth = 2.0f;
    static constexpr float DefaultLength = 4.0f;
    // How far to the right of the stop a road way is looked for, metres.
    static constexpr float RoadWaySearch = 100.0f;
    static constexpr D3DCOLOR YellowFill = MakeD3DColor(255, 255, 80, 255);
    static constexpr D3DCOLOR DarkOutline = MakeD3DColor(5, 5, 5, 255);
    static constexpr D3DCOLOR Red = MakeD3DColor(255, 0, 0, 255);

    static int ClassMinPointCount() { return 2; }
    // Entry 0 triangles (the yellow pavilion), entry 1 lines.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return StopTypeCode; }

    // After the point-item record, every tag optional: "STOPLENG", "STOPWIDT", "STOPNAME", "STOPROOT",
    // "STOPTRSQ", "STOP_PAV". A record of fewer than 2 vertices is dropped by the list loader. Written:
    // "STOPLENG", "STOPWIDT" always, "STOPNAME" and "STOPROOT" when not empty, "STOPTRSQ", "STOP_PAV".
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The pavilion (street option "StopsYellow" = "1": filled yellow with a dark outline, else a red
    // rectangle with its diagonals) or the red flag.
    void RebuildGraphics() override;
    // The distance to the nearest vertex of the drawn outline.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    bool GetHitBounds(TItemBounds &box) override;

    // The shape drawn: the closed pavilion rectangle (5 points), the six points of the flag, or nothing.
    std::vector<TXYZ> Outline() const;

    // The road way nearest to vertex 0 along a 100 m ray square to the right of the stop, over every
    // crossing of every road way; -1 and nullptr when none is crossed or with fewer than 2 vertices.
    float FindRoadWay(TRoadWayItem *&roadWay) const;
    float RoadWayDistance() const;
    // The bus-bay pieces: when the nearest road way's passport category holds "КАРМАН" (any letter
    // case), every road way sharing a vertex with it whose category holds both "КАРМАН" and "ОСТ".
    void CollectBusBays(TConnectedItems &list) const;
    // The sum of their areas; -1 with fewer than 2 vertices.
    double BusBayArea() const;
    // The smaller and the larger station, on the reference axis, of the pavilion's ends (vertex 0 and
    // vertex 0 + length along the direction); -1 without an axis or with fewer than 2 vertices.
    float AxisStart() const;
    float AxisEnd() const;
    // The axis's right side name when vertex 0 lies on it or to its right, else its left side name;
    // "???" without a guide axis or with fewer than 2 vertices.
    Cp1251String GetAxisSideName() const;

    // ---- Fields
    float Width() const { return Width_; }
    void SetWidth(float width);
    float Length() const { return Length_; }
    void SetLength(float length);
    const Cp1251String &Routes() const { return Routes_; }
    void SetRoutes(const Cp1251String &text);
    const Cp1251String &Name() const { return Name_; }
    void SetName(const Cp1251String &text);
    float PlatformArea() const { return PlatformArea_; }
    void SetPlatformArea(float area);
    uint8_t Pavilion() const { return Pavilion_; }
    // Clearing the flag also zeroes the width and the length.
    void SetPavilion(uint8_t flag);

private:
    // The unit direction from vertex 0 to vertex 1; +x when they coincide or there is one vertex.
    TXYZ Direction() const;
    bool AxisStations(float &a, float &b) const;

    float Width_ = DefaultWidth;
    float Length_ = DefaultLength;
    Cp1251String Routes_;
    Cp1251String Name_;
    float PlatformArea_ = 0;
    uint8_t Pavilion_ = 1;
};

void RegisterStopItem();
