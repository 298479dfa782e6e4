#pragma once
// Time code texts, and the grouping of dropped frames by second that the recording log and the
// drop lists show. Frame numbers and time codes are counted by dv/TimeCodeCounting.h.

#include <cstdint>
#include <string>
#include <vector>

#include "avi/DvPacks.h"

namespace avi {

// "%02d:%02d:%02d:%02d"
std::string FormatTimecode(const Timecode& timecode);
// A stream length as "%d:%02d:%02d" (hours, minutes, seconds of the time code of its frame count).
std::string FormatLength(VideoSystem system, std::int64_t frames);

struct DropSecond {
    int nSecond = 0; // seconds from the start of the file
    int nCount = 0;  // frames dropped within that second
    bool operator==(const DropSecond&) const = default;
};

// Groups ascending dropped-frame numbers by the second of their time code.
std::vector<DropSecond> GroupDropsBySecond(VideoSystem system, const std::vector<std::uint32_t>& drops);

// One recording-log line of a group, without the line end: " %d:%02d:%02d %d".
std::string FormatDropLine(const DropSecond& group);

} // namespace avi
