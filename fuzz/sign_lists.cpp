// The sign tables of DataFiles (descriptions, areas, old-name translation) on arbitrary bytes: the input,
// split at its first two zero bytes, becomes the three files; every name they hold is looked up, its area
// read as a number and its sign number derived, and nothing fails or reads out of bounds.
#include "model/NameValueList.h"
#include "objects/MetafileLib.h"
#include "objects/SignPicture.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

const std::filesystem::path &Folder() {
    static const std::filesystem::path dir = [] {
        const auto d = std::filesystem::temp_directory_path() / ("sign_lists_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(d / u8"Знаки");
        setenv("STREETPLAN_DATAFILES", d.c_str(), 1);
        return d;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (int k = 0; k < 2; ++k) {
        const std::size_t zero = input.find('\0', from);
        if (zero == std::string::npos)
            break;
        parts.push_back(input.substr(from, zero - from));
        from = zero + 1;
    }
    parts.push_back(input.substr(from));
    parts.resize(3);
    const char8_t *names[3] = {u8"Описания знаков.txt", u8"Площади знаков.txt", u8"OldLibTranslation.txt"};
    for (int k = 0; k < 3; ++k)
        std::ofstream(Folder() / u8"Знаки" / names[k], std::ios::binary) << parts[std::size_t(k)];
    FreeSignTables();
    TakeSignLibraryNotices();
    for (const std::string &part : parts) {
        TNameValueList lines;
        lines.SetText(Cp1251String(part));
        for (int i = 0; i < std::min(lines.Count(), 100); ++i) {
            const Cp1251String name = lines.Names(i);
            const float area = SignAreaValue(SignAreaText(name));
            Check(std::isfinite(area));
            SignDescription(name);
            TranslateOldSignName(name);
            Check(!SignNumberFromFileName(name).Empty());
            Check(!RoadSignNumberFromFileName(name).Empty());
        }
    }
    return 0;
}
