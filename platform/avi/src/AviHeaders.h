#pragma once
// The header part of a new AVI file ("RIFF" "AVI ", "hdrl" with "avih", one "strl" per stream
// with "strh", "strf" and an empty super index "indx" with reserved room, "odml" with "dmlh"),
// and where the fields the writer fills in later lie in it.

#include <cstdint>
#include <vector>

#include "avi/AviWriter.h"

namespace avi {

struct HeaderLayout {
    std::vector<std::uint8_t> vecBytes;
    std::uint64_t nAvihPos = 0;      // data of "avih"
    std::uint64_t nDmlhPos = 0;      // data of "dmlh"
    std::uint64_t nVideoStrhPos = 0; // data of the first "strh"
    std::uint64_t nVideoIndxPos = 0; // "indx" code of the first stream
    std::uint64_t nAudioStrhPos = 0; // Type 2 only
    std::uint64_t nAudioIndxPos = 0;
};

HeaderLayout BuildAviHeaders(const AviWriterOptions& options);

} // namespace avi
