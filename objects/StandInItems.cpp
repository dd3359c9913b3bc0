#include "objects/StandInItems.h"

#include <memory>

namespace {

template <int Code, TStandInShape Shape> void RegisterIfFree() {
    if (!ItemClasses[Code])
        ItemClasses.Register(std::make_unique<TItemClassOf<TStandInItem<Code, Shape>>>(Code));
}

} // namespace

void RegisterStandInItemClasses() {
    // The surfaces and curbs have their classes; the model's own tests and the fragment fuzz target read
    // them without those classes.
    RegisterIfFree<RoadWayTypeCode, TStandInShape::Outline>();
    RegisterIfFree<TrotuarTypeCode, TStandInShape::Outline>();
    RegisterIfFree<BortTypeCode, TStandInShape::Line>();
    RegisterIfFree<KolodTypeCode, TStandInShape::Point>();
}
