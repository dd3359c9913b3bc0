// sp_datagen SOURCE_DIR OUTPUT_DIR: writes every data file of the program from the tables of data/.
#include "Generators.h"

#include "engine/Streams.h"

#include <cstdio>
#include <exception>

namespace datagen {

void WriteDataFile(const TContext &ctx, const std::string &relName, const std::string &bytes) {
    const std::filesystem::path file =
        ctx.out / std::filesystem::path(std::u8string(relName.begin(), relName.end()));
    std::filesystem::create_directories(file.parent_path());
    SaveBytesToFile(file.string(), bytes.data(), bytes.size());
}

} // namespace datagen

namespace {

const struct {
    const char *name;
    void (*run)(const datagen::TContext &);
} Generators[] = {
    {"line markings", datagen::GenerateLineMarkings},
    {"curb widths", datagen::GenerateCurbWidths},
    {"pictures", datagen::GeneratePictures},
    {"signs", datagen::GenerateSigns},
    {"arrow symbols", datagen::GenerateArrowSymbols},
    {"road glyphs", datagen::GenerateRoadGlyphs},
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const datagen::TContext ctx{argv[1], argv[2]};
    for (const auto &g : Generators) {
        try {
            g.run(ctx);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "sp_datagen: %s: %s\n", g.name, e.what());
            return 1;
        }
    }
    return 0;
}
