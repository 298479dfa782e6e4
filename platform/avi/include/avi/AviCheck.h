#pragma once
// The consistency check of a DV AVI file: what the program's readers rely on (as many index
// entries as the stream is long), that every index entry points at a whole chunk of its stream,
// and that the super index tells each standard index's duration truly, for players that seek
// through the super index without reading the standard indexes.

#include <string>
#include <vector>

#include "avi/AviParser.h"

namespace avi {

struct AviCheckResult {
    bool bConsistent = false;
    std::vector<std::string> vecProblems;
};

AviCheckResult CheckAvi(const AviParser& parser, FileIo& file);

} // namespace avi
