#pragma once
// Line markings: a painted line along the vertices, drawn as a textured strip whose texture, period and
// lateral edges come from the street's line-marking record with the marking's code. The type's batches
// follow the street's records, one textured batch per record and a last one, plain red, for markings
// whose code has no record; replacing the records makes the batches anew and every marking finds its
// record again by its code.
#include "engine/DxVertex.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

class TLineRazmetItem : public TLineItem {
public:
    // Strip of a marking without a record: 0.3 m wide, one texture period of 4 m.
    static constexpr float NoRecordDisp1 = 0.15f, NoRecordDisp2 = -0.15f, NoRecordPeriod = 4.0f;
    static constexpr D3DCOLOR NoRecordColor = MakeD3DColor(200, 0, 0, 255);
    static constexpr D3DCOLOR YellowColor = MakeD3DColor(160, 128, 0, 255);
    static constexpr D3DCOLOR PlainColor = MakeD3DColor(0, 0, 0, 255);

    // With P the street's records (the default table when it has none of its own): P textured triangle
    // batches, then the untextured one.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return LineRazmetTypeCode; }

    // The record head, then "LNRMGOST" and "LNRMMIRR" (both optional); binds the record by the code.
    void LoadFromStream(TStream &stream) override;
    // The record head, then "LNRMGOST" and "LNRMMIRR", always.
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;
    // Label places whose line crosses a segment of the marking, as it runs now or as it ran when they
    // last heard of it, are laid out again.
    void PointsChanged() override;
    // Tells those label places (a change of code or mirror, or the marking going).
    void TellLabelPlaces();

    const Cp1251String &Gost() const { return Gost_; }
    // The code, and the record bound by it.
    void SetGost(const Cp1251String &code);
    // The byte as stored; anything but 0 puts the strip on the other side.
    uint8_t Mirror() const { return Mirror_; }
    void SetMirror(uint8_t mirror);
    // The index of the record with the code in the street's records; -1 when none has it. Bound when the
    // code is set or read, and again at every rebuild (the records may have been replaced since).
    int32_t ParamIndex() const { return ParamIndex_; }

private:
    void Bind();

    // The vertices as the label places last heard of them.
    TXYZArray Told_;
    uint8_t Mirror_ = 0;
    Cp1251String Gost_;
    int32_t ParamIndex_ = -1;
    bool Reading_ = false;
};

// Marks for a rebuild every active item of the type whose line crosses a segment of the polyline (the
// label places a marking runs through are laid out again); they are found through the street's spatial
// index. Nothing saved changes.
void MarkCrossingItems(TStreetStructure &street, int typeCode, std::span<const TXYZ> polyline);

// Where a marking texture that is missing or cannot be read is reported: once per file in a run (the
// file is not tried again), the marking drawn without it. The default writes the text to the error
// output; an empty handler restores it.
void SetLnTextureReporter(std::function<void(const std::string &)> reporter);
// Forgets the textures read and the failures reported (tests).
void ForgetLnTextures();

void RegisterLineRazmetItem();
