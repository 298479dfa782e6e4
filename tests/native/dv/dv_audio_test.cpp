// Audio: sample placement, 12-bit companding, sample counts and the packs that describe them.
#include "dv/Audio.h"
#include "dv/FrameInfo.h"
#include "dv/FrameWriter.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

std::vector<uint8_t> EmptyFrame(dv::System system) {
    std::vector<uint8_t> frame(dv::FrameSize(system));
    dv::FrameMetadata meta;
    meta.system = system;
    EXPECT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
    return frame;
}

dv::AudioSource Source(dv::System system, dv::SampleRate rate, int samples, int channels = 2) {
    dv::AudioSource s;
    s.system = system;
    s.rate = rate;
    s.nSamples = samples;
    s.nChannels = channels;
    if (channels == 4) s.quantization = dv::AudioQuantization::NonLinear12;
    return s;
}

}  // namespace

TEST(DvAudio, TwelveBitCodesExpandOnTheSegmentBoundaries) {
    EXPECT_EQ(dv::Expand12To16(0), 0);
    EXPECT_EQ(dv::Expand12To16(511), 511);
    EXPECT_EQ(dv::Expand12To16(512), 512);
    EXPECT_EQ(dv::Expand12To16(767), 1022);
    EXPECT_EQ(dv::Expand12To16(768), 1024);
    EXPECT_EQ(dv::Expand12To16(2047), 32704);
    EXPECT_EQ(dv::Expand12To16(0xFFF), -1);        // -1
    EXPECT_EQ(dv::Expand12To16(0x1000 - 513), -513);
    EXPECT_EQ(dv::Expand12To16(0x1000 - 768), -1023);
    EXPECT_EQ(dv::Expand12To16(0x800), -32705);
    // Monotonic over all codes, and compressing an expanded code gives the code back.
    int previous = -40000;
    for (int code = -2048; code < 2048; ++code) {
        const int value = dv::Expand12To16(code & 0xFFF);
        EXPECT_GT(value, previous) << code;
        previous = value;
        EXPECT_EQ(dv::Compress16To12(int16_t(value)), code & 0xFFF) << code;
    }
    // Compression rounds towards the lower code of a segment, never past the value's segment.
    for (int v = -32768; v < 32768; v += 7) {
        const int back = dv::Expand12To16(dv::Compress16To12(int16_t(v)));
        EXPECT_LE(std::abs(back - v), 64) << v;
    }
}

TEST(DvAudio, LockedSampleCountsFollowTheFrameRate) {
    using dv::System;
    using dv::SampleRate;
    int total = 0;
    for (uint64_t n = 0; n < 5; ++n) total += dv::LockedSamplesPerFrame(System::System525_60, SampleRate::Rate48k, n);
    EXPECT_EQ(total, 8008);
    EXPECT_EQ(dv::LockedSamplesPerFrame(System::System525_60, SampleRate::Rate48k, 0), 1600);
    EXPECT_EQ(dv::LockedSamplesPerFrame(System::System525_60, SampleRate::Rate48k, 1), 1602);
    EXPECT_EQ(dv::LockedSamplesPerFrame(System::System625_50, SampleRate::Rate48k, 7), 1920);
    EXPECT_EQ(dv::LockedSamplesPerFrame(System::System625_50, SampleRate::Rate32k, 7), 1280);
    total = 0;
    for (uint64_t n = 0; n < 15; ++n) total += dv::LockedSamplesPerFrame(System::System525_60, SampleRate::Rate32k, n);
    EXPECT_EQ(total, 16016);
    for (uint64_t n = 0; n < 100; ++n) {
        const int c = dv::LockedSamplesPerFrame(System::System525_60, SampleRate::Rate44k1, n);
        EXPECT_GE(c, dv::MinSamplesPerFrame(System::System525_60, SampleRate::Rate44k1));
        EXPECT_LE(c, dv::MaxSamplesPerFrame(System::System525_60, SampleRate::Rate44k1));
    }
}

