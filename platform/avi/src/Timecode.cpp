#include "avi/Timecode.h"

#include <cstdio>

namespace avi {

namespace {
constexpr std::int64_t kFramesPer10MinutesDf = 17982; // 10 minutes of drop-frame 29.97 video
constexpr std::int64_t kFramesPerMinuteDf = 1798;     // a minute that skips two numbers
constexpr std::int64_t kFramesPerHour625 = 90000;
} // namespace

Timecode FrameToTimecode(VideoSystem system, std::int64_t n)
{
    Timecode tc;
    if (system == VideoSystem::System625_50) {
        tc.nHours = static_cast<int>(n / kFramesPerHour625);
        tc.nMinutes = static_cast<int>((n / 1500) % 60);
        tc.nSeconds = static_cast<int>((n / 25) % 60);
        tc.nFrames = static_cast<int>(n % 25);
        return tc;
    }
    // Drop-frame numbering: two frame numbers skipped at every minute except each tenth.
    const std::int64_t m = n + 18 * (n / kFramesPer10MinutesDf) +
                           2 * (((n % kFramesPer10MinutesDf) - 2) / kFramesPerMinuteDf);
    tc.nHours = static_cast<int>(m / 108000);
    tc.nMinutes = static_cast<int>((m / 1800) % 60);
    tc.nSeconds = static_cast<int>((m / 30) % 60);
    tc.nFrames = static_cast<int>(m % 30);
    return tc;
}

std::int64_t TimecodeToFrame(VideoSystem system, int h, int m, int s, int f)
{
    if (system == VideoSystem::System625_50)
        return f + 25LL * s + 1500LL * m + kFramesPerHour625 * h;
    const int skipped = (m % 10 != 0 && s == 0 && f < 2) ? 2 : f;
    return skipped + 30LL * s + 107880LL * h + kFramesPerMinuteDf * m + 2LL * ((m + 60LL * h) / 10);
}

std::string FormatTimecode(const Timecode& tc)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames);
    return text;
}

std::string FormatLength(VideoSystem system, std::int64_t frames)
{
    const Timecode tc = FrameToTimecode(system, frames);
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", tc.nHours, tc.nMinutes, tc.nSeconds);
    return text;
}

std::vector<DropSecond> GroupDropsBySecond(VideoSystem system, const std::vector<std::uint32_t>& drops)
{
    std::vector<DropSecond> groups;
    for (const std::uint32_t frame : drops) {
        const Timecode tc = FrameToTimecode(system, frame);
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
