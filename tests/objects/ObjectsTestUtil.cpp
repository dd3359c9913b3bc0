#include "ObjectsTestUtil.h"

#include "objects/ItemTextures.h"
#include "objects/RegisterObjects.h"

#include <cstdlib>

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

void WithDataFiles::SetUp() {
    const char *old = std::getenv("STREETPLAN_DATAFILES");
    Old_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("STREETPLAN_DATAFILES", Dir_.Path().string().c_str(), 1);
    ForgetItemTextures();
    SetItemTextureWarning([this](const std::string &m) { Warnings.push_back(m); });
}

void WithDataFiles::TearDown() {
    if (Old_)
        setenv("STREETPLAN_DATAFILES", Old_->c_str(), 1);
    else
        unsetenv("STREETPLAN_DATAFILES");
    SetItemTextureWarning({});
    ForgetItemTextures();
}

} // namespace objtest
