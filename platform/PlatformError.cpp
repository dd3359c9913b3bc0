#include "platform/PlatformError.h"

void RaisePlatformError(const std::string &where, const std::string &reason) {
    throw EPlatformError(where + ": " + reason);
}
