// make-street: writes a synthetic street file of a chosen size, for benchmarks, fuzz seeds and tests.
//   make-street [--vertices N] [--seed S] OUTPUT.zrv
#include "StandInItems.h"
#include "StreetGen.h"

#include "engine/NumText.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: make-street [--vertices N] [--seed S] OUTPUT.zrv\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    TStreetGenOptions options;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int32_t v = 0;
        if ((arg == "--vertices" || arg == "--seed") && i + 1 < argc) {
            if (!TryStrToInt(argv[++i], v) || v < 0)
                return Usage();
            if (arg == "--vertices")
                options.Vertices = v;
            else
                options.Seed = static_cast<uint32_t>(v);
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            return Usage();
        }
    }
    if (output.empty())
        return Usage();
    try {
        RegisterStandInItemClasses();
        TStreetStructure street;
        GenerateStreet(street, options);
        street.SaveToFile(output);
        std::printf("%s: %d vertices\n", output.c_str(), street.Pool().Count());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-street: %s\n", e.what());
        return 1;
    }
    return 0;
}
