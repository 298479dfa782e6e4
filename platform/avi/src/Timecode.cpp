#include "avi/Timecode.h"

#include <cstdio>

#include "dv/TimeCodeCounting.h"

namespace avi {

std::string FormatTimecode(const Timecode& tc)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames);
    return text;
}

std::string FormatLength(VideoSystem system, std::int64_t frames)
{
    const Timecode tc = dv::FrameToTimeCode(DvSystem(system), frames);
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", tc.nHours, tc.nMinutes, tc.nSeconds);
    return text;
}

std::vector<DropSecond> GroupDropsBySecond(VideoSystem system, const std::vector<std::uint32_t>& drops)
{
    std::vector<DropSecond> groups;
    for (const std::uint32_t frame : drops) {
        const Timecode tc = dv::FrameToTimeCode(DvSystem(system), frame);
        const int second = tc.nHours * 3600 + tc.nMinutes * 60 + tc.nSeconds;
        if (!groups.empty() && groups.back().nSecond == second)
            ++groups.back().nCount;
        else
            groups.push_back({second, 1});
    }
    return groups;
}

std::string FormatDropLine(const DropSecond& group)
{
    char text[96];
    std::snprintf(text, sizeof text, " %d:%02d:%02d %d", group.nSecond / 3600, (group.nSecond / 60) % 60,
                  group.nSecond % 60, group.nCount);
    return text;
}

} // namespace avi
