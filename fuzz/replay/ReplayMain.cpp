// Replays every file of a seed corpus folder once through a fuzz target's entry point, so the normal
// sanitizer build checks that no known input crashes, hangs or leaks.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    // A corpus that went missing would otherwise replay nothing and pass.
    std::error_code ec;
    if (!fs::is_directory(argv[1], ec)) {
        std::fprintf(stderr, "%s: the corpus folder %s does not exist\n", argv[0], argv[1]);
        return 1;
    }
    std::vector<fs::path> files;
    for (const auto &e : fs::recursive_directory_iterator(argv[1], ec))
        if (e.is_regular_file())
            files.push_back(e.path());
    if (ec) {
        std::fprintf(stderr, "%s: cannot list %s: %s\n", argv[0], argv[1], ec.message().c_str());
        return 1;
    }
    if (files.empty()) {
        std::fprintf(stderr, "%s: the corpus folder %s holds no inputs\n", argv[0], argv[1]);
        return 1;
    }
    std::sort(files.begin(), files.end());
    // The empty input is always part of the corpus.
    LLVMFuzzerTestOneInput(nullptr, 0);
    for (const auto &f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], f.c_str());
            return 1;
        }
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size() + 1);
    return 0;
}