TEST(DvAudio, SixteenBitSamplesComeBackAndFillDistinctSlots) {
    for (const dv::System system : {dv::System::System525_60, dv::System::System625_50}) {
        const int count = system == dv::System::System525_60 ? 1602 : 1920;
        std::vector<uint8_t> frame = EmptyFrame(system);
        const std::vector<uint8_t> before = frame;
        std::vector<int16_t> samples(size_t(count) * 2);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(i * 37 + 1);
        ASSERT_EQ(dv::InsertAudio(frame, Source(system, dv::SampleRate::Rate48k, count), samples), dv::Result::Ok);
        // Every sample took its own two bytes, all of them inside audio blocks.
        size_t changedBytes = 0;
        for (size_t i = 0; i < frame.size(); ++i)
            if (frame[i] != before[i]) {
                ++changedBytes;
                const size_t block = (i % dv::dif::kSequenceSize) / dv::dif::kBlockSize;
                ASSERT_TRUE(block >= 6 && (block - 6) % 16 == 0) << "byte " << i;
            }
        EXPECT_GE(changedBytes, samples.size() * 2 - samples.size() / 8);  // some bytes were already 0xFF/0
        dv::AudioFrame audio;
        ASSERT_EQ(dv::ExtractAudio(frame, audio), dv::Result::Ok);
        EXPECT_EQ(audio.nRate, 48000);
        EXPECT_EQ(audio.nChannels, 2);
        EXPECT_EQ(audio.samples, samples);
        const dv::StreamProperties props = dv::ReadStreamProperties(frame);
        EXPECT_EQ(props.nAudioMode, 1);
    }
}

TEST(DvAudio, FourChannelTwelveBitAudioKeepsItsPairsApart) {
    const dv::System system = dv::System::System625_50;
    std::vector<uint8_t> frame = EmptyFrame(system);
    std::vector<int16_t> samples(1280 * 4);
    for (size_t i = 0; i < 1280; ++i) {
        samples[i * 4 + 0] = int16_t(i);           // small values survive 12 bits exactly
        samples[i * 4 + 1] = int16_t(-int(i));
        samples[i * 4 + 2] = int16_t(i * 20);
        samples[i * 4 + 3] = int16_t(-300);
    }
    ASSERT_EQ(dv::InsertAudio(frame, Source(system, dv::SampleRate::Rate32k, 1280, 4), samples), dv::Result::Ok);
    dv::AudioFrame audio;
    ASSERT_EQ(dv::ExtractAudio(frame, audio), dv::Result::Ok);
    ASSERT_EQ(audio.nChannels, 4);
    ASSERT_EQ(audio.nSamples, 1280);
    for (size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(audio.samples[i], dv::Expand12To16(dv::Compress16To12(samples[i]))) << i;
    EXPECT_EQ(audio.samples[5 * 4 + 0], 5);
    EXPECT_EQ(audio.samples[5 * 4 + 1], -5);
    EXPECT_EQ(dv::ReadStreamProperties(frame).nAudioMode, 2);
    // The second pair has its own source pack in the second half of the sequences.
    const auto second = dv::FindAauxPack(frame, dv::pack::kAudioSource, dv::SequenceCount(system) / 2);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, dv::MakeAudioSourcePack(Source(system, dv::SampleRate::Rate32k, 1280, 4)));
    EXPECT_FALSE(dv::FindAauxPack(frame, dv::pack::kAudioSource, 99).has_value());
}

TEST(DvAudio, ImpossibleCountsAndMissingPacksAreRefused) {
    const dv::System system = dv::System::System525_60;
    std::vector<uint8_t> frame = EmptyFrame(system);
    std::vector<int16_t> samples(4000, 0);
    dv::AudioFrame audio;
    EXPECT_EQ(dv::ExtractAudio(frame, audio), dv::Result::NoAudio);
    EXPECT_EQ(dv::InsertAudio(frame, Source(system, dv::SampleRate::Rate48k, 1579), samples), dv::Result::BadArgument);
    // 1643 fits the pack's six bits but not the 1620 slots a 525/60 channel has.
    EXPECT_EQ(dv::InsertAudio(frame, Source(system, dv::SampleRate::Rate48k, 1643), samples), dv::Result::BadArgument);
    EXPECT_EQ(dv::InsertAudio(frame, Source(system, dv::SampleRate::Rate48k, 1602), std::span<const int16_t>(samples).first(100)),
              dv::Result::BadArgument);
    // A source pack claiming more samples than the frame holds is not read past.
    ASSERT_EQ(dv::InsertAudio(frame, Source(system, dv::SampleRate::Rate48k, 1602), samples), dv::Result::Ok);
    for (size_t seq = 0; seq < 10; ++seq) {
        uint8_t* pack = frame.data() + dv::dif::BlockOffset(seq, dv::dif::AudioBlock(seq % 2 ? 0 : 3)) + 3;
        pack[1] = uint8_t((pack[1] & 0xC0) | 0x3F);
    }
    EXPECT_EQ(dv::ExtractAudio(frame, audio), dv::Result::NoAudio);
    std::vector<uint8_t> wrong(1000);
    EXPECT_EQ(dv::ExtractAudio(wrong, audio), dv::Result::WrongSize);
}
