#include "engine/DrawProblems.h"

#include <cstdio>
#include <set>

namespace {

struct TProblems {
    std::set<std::string> Keys;
    std::vector<std::string> Texts;
};

TProblems &Problems() {
    static TProblems problems;
    return problems;
}

} // namespace

bool ReportDrawProblemOnce(const std::string &key, const std::string &text) {
    if (!Problems().Keys.insert(key).second)
        return false;
    Problems().Texts.push_back(text);
    std::fprintf(stderr, "StreetPlan: %s\n", text.c_str());
    return true;
}

bool DrawProblemReported(const std::string &key) {
    return Problems().Keys.count(key) != 0;
}

const std::vector<std::string> &DrawProblems() {
    return Problems().Texts;
}

void ClearDrawProblems() {
    Problems().Keys.clear();
    Problems().Texts.clear();
}
