#include "engine/ListUtils.h"

std::string ExtractFileDirNoSlash(std::string_view fileName) {
    const std::size_t sep = fileName.find_last_of("\\/");
    return sep == std::string_view::npos ? std::string() : std::string(fileName.substr(0, sep));
}
