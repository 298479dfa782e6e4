#include "dv/FrameWriter.h"

#include <cstring>

namespace dv {

namespace {

// Second byte of every block ID: the sequence number, FSC 0 and three reserved 1 bits.
inline uint8_t SequenceId(size_t seq) { return uint8_t(seq << 4 | 0x07); }

// First ID bytes by section (the low bits are arbitrary and free for the writer).
constexpr uint8_t kHeaderId = 0x1F;
constexpr uint8_t kSubcodeId = 0x3F;
constexpr uint8_t kVauxId = 0x56;
constexpr uint8_t kAudioId = 0x76;
constexpr uint8_t kVideoId = 0x96;

constexpr uint8_t kApt = 0x00;            // track application ID of consumer DV
constexpr uint8_t kHeaderByte4 = 0xF8;    // reserved bits and APT
constexpr uint8_t kHeaderTrackByte = 0x78; // TF1..TF3 valid, AP1..AP3 0

constexpr size_t kSyncBlocksPerSubcodeBlock = 6;
constexpr size_t kSyncBlockSize = 8;

// VAUX pack places of the main packs in every VAUX block: 0-4 and again 9-13.
constexpr size_t kVauxMainPlaces[2] = {0, 9};
// AAUX places of source, control, date and time: audio blocks 3-6 of even sequences, 0-3 of odd.
constexpr size_t AudioPackBlock(size_t seq, size_t n) { return (seq % 2 == 0 ? 3 : 0) + n; }

void Put(uint8_t* at, const Pack& p) { std::memcpy(at, p.data(), p.size()); }

void PutId(uint8_t* block, uint8_t first, size_t seq, size_t number) {
    block[0] = first;
    block[1] = SequenceId(seq);
    block[2] = uint8_t(number);
}

}  // namespace

Result WriteFrameStructure(const FrameMetadata& meta, std::span<uint8_t> frame) {
    if (frame.size() != FrameSize(meta.system)) return Result::WrongSize;
    std::memset(frame.data(), 0xFF, frame.size());
    const size_t sequences = SequenceCount(meta.system);

    VideoControl control;
    control.nDisplayMode = meta.bWideScreen ? 2 : 0;
    control.nBroadcastSystem = 0;
    control.bRecordingStart = meta.bRecordingStart;
    const Pack vauxPacks[5] = {MakeVideoSourcePack(VideoSource{meta.system, true}), MakeVideoControlPack(control),
                               MakeRecDatePack(pack::kRecDate, meta.recDate), MakeRecTimePack(pack::kRecTime, meta.recTime),
                               MakeFrameModePack(meta.nFrameMode)};
    const Pack subcodePacks[3] = {MakeTimeCodePack(meta.timeCode), MakeRecDatePack(pack::kRecDate, meta.recDate),
                                  MakeRecTimePack(pack::kRecTime, meta.recTime)};
    AudioControl audioControl = meta.audioControl;
    audioControl.bRecordingStart = meta.bRecordingStart;
    const Pack aauxPacks[3] = {MakeAudioControlPack(audioControl), MakeRecDatePack(pack::kAudioRecDate, meta.recDate),
                               MakeRecTimePack(pack::kAudioRecTime, meta.recTime)};

    for (size_t seq = 0; seq < sequences; ++seq) {
        uint8_t* header = frame.data() + dif::BlockOffset(seq, dif::HeaderBlock());
        PutId(header, kHeaderId, seq, 0);
        header[3] = uint8_t((meta.system == System::System625_50 ? dif::kDsfBit : 0) | 0x3F);
        header[4] = uint8_t(kHeaderByte4 | kApt);
        header[5] = header[6] = header[7] = kHeaderTrackByte;

        for (size_t b = 0; b < dif::kSubcodeBlocksPerSequence; ++b) {
            uint8_t* block = frame.data() + dif::BlockOffset(seq, dif::SubcodeBlock(b));
            PutId(block, kSubcodeId, seq, b);
            for (size_t k = 0; k < kSyncBlocksPerSubcodeBlock; ++k) {
                uint8_t* sync = block + dif::kBlockIdSize + k * kSyncBlockSize;
                // FR marks the first half of the sequences; the sync block number runs 0..11.
                sync[0] = uint8_t((seq < sequences / 2 ? 0x80 : 0x00) | 0x0F);
                sync[1] = uint8_t(0xF0 | (b * kSyncBlocksPerSubcodeBlock + k));
                sync[2] = 0xFF;
                Put(sync + 3, subcodePacks[k % 3]);  // time code in sync blocks 0 and 3
            }
        }
        for (size_t b = 0; b < dif::kVauxBlocksPerSequence; ++b) {
            uint8_t* block = frame.data() + dif::BlockOffset(seq, dif::VauxBlock(b));
            PutId(block, kVauxId, seq, b);
            for (size_t first : kVauxMainPlaces)
                for (size_t k = 0; k < 5; ++k) Put(block + dif::kBlockIdSize + (first + k) * dif::kPackSize, vauxPacks[k]);
        }
        for (size_t a = 0; a < dif::kAudioBlocksPerSequence; ++a) {
            uint8_t* block = frame.data() + dif::BlockOffset(seq, dif::AudioBlock(a));
            PutId(block, kAudioId, seq, a);
            std::memset(block + dif::kBlockIdSize + dif::kPackSize, 0, dif::kBlockPayload - dif::kPackSize);
        }
        for (size_t n = 0; n < 3; ++n)
            Put(frame.data() + dif::BlockOffset(seq, dif::AudioBlock(AudioPackBlock(seq, n + 1))) + dif::kBlockIdSize, aauxPacks[n]);
        for (size_t v = 0; v < dif::kVideoBlocksPerSequence; ++v) {
            uint8_t* block = frame.data() + dif::BlockOffset(seq, dif::VideoBlock(v));
            PutId(block, kVideoId, seq, v);
            std::memset(block + dif::kBlockIdSize, 0, dif::kBlockPayload);
        }
    }
    return Result::Ok;
}

}  // namespace dv
