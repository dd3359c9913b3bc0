#include "TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace sptest {

TempDir::TempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto p = base / ("streetplan-test-" + std::to_string(rd()) + std::to_string(rd()));
        if (std::filesystem::create_directory(p)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("TempDir: cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

DataFilesAt::DataFilesAt(const std::filesystem::path &dir) {
    if (const char *old = std::getenv("STREETPLAN_DATAFILES"))
        old_ = old;
    setenv("STREETPLAN_DATAFILES", dir.c_str(), 1);
}

DataFilesAt::~DataFilesAt() {
    if (old_)
        setenv("STREETPLAN_DATAFILES", old_->c_str(), 1);
    else
        unsetenv("STREETPLAN_DATAFILES");
}

std::vector<uint8_t> ReadFileBytes(const std::string &fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + fileName);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string &fileName, const std::vector<uint8_t> &bytes) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + fileName);
}

std::filesystem::path SourceDir() {
    const char *s = std::getenv("STREETPLAN_SOURCE");
    return s ? std::filesystem::path(s) : std::filesystem::current_path();
}

} // namespace sptest
