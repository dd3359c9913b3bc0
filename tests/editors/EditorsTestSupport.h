#pragma once
// The editors without a window: a street of the real surface classes and a test axis, a host whose view
// maps one pixel to 0.1 m, the selection the modules see, and scripted prompts.
#include "editors/EditorKit.h"
#include "engine/Cp1251Qt.h"
#include "model/AbstractItem.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"
#include "model/StreetStructure.h"
#include "objects/RegisterObjects.h"
#include "shell/ShellTestSupport.h"
#include "support/StreetBuild.h"

#include <memory>

namespace editortest {

// A guide axis for the reference-axis tests, until the real axis class is there.
class TTestAxis : public TLineItem, public TGuideAxisInfo {
public:
    int GetTypeCode() const override { return AxisTypeCode; }
    bool HasAttribute(const Cp1251String &) const override { return false; }
    Cp1251String GetLeftSideName() const override { return Cp("лев"); }
    Cp1251String GetRightSideName() const override { return Cp("прав"); }
    Cp1251String GetCenterSideName() const override { return Cp("ось"); }
};

inline void RegisterClasses() {
    RegisterObjects();
    if (!ItemClasses[AxisTypeCode])
        ItemClasses.Register(std::make_unique<TItemClassOf<TTestAxis>>(AxisTypeCode));
}

// The selection of one street, as the main window gives it to the modules.
class TTestSelection final : public IContextSelection {
public:
    explicit TTestSelection(TStreetStructure &s) : s_(s) {}
    int CurrentItemType() const override {
        return s_.Selection().Count() > 0 ? s_.Selection().Items(0)->GetTypeCode() : -1;
    }
    int SelectedCount() const override { return s_.Selection().Count(); }
    TItemTypeSet SelectedTypes() const override {
        TItemTypeSet t;
        for (TAbstractItem *i : s_.Selection().Slots())
            if (i)
                t.Include(i->GetTypeCode());
        return t;
    }
    TAbstractItem *CurrentItem() const override {
        return s_.Selection().Count() > 0 ? s_.Selection().Items(0) : nullptr;
    }

private:
    TStreetStructure &s_;
};

struct TClassesFirst {
    TClassesFirst() { RegisterClasses(); }
};

class EditorTest : private TClassesFirst, public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        TEditorHost host;
        host.Street = [this]() -> TStreetStructure * { return current; };
        host.Refresh = [this] {
            ++refreshes;
            UpdateContextModules();
        };
        host.MouseMode = [this] { return mode; };
        host.SetMouseMode = [this](TMouseEvents *m) { mode = m; };
        host.ScreenToGround = [](int x, int y) { return TXYZ{float(x) / 10, float(y) / 10, 0}; };
        host.PixelSizeAt = [](int, int) { return 0.1; };
        host.PopupPosition = [] { return QPoint(10, 20); };
        SetEditorHost(host);
        SetContextSelection(&selection);
    }
    void TearDown() override {
        FreeContextModules();
        shelltest::RunDeferredDeletes();
        SetContextSelection(nullptr);
        SetEditorHost({});
        ShellTest::TearDown();
    }
    TAbstractItem *Make(int code, std::initializer_list<TXYZ> points) {
        return sptest::MakeItem(street, code, points);
    }
    // A rectangle of the type from (x0, y0) to (x1, y1).
    TAbstractItem *Box(int code, float x0, float y0, float x1, float y1) {
        return Make(code, {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}});
    }
    void Select(std::initializer_list<TAbstractItem *> items) {
        street.Selection().Clear();
        for (TAbstractItem *i : items)
            street.Selection().AddItem(i);
        UpdateContextModules();
    }

    TStreetStructure street;
    TStreetStructure *current = &street;
    TTestSelection selection{street};
    int refreshes = 0;
    TMouseEvents *mode = nullptr;
};

} // namespace editortest
