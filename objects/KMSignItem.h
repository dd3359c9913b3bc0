#pragma once
// Kilometre posts: one vertex, a kilometre number for each of the post's two faces and a status text. A
// post draws at once (not through batches) as two small plates with their numbers, turned to its reference
// axis and thinned out when zoomed out, so that only every 2nd, 5th, 10th ... kilometre shows.
#include "model/ItemTypeCodes.h"
#include "model/PointItem.h"

#include <cstdint>
#include <limits>

class TTextureSurface;

class TKMSignItem : public TPointItem {
public:
    static constexpr int32_t NoKm = -1;

    // Draw shows nothing unless the sign's point lies within the view's radius.
    static constexpr bool ClassDrawsNearHitBounds = true;
    int GetTypeCode() const override { return KMSignTypeCode; }

    // The record head, then "KMNUMBER" (KmA, KmB; always) and "KMSTATUS" (when not empty).
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void PointsChanged() override;
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

    int32_t KmA() const { return KmA_; }
    void SetKmA(int32_t km);
    int32_t KmB() const { return KmB_; }
    void SetKmB(int32_t km);
    const Cp1251String &Status() const { return Status_; }
    void SetStatus(const Cp1251String &status);

    // The sign's value cache: not a number once its vertex changed, whether through this sign or through
    // another item sharing the vertex.
    double CachedValue() const;
    void SetCachedValue(double value);

    // The first of 1, 2, 5, 10, 20, 50, 100 whose thousand metres span at least 100 pixels of that ground
    // size; 100 when none does.
    static int32_t ZoomStep(float pixelSize);
    // Whether the sign shows at the zoom step: its first number (or its second when it has no first) is a
    // multiple of the step. A sign with neither number never shows.
    bool VisibleAtStep(int32_t step) const;
    // The plate scale: the street's "ZnakScale" / 100 (1 when that gives 0) where "KMSignScaled" is "1",
    // else 12 pixels of that ground size.
    float PlateScale(float pixelSize) const;
    // The direction of the reference axis at the projection of the vertex (radians); 0 without one.
    float Direction() const;

    // The plate picture ("Знаки\KM.bmp" of the data files), read once; nullptr when it cannot be read
    // (reported once).
    static TTextureSurface *PlateTexture();
    // Forgets the picture so that the next use reads it again (tests).
    static void ResetPlateTexture();

private:
    int32_t KmA_ = 0;
    int32_t KmB_ = 0;
    Cp1251String Status_;
    double CachedValue_ = std::numeric_limits<double>::quiet_NaN();
    TXYZ CachedAt_;
};

void RegisterKMSignItem();
