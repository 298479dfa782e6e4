#include "avi/AviResult.h"

namespace avi {

const char* AviResultText(AviResult result)
{
    switch (result) {
    case AviResult::Ok: return "ok";
    case AviResult::IoError: return "the file could not be read or written";
    case AviResult::InvalidArgument: return "invalid argument";
    case AviResult::InvalidState: return "not possible in the writer's state";
    case AviResult::IndexFull: return "the super index is full";
    case AviResult::NotAvi: return "not an AVI file";
    case AviResult::Damaged: return "the file is damaged";
    case AviResult::Unsupported: return "not a DV AVI file";
    case AviResult::Dropped: return "the frame was dropped";
    case AviResult::OutOfRange: return "no such frame";
    }
    return "unknown result";
}

} // namespace avi
