#include "dv/FrameInfo.h"

namespace dv {

namespace {

std::span<const uint8_t, dif::kPackSize> AsPack(const Pack& p) { return std::span<const uint8_t, dif::kPackSize>(p); }

}  // namespace

StreamProperties ReadStreamProperties(std::span<const uint8_t> frame) {
    StreamProperties props;
    auto has = [&](size_t offset) { return offset < frame.size(); };
    if (has(pack::kBroadcastSystemOffset) && frame[pack::kVideoControlOffset] == pack::kVideoControl)
        props.nWideScreen = IsWideScreen(frame[pack::kDisplayModeOffset] & 0x07, frame[pack::kBroadcastSystemOffset] & 0x03) ? 1 : 0;
    if (has(pack::kFrameModeValueOffset) && frame[pack::kFrameModeOffset] == pack::kFrameMode) {
        const uint8_t mode = frame[pack::kFrameModeValueOffset];
        props.nFrameMode = mode == 0x30 ? 30 : mode == 0x24 ? 24 : 60;
    }
    if (has(pack::kAudioQuantOffset) && frame[pack::kAudioSourceOffset] == pack::kAudioSource)
        props.nAudioMode = (frame[pack::kAudioQuantOffset] & 0x07) == 0 ? 1 : 2;
    if (has(pack::kTimeCodeOffset + 4) && frame[pack::kTimeCodeOffset] == pack::kTimeCode &&
        frame[pack::kTimeCodeOffset + 1] != 0xFF) {
        const uint8_t* p = frame.data() + pack::kTimeCodeOffset;
        props.timeCode.nFrames = ((p[1] >> 4) & 0x03) * 10 + (p[1] & 0x0F);
        props.timeCode.nSeconds = ((p[2] >> 4) & 0x07) * 10 + (p[2] & 0x0F);
        props.timeCode.nMinutes = ((p[3] >> 4) & 0x07) * 10 + (p[3] & 0x0F);
        props.timeCode.nHours = ((p[4] >> 4) & 0x03) * 10 + (p[4] & 0x0F);
    }
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
