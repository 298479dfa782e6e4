#include "dv/FrameInfo.h"

namespace dv {

namespace {

std::span<const uint8_t, dif::kPackSize> AsPack(const Pack& p) { return std::span<const uint8_t, dif::kPackSize>(p); }

}  // namespace

StreamProperties ReadStreamProperties(std::span<const uint8_t> frame) {
    StreamProperties props;
    props.nWideScreen = WideScreenFlagOf(PackAt(frame, pack::kVideoControlOffset, pack::kVideoControl));
    props.nFrameMode = FrameModeOf(PackAt(frame, pack::kFrameModeOffset, pack::kFrameMode));
    props.nAudioMode = AudioModeOf(PackAt(frame, pack::kAudioSourceOffset, pack::kAudioSource));
    props.timeCode = TimeCodeOf(PackAt(frame, pack::kTimeCodeOffset, pack::kTimeCode));
    return props;
}

Result ReadFrameInfo(std::span<const uint8_t> frame, FrameInfo& info) {
    System system;
    const Result result = DetectSystem(frame, system);
    if (result != Result::Ok) return result;
    info = FrameInfo{};
    info.system = system;
    if (auto p = FindVauxPack(frame, pack::kVideoControl)) {
        info.videoControl = ParseVideoControlPack(AsPack(*p));
        info.bWideScreen = IsWideScreen(info.videoControl->nDisplayMode, info.videoControl->nBroadcastSystem);
    }
    if (auto p = FindVauxPack(frame, pack::kFrameMode)) info.nFrameMode = ParseFrameModePack(AsPack(*p)).value_or(60);
    if (auto p = FindAauxPack(frame, pack::kAudioSource)) info.audio = ParseAudioSourcePack(AsPack(*p));
    if (auto p = FindSubcodePack(frame, pack::kTimeCode)) info.timeCode = ParseTimeCodePack(AsPack(*p));
    for (const uint8_t header : {pack::kRecDate, pack::kAudioRecDate}) {
        if (info.recDate) break;
        auto p = header == pack::kRecDate ? FindVauxPack(frame, header) : FindAauxPack(frame, header);
        if (!p && header == pack::kRecDate) p = FindSubcodePack(frame, header);
        if (p) info.recDate = ParseRecDatePack(AsPack(*p));
    }
    for (const uint8_t header : {pack::kRecTime, pack::kAudioRecTime}) {
        if (info.recTime) break;
        auto p = header == pack::kRecTime ? FindVauxPack(frame, header) : FindAauxPack(frame, header);
        if (!p && header == pack::kRecTime) p = FindSubcodePack(frame, header);
        if (p) info.recTime = ParseRecTimePack(AsPack(*p));
    }
    return Result::Ok;
}

}  // namespace dv
