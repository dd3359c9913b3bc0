#include "exchange/RegisterExchange.h"

#include "exchange/PlanDefineItem.h"

void RegisterExchangeObjects() {
    static const bool done = [] {
        RegisterPlanDefineItem();
        return true;
    }();
    (void)done;
}
