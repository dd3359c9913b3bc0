// Enhanced metafiles from outside: load, then play into a small image. Any input may only end in a
// clear error.
#include "MetafileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return FuzzMetafile(data, size);
}
