#include "files/DvFrameFields.h"

#include <span>

namespace {

static_assert(dv::pack::kVideoControlOffset + dv::dif::kPackSize <= kDvFrameHeadBytes &&
              dv::pack::kFrameModeOffset + dv::dif::kPackSize <= kDvFrameHeadBytes &&
              dv::pack::kTimeCodeOffset + dv::dif::kPackSize <= kDvFrameHeadBytes);

// The pack with this header at a fixed place of the frame, if the frame holds it there.
std::optional<dv::Pack> PackAt(const BYTE* pFrame, size_t cbFrame, size_t offset, BYTE header) {
  if (pFrame == nullptr) return std::nullopt;
  return dv::PackAt(std::span<const std::uint8_t>(pFrame, cbFrame), offset, header);
}

}  // namespace

int ReadDvWideScreenFlag(const BYTE* pFrame, size_t cbFrame) {
  return dv::WideScreenFlagOf(PackAt(pFrame, cbFrame, dv::pack::kVideoControlOffset, dv::pack::kVideoControl));
}

int ReadDvFrameMode(const BYTE* pFrame, size_t cbFrame) {
  return dv::FrameModeOf(PackAt(pFrame, cbFrame, dv::pack::kFrameModeOffset, dv::pack::kFrameMode));
}

int ReadDvAudioMode(const BYTE* pFrame, size_t cbFrame) {
  return dv::AudioModeOf(PackAt(pFrame, cbFrame, dv::pack::kAudioSourceOffset, dv::pack::kAudioSource));
}

Timecode ReadDvTimecode(const BYTE* pFrame, size_t cbFrame) {
  return dv::TimeCodeOf(PackAt(pFrame, cbFrame, dv::pack::kTimeCodeOffset, dv::pack::kTimeCode));
}
