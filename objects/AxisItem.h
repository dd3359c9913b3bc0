#pragma once
// Guide axes: lines along which stations (distances along) and lateral offsets of other items are measured.
// The street's main axis is one of them; polygons find their passport axis among axes whose technical
// attribute holds "PasspSq". An axis draws its line, small diamonds at its vertices, and on request picket
// marks every picket step with their labels and short ticks every tenth of a step.
#include "engine/DxVertex.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <cstdint>

class TAxisItem : public TLineItem, public TGuideAxisInfo {
public:
    static constexpr float DefaultPicketStep = 100.0f;
    static constexpr float DefaultMarkWidth = 20.0f;
    // Marks (pickets, or ticks) drawn at most on one axis; a step that would need more draws none of them.
    static constexpr int64_t MaxMarks = 20000;

    // Entry 0 the lines, (70, 70, 70); entry 1 the label triangles on the small text atlas.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return AxisTypeCode; }

    // The record head, then the fields (SaveFields). A record without "AXISNAME" takes the comment as the
    // name; the point list is marked changed.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The own fields without the head: "AXISNAME" (always, so that an empty name stays empty), "AXISMARK",
    // "AXISLSTP", "AXISMRKW", "AXISTECH" when not empty, "AXISCNTR", "AXISSHRT", "AXISCOLR", and the side
    // names when not empty.
    void SaveFields(TStream &stream) const;
    // Reads what SaveFields writes (every tag optional, an absent one keeps the default); the street is
    // marked modified when a field changed.
    void LoadFields(TStream &stream);

    void RebuildGraphics() override;
    Cp1251String GetItemName() const override { return Name_; }

    // ---- Guide-axis information
    bool IsMainAxis() const;
    bool HasAttribute(const Cp1251String &text) const override;
    Cp1251String GetLeftSideName() const override;
    Cp1251String GetRightSideName() const override;
    Cp1251String GetCenterSideName() const override;
    // Set only when the text differs from what the getter returns (the default text on an empty field
    // changes nothing).
    void SetLeftSideName(const Cp1251String &text);
    void SetRightSideName(const Cp1251String &text);
    void SetCenterSideName(const Cp1251String &text);

    // ---- Fields
    bool DrawMarks() const { return DrawMarks_ != 0; }
    void SetDrawMarks(bool on);
    bool OnMainLayer() const { return OnMainLayer_ != 0; }
    void SetOnMainLayer(bool on);
    bool DrawShortMarks() const { return DrawShortMarks_ != 0; }
    void SetDrawShortMarks(bool on);
    D3DCOLOR Color() const { return Color_; }
    void SetColor(D3DCOLOR color);
    // As stored; drawing takes 100 for a step that is not a finite number above 0.
    float PicketStep() const { return PicketStep_; }
    void SetPicketStep(float step);
    float EffectivePicketStep() const;
    float MarkWidth() const { return MarkWidth_; }
    void SetMarkWidth(float width);
    const Cp1251String &TechAttr() const { return TechAttr_; }
    void SetTechAttr(const Cp1251String &text);
    const Cp1251String &Name() const { return Name_; }
    void SetName(const Cp1251String &name);
    const Cp1251String &LeftSideNameField() const { return LeftSideName_; }
    const Cp1251String &RightSideNameField() const { return RightSideName_; }
    const Cp1251String &CenterSideNameField() const { return CenterSideName_; }

private:
    void ReadFields(TStream &stream, bool nameFromComment);
    void Changed(bool redraw);

    uint8_t DrawMarks_ = 0;
    uint8_t OnMainLayer_ = 0;
    uint8_t DrawShortMarks_ = 0;
    D3DCOLOR Color_ = 0;
    float PicketStep_ = DefaultPicketStep;
    float MarkWidth_ = DefaultMarkWidth;
    Cp1251String TechAttr_;
    Cp1251String Name_;
    Cp1251String LeftSideName_;
    Cp1251String RightSideName_;
    Cp1251String CenterSideName_;
};

// The label of tick i (i mod 10 not 0) of a step: "%2.0f" of 0.1 x (i mod 10) x step.
Cp1251String AxisTickLabel(int64_t i, float step);

void RegisterAxisItem();
