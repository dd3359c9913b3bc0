// make-street: writes a synthetic street file of a chosen size, for benchmarks, fuzz seeds and tests.
//   make-street [--vertices N] [--seed S] [--fragment] OUTPUT
// With --fragment the output is an item fragment (the copy buffer) of every third item instead.
#include "ObjectFillers.h"
#include "StreetGen.h"

#include "engine/NumText.h"
#include "model/AbstractItem.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: make-street [--vertices N] [--seed S] [--fragment] OUTPUT\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    TStreetGenOptions options;
    std::string output;
    bool fragment = false;
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
        } else if (arg == "--fragment") {
            fragment = true;
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            return Usage();
        }
    }
    if (output.empty())
        return Usage();
    try {
        UseObjectClasses();
        TStreetStructure street;
        GenerateStreet(street, options);
        if (fragment) {
            TConnectedItems copy(false);
            int n = 0;
            for (int code = 0; code < ItemTypeCount; ++code)
                for (int i = 0; i < street.Lists(code).Count(); ++i)
                    if (n++ % 3 == 0)
                        copy.AddItem(street.Lists(code).Items(i));
            TMemoryStream bytes;
            copy.SaveIndependent(bytes);
            bytes.SaveToFile(output);
        } else {
            street.SaveToFile(output);
        }
        std::printf("%s: %d vertices\n", output.c_str(), street.Pool().Count());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-street: %s\n", e.what());
        return 1;
    }
    return 0;
}
