#include "ProjCct.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sptest {

namespace {

std::string FindProgram(const std::string &name) {
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::filesystem::path p = std::filesystem::path(dir) / name;
        std::error_code ec;
        if (!dir.empty() && std::filesystem::is_regular_file(p, ec))
            return p.string();
    }
    return {};
}

} // namespace

std::vector<TXYZ_Dbl> RunCct(const std::string &operation, const std::vector<TXYZ_Dbl> &points) {
    const std::string cct = FindProgram("cct");
    if (cct.empty()) {
        ADD_FAILURE() << "cct (package proj-bin) is not on the PATH; scripts/install-deps installs it";
        return {};
    }
    TempDir dir;
    const std::string inFile = dir.File("in.txt"), outFile = dir.File("out.txt");
    {
        std::ofstream f(inFile);
        f.precision(17);
        for (const TXYZ_Dbl &p : points)
            f << p.x << ' ' << p.y << ' ' << p.z << " 0\n";
    }
    const std::string cmd = "'" + cct + "' -d 12 " + operation + " < '" + inFile + "' > '" + outFile + "'";
    if (std::system(cmd.c_str()) != 0) {
        ADD_FAILURE() << "failed: " << cmd;
        return {};
    }
    std::ifstream f(outFile);
    std::vector<TXYZ_Dbl> out;
    double x, y, z, t;
    while (f >> x >> y >> z >> t)
        out.push_back({x, y, z});
    EXPECT_EQ(out.size(), points.size()) << cmd;
    return out;
}

} // namespace sptest
