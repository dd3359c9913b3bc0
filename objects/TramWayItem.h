#pragma once
// Tram lines: a line along the track drawn as a strip of rails and sleepers whose width follows the rut
// width (the standard 1.4 m gives a 2 m strip).
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"
#include "objects/RoadWallItem.h"

class TTramWayItem : public TLineItem {
public:
    static constexpr float DefaultRutWidth = 1.4f;

    // One batch: the strips with the picture "Текстуры\Tramway.bmp".
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return TramWayTypeCode; }

    // The line record, then "RUTWIDTH" (single) when the stored width is not 0; a stored width that is
    // not a finite number is an EStreetError.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;

    // As stored; 0 means the standard width.
    float RutWidth() const { return RutWidth_; }
    // A width below 0 or not finite is an EStreetError and changes nothing.
    void SetRutWidth(float width);
    // The stored width, or 1.4 when it is 0.
    float GetRutWidth() const { return RutWidth_ == 0 ? DefaultRutWidth : RutWidth_; }
    // The strip of the current rut width: from w to -w with w = rut width / 1.4, one period a metre.
    TLineStripShape Strip() const;

private:
    float RutWidth_ = 0;
};

void RegisterTramWayItem();
