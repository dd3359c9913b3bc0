#include "ObjectsTestUtil.h"

#include "objects/RegisterObjects.h"

namespace objtest {

namespace {

template <class T> void RegisterAt(int code) {
    if (!ItemClasses[code])
        ItemClasses.Register(std::make_unique<TItemClassOf<T>>(code));
}

} // namespace

void RegisterClasses() {
    static const bool done = [] {
        RegisterObjects();
        RegisterAt<TTestPolygon<TestFigure>>(TestFigure);
        RegisterAt<TTestPolygon<TestCalcArea>>(TestCalcArea);
        RegisterAt<TTestPolygon<TestDefect>>(TestDefect);
        RegisterAt<TTestLine>(TestLine);
        RegisterAt<TTestPoint>(TestPoint);
        RegisterAt<TTestOriented>(TestOriented);
        return true;
    }();
    (void)done;
}

} // namespace objtest
