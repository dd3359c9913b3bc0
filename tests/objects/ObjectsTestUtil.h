#pragma once
// Helpers of the item-class tests: test classes for the base item classes at codes the road object units
// leave free, the real classes registered once, streets to and from bytes.
#include "engine/Cp1251.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/GuideAxisInfo.h"
#include "objects/AxisItem.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"
#include "model/PointItem.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/OrientPointItem.h"
#include "support/StreetBuild.h"

#include "support/StreetBytes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace objtest {

using sptest::LoadBytes;
using sptest::MakeItem;
using sptest::MakeItemOn;
using sptest::SaveBytes;

// The codes the test classes take (their real classes are not built here).
constexpr TItemTypeCode TestFigure = SlopeMeasureTypeCode, TestLine = LnDefectTypeCode,
                        TestPoint = RadiusMeasureTypeCode, TestOriented = SvetoforTypeCode,
                        TestCalcArea = CalcAreaTypeCode, TestAxis = AxisTypeCode,
                        TestDefect = SqDefectTypeCode;

template <int Code> class TTestPolygon : public TPolygonItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &s) {
        InitPolygonBatches(s, Code, MakeD3DColor(128, 128, 128, 255), MakeD3DColor(1, 1, 1, 255));
    }
    int GetTypeCode() const override { return Code; }
};

class TTestLine : public TLineItem {
public:
    int GetTypeCode() const override { return TestLine; }
};

class TTestPoint : public TPointItem {
public:
    int GetTypeCode() const override { return TestPoint; }
};

class TTestOriented : public TOrientPointItem {
public:
    int GetTypeCode() const override { return TestOriented; }
};

// Guide axes are the real class.
using TTestAxis = TAxisItem;

// The real item classes and the test classes, once per process.
void RegisterClasses();

// A fixture whose classes are registered before its members (streets among them) are made.
class TWithClasses : public ::testing::Test {
protected:
    TWithClasses() { RegisterClasses(); }
};

// The data files pointed at a folder of the test's for its run (empty unless the test fills it), the
// item textures' warnings collected.
class WithDataFiles : public TWithClasses {
protected:
    void SetUp() override;
    void TearDown() override;

    sptest::TempDir Dir_;
    std::optional<std::string> Old_;
    std::vector<std::string> Warnings;
};

template <class T> T *MakeAs(TStreetStructure &s, int code, std::initializer_list<TXYZ> points) {
    return dynamic_cast<T *>(MakeItem(s, code, points));
}

inline std::string W(const char *utf8) {
    return Cp(utf8).Bytes();
}

} // namespace objtest
