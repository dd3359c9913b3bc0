#include "engine/StreetError.h"

void RaiseStreetError(const std::string &where, const std::string &reason) {
    throw EStreetError(where + ": " + reason);
}
