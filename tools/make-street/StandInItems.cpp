#include "StandInItems.h"

#include <memory>

namespace {

template <int Code, TStandInShape Shape> void RegisterIfFree() {
    if (!ItemClasses[Code])
        ItemClasses.Register(std::make_unique<TItemClassOf<TStandInItem<Code, Shape>>>(Code));
}

} // namespace

void RegisterStandInItemClasses() {
    RegisterIfFree<2, TStandInShape::Outline>();
    RegisterIfFree<3, TStandInShape::Outline>();
    RegisterIfFree<8, TStandInShape::Line>();
    RegisterIfFree<9, TStandInShape::Line>();
    RegisterIfFree<26, TStandInShape::Line>();
    RegisterIfFree<27, TStandInShape::Point>();
}
