#include "dv/TimeCodeCounting.h"

namespace dv {

namespace {

// 625/50: plain counting.
constexpr int64_t kFrames625PerSecond = 25;
constexpr int64_t kFrames625PerMinute = 60 * kFrames625PerSecond;
constexpr int64_t kFrames625PerHour = 60 * kFrames625PerMinute;

// 525/60 drop-frame counting: ten minutes hold 17,982 frames.
constexpr int64_t kLabels525PerSecond = 30;
constexpr int64_t kLabels525PerMinute = 60 * kLabels525PerSecond;
constexpr int64_t kLabels525PerHour = 60 * kLabels525PerMinute;
constexpr int64_t kSkippedLabelsPerMinute = 2;
constexpr int64_t kSkippedLabelsPerTenMinutes = 9 * kSkippedLabelsPerMinute;
constexpr int64_t kFrames525PerTenMinutes = 10 * kLabels525PerMinute - kSkippedLabelsPerTenMinutes;
constexpr int64_t kFrames525PerDropMinute = kLabels525PerMinute - kSkippedLabelsPerMinute;

constexpr int kHoursPerDay = 24;

}  // namespace

TimeCode FrameToTimeCode(System system, int64_t nFrame) {
    TimeCode tc;
    if (system == System::System625_50) {
        tc.nHours = int(nFrame / kFrames625PerHour);
        tc.nMinutes = int(nFrame / kFrames625PerMinute % 60);
        tc.nSeconds = int(nFrame / kFrames625PerSecond % 60);
        tc.nFrames = int(nFrame % kFrames625PerSecond);
        return tc;
    }
    // The label count is the frame number plus the skipped labels: 18 for each whole ten minutes,
    // and 2 for each minute boundary crossed inside the current ten minutes.
    const int64_t nInTen = nFrame % kFrames525PerTenMinutes;
    const int64_t nLabel = nFrame + kSkippedLabelsPerTenMinutes * (nFrame / kFrames525PerTenMinutes) +
                           kSkippedLabelsPerMinute * ((nInTen - kSkippedLabelsPerMinute) / kFrames525PerDropMinute);
    tc.nHours = int(nLabel / kLabels525PerHour);
    tc.nMinutes = int(nLabel / kLabels525PerMinute % 60);
    tc.nSeconds = int(nLabel / kLabels525PerSecond % 60);
    tc.nFrames = int(nLabel % kLabels525PerSecond);
    return tc;
}

int64_t TimeCodeToFrame(System system, int nHours, int nMinutes, int nSeconds, int nFrames) {
    const int64_t h = nHours, m = nMinutes, s = nSeconds;
    int64_t f = nFrames;
    if (system == System::System625_50) return f + kFrames625PerSecond * s + kFrames625PerMinute * m + kFrames625PerHour * h;
    // The skipped labels of a minute not divisible by ten stand for the first real frame.
    if (m % 10 != 0 && s == 0 && f < kSkippedLabelsPerMinute) f = kSkippedLabelsPerMinute;
    // Count every minute as one that skips two labels, then give back the two of each tenth minute.
    const int64_t nAllMinutes = 60 * h + m;
    return f + kLabels525PerSecond * s + kFrames525PerDropMinute * nAllMinutes + kSkippedLabelsPerMinute * (nAllMinutes / 10);
}

TimeCode FrameNumberToTimeCode(System system, uint64_t nFrame) {
    TimeCode tc = FrameToTimeCode(system, int64_t(nFrame));
    tc.nHours %= kHoursPerDay;
    tc.bDropFrame = system == System::System525_60;
    return tc;
}

}  // namespace dv
