#pragma once
// Problems met while drawing (a picture, texture or font that is missing or unreadable). Drawing goes on
// without what is missing; each problem is reported once a run, on the standard error, and kept in a list
// that tests and the shell can read.
#include <string>
#include <vector>

// True when the key is new (the text was reported now); False when it was reported before.
bool ReportDrawProblemOnce(const std::string &key, const std::string &text);
bool DrawProblemReported(const std::string &key);
// The texts reported so far, in order.
const std::vector<std::string> &DrawProblems();
// Forgets every report (tests).
void ClearDrawProblems();
