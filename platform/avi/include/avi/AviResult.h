#pragma once
// Result codes of the AVI library. Failures are returned, never thrown.

namespace avi {

enum class AviResult {
    Ok = 0,
    IoError,         // the file could not be read, written, sized or flushed
    InvalidArgument, // a parameter is out of its range
    InvalidState,    // the call does not fit the object's state (writing after Finish, ...)
    IndexFull,       // the reserved super index has no room for another standard index
    NotAvi,          // the file does not start with a RIFF AVI header
    Damaged,         // the file's structure is broken beyond what the call can use
    Unsupported,     // a valid file this library does not handle (no DV stream, ...)
    Dropped,         // the frame asked for was dropped during recording
    OutOfRange,      // the frame number is past the stream's end
};

const char* AviResultText(AviResult result);

inline bool Succeeded(AviResult result) { return result == AviResult::Ok; }

} // namespace avi
