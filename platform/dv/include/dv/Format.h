// DV frame structure of the 25 Mbit/s SD formats: the two television systems, the DIF block layout
// and the result codes shared by every call of the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dv {

// Every call that can fail returns one of these; nothing throws across the library's border.
enum class Result {
    Ok = 0,
    WrongSize,        // the buffer is not 120,000 or 144,000 bytes (or not the size of its system)
    NotDv,            // the header block does not look like a DIF header
    BadArgument,      // a size, a picture or a sample count that does not fit the frame
    NoAudio,          // the frame carries no usable AAUX source pack
};

const char* ResultText(Result result);

enum class System {
    System525_60,  // 525 lines, 29.97 frames/s, 4:1:1, 10 DIF sequences
    System625_50,  // 625 lines, 25 frames/s, 4:2:0, 12 DIF sequences
};

namespace dif {
constexpr size_t kBlockSize = 80;            // one DIF block
constexpr size_t kBlockIdSize = 3;           // ID bytes at the head of every block
constexpr size_t kBlockPayload = 77;         // the rest
constexpr size_t kBlocksPerSequence = 150;   // header, 2 subcode, 3 VAUX, 9 audio, 135 video
constexpr size_t kSequenceSize = kBlocksPerSequence * kBlockSize;  // 12,000 bytes
constexpr size_t kSequences525 = 10;
constexpr size_t kSequences625 = 12;
constexpr size_t kFrameSize525 = kSequences525 * kSequenceSize;    // 120,000 bytes
constexpr size_t kFrameSize625 = kSequences625 * kSequenceSize;    // 144,000 bytes
constexpr size_t kAudioBlocksPerSequence = 9;
constexpr size_t kVideoBlocksPerSequence = 135;
constexpr size_t kVauxBlocksPerSequence = 3;
constexpr size_t kSubcodeBlocksPerSequence = 2;
constexpr size_t kPackSize = 5;              // one header byte and four data bytes
constexpr size_t kPacksPerVauxBlock = 15;

// Section types in the top three bits of a block's first ID byte.
enum class Section : uint8_t { Header = 0, Subcode = 1, Vaux = 2, Audio = 3, Video = 4 };

// Block index within a sequence of the n-th block of each section.
constexpr size_t HeaderBlock() { return 0; }
constexpr size_t SubcodeBlock(size_t n) { return 1 + n; }
constexpr size_t VauxBlock(size_t n) { return 3 + n; }
constexpr size_t AudioBlock(size_t n) { return 6 + n * 16; }
constexpr size_t VideoBlock(size_t n) { return 7 + (n / 15) * 16 + n % 15; }

// Byte offset of block `block` of sequence `seq` from the start of the frame.
constexpr size_t BlockOffset(size_t seq, size_t block) { return seq * kSequenceSize + block * kBlockSize; }

// Header block, first payload byte: the DSF bit tells the system.
constexpr size_t kDsfOffset = 3;
constexpr uint8_t kDsfBit = 0x80;
}  // namespace dif

constexpr size_t FrameSize(System system) {
    return system == System::System525_60 ? dif::kFrameSize525 : dif::kFrameSize625;
}
constexpr size_t SequenceCount(System system) {
    return system == System::System525_60 ? dif::kSequences525 : dif::kSequences625;
}
constexpr int FrameWidth(System) { return 720; }
constexpr int FrameHeight(System system) { return system == System::System525_60 ? 480 : 576; }

// The system a frame claims by its header's DSF bit, checked against the buffer's size.
// WrongSize when the buffer is neither frame size or does not match its own DSF bit.
Result DetectSystem(std::span<const uint8_t> frame, System& system);

}  // namespace dv
