#pragma once
// The consistency check of "plover-avi check": what the program's readers rely on, and that
// every index entry points at a whole chunk of its stream.

#include <string>
#include <vector>

#include "avi/AviParser.h"

struct AviCheckResult {
    bool bConsistent = false;
    std::vector<std::string> vecProblems;
};

AviCheckResult CheckAvi(const avi::AviParser& parser, avi::FileIo& file);
