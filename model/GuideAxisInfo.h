#pragma once
// What polygons and their area figures ask of a guide axis: its technical attribute and the names of its
// sides. The guide-axis class answers; any other item serving as a reference axis has the default names.
#include "engine/Cp1251.h"

class TGuideAxisInfo {
public:
    virtual ~TGuideAxisInfo() = default;
    // The technical attribute contains the text, in any letter case.
    virtual bool HasAttribute(const Cp1251String &text) const = 0;
    virtual Cp1251String GetLeftSideName() const = 0;
    virtual Cp1251String GetRightSideName() const = 0;
    virtual Cp1251String GetCenterSideName() const = 0;
};

// The side names of an axis that names none.
Cp1251String DefaultLeftSideName();   // "нечет."
Cp1251String DefaultRightSideName();  // "чет."
Cp1251String DefaultCenterSideName(); // "ось"
