#pragma once
// The consistency check of a DV AVI file: what the program's readers rely on (as many index
// entries as the stream is long), that every index entry points at a whole chunk of its stream,
// that no two entries name one chunk and that each stream's entries follow the chunks' order in
// the file (a standard index copied over another, or a super index with swapped entries, maps
// frames to the wrong chunks), and that the super index tells each standard index's duration
// truly, for players that seek through the super index without reading the standard indexes.

#include <string>
#include <vector>

#include "avi/AviParser.h"

namespace avi {

struct AviCheckResult {
    bool bConsistent = false;
    // Readable and whole, but indexed only by a legacy "idx1": the program's dropped-frame
    // reader needs the OpenDML index, so such a file is not consistent, yet it is not damaged.
    bool bLegacyIndexOnly = false;
    std::vector<std::string> vecProblems;
};

AviCheckResult CheckAvi(const AviParser& parser, FileIo& file);

} // namespace avi
