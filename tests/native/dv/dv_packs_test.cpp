// Packs: what the writer puts where the stream readers look, and round trips of every pack.
#include "dv/FrameInfo.h"
#include "dv/FrameWriter.h"
#include "dv/TimeCodeCounting.h"
#include "dv/Packs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Frame(const dv::FrameMetadata& meta) {
    std::vector<uint8_t> frame(dv::FrameSize(meta.system));
    EXPECT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
    return frame;
}

template <typename T, typename Parse>
T RoundTrip(const dv::Pack& pack, Parse parse) {
    auto parsed = parse(std::span<const uint8_t, dv::dif::kPackSize>(pack));
    EXPECT_TRUE(parsed.has_value());
    return parsed.value_or(T{});
}

}  // namespace

TEST(DvPacks, WrittenFramesAnswerTheFixedOffsetReads) {
    dv::FrameMetadata meta;
    meta.system = dv::System::System625_50;
    meta.bWideScreen = true;
    meta.nFrameMode = 24;
    meta.timeCode = dv::TimeCode{1, 23, 45, 12};
    const std::vector<uint8_t> frame = Frame(meta);
    EXPECT_EQ(frame[453], 0x61);
    EXPECT_EQ(frame[455] & 0x07, 2);
    EXPECT_EQ(frame[456] & 0x03, 0);
    EXPECT_EQ(frame[468], 0x64);
    EXPECT_EQ(frame[470], 0x24);
    EXPECT_EQ(frame[110], 0x13);
    EXPECT_EQ(frame[111], 0x12);
    EXPECT_EQ(frame[112], 0x80 | 0x45);
    EXPECT_EQ(frame[113], 0x80 | 0x23);
    EXPECT_EQ(frame[114], 0xC0 | 0x01);
    dv::StreamProperties props = dv::ReadStreamProperties(frame);
    EXPECT_EQ(props.nWideScreen, 1);
    EXPECT_EQ(props.nFrameMode, 24);
    EXPECT_EQ(props.nAudioMode, 1);  // no audio source pack written yet
    EXPECT_EQ(props.timeCode, (dv::TimeCode{1, 23, 45, 12}));

    meta.bWideScreen = false;
    meta.nFrameMode = 30;
    meta.timeCode = dv::TimeCode{};
    props = dv::ReadStreamProperties(Frame(meta));
    EXPECT_EQ(props.nWideScreen, 0);
    EXPECT_EQ(props.nFrameMode, 30);
    EXPECT_FALSE(props.timeCode.IsKnown());
}

TEST(DvPacks, FixedOffsetReadsFallBackToTheirDefaults) {
    std::vector<uint8_t> frame(dv::dif::kFrameSize525, 0);
    frame[453] = 0x60;  // not the control pack: not wide whatever the mode says
    frame[455] = 0x02;
    frame[468] = 0x64;
    frame[470] = 0x25;  // not a known frame mode
    frame[4323] = 0x50;
    frame[4327] = 0x01;  // 12-bit
    frame[110] = 0x13;
    frame[111] = 0xFF;  // unknown time code
    const dv::StreamProperties props = dv::ReadStreamProperties(frame);
    EXPECT_EQ(props.nWideScreen, 0);
    EXPECT_EQ(props.nFrameMode, 60);
    EXPECT_EQ(props.nAudioMode, 2);
    EXPECT_EQ(props.timeCode.nHours, -1);
    EXPECT_EQ(props.timeCode.nFrames, -1);
    // A buffer too short for the offsets gives every default and reads nothing past its end.
    const std::vector<uint8_t> tiny(120, 0x13);
    const dv::StreamProperties none = dv::ReadStreamProperties(tiny);
    EXPECT_EQ(none.nWideScreen, 0);
    EXPECT_EQ(none.nFrameMode, 60);
    EXPECT_EQ(none.nAudioMode, 1);
    EXPECT_TRUE(none.timeCode.IsKnown());  // 110..114 are inside
}

TEST(DvPacks, WideScreenFollowsDisplayModeAndBroadcastSystem) {
    for (int bcsys = 0; bcsys < 4; ++bcsys)
        for (int disp = 0; disp < 8; ++disp) {
            const bool expected = (bcsys == 0 && (disp == 1 || disp == 2)) ||
                                  (bcsys == 1 && (disp == 3 || disp == 4 || disp == 5 || disp == 7));
            EXPECT_EQ(dv::IsWideScreen(disp, bcsys), expected) << disp << "/" << bcsys;
        }
}

TEST(DvPacks, EveryPackReadsBackWhatWasWritten) {
    const dv::TimeCode tc{23, 59, 58, 29, true};
    EXPECT_EQ(RoundTrip<dv::TimeCode>(dv::MakeTimeCodePack(tc), dv::ParseTimeCodePack), tc);
    const dv::RecDate date{2026, 12, 7};
    EXPECT_EQ(RoundTrip<dv::RecDate>(dv::MakeRecDatePack(dv::pack::kRecDate, date), dv::ParseRecDatePack), date);
    EXPECT_EQ(RoundTrip<dv::RecDate>(dv::MakeRecDatePack(dv::pack::kAudioRecDate, date), dv::ParseRecDatePack), date);
    const dv::RecTime time{7, 5, 59};
    EXPECT_EQ(RoundTrip<dv::RecTime>(dv::MakeRecTimePack(dv::pack::kRecTime, time), dv::ParseRecTimePack), time);
    for (const auto rate : {dv::SampleRate::Rate48k, dv::SampleRate::Rate44k1, dv::SampleRate::Rate32k})
        for (const bool locked : {true, false}) {
            dv::AudioSource a;
            a.system = dv::System::System525_60;
            a.rate = rate;
            a.bLocked = locked;
            a.nSamples = rate == dv::SampleRate::Rate48k ? 1602 : rate == dv::SampleRate::Rate44k1 ? 1471 : 1068;
            EXPECT_EQ(RoundTrip<dv::AudioSource>(dv::MakeAudioSourcePack(a), dv::ParseAudioSourcePack), a);
        }
    dv::AudioSource four;
    four.rate = dv::SampleRate::Rate32k;
    four.quantization = dv::AudioQuantization::NonLinear12;
    four.nChannels = 4;
    four.nSamples = 1280;
    EXPECT_EQ(RoundTrip<dv::AudioSource>(dv::MakeAudioSourcePack(four), dv::ParseAudioSourcePack), four);
    const dv::AudioControl control{true, true, 0x20};
    EXPECT_EQ(RoundTrip<dv::AudioControl>(dv::MakeAudioControlPack(control), dv::ParseAudioControlPack), control);
    const dv::VideoSource vs{dv::System::System525_60, true};
    EXPECT_EQ(RoundTrip<dv::VideoSource>(dv::MakeVideoSourcePack(vs), dv::ParseVideoSourcePack), vs);
    const dv::VideoControl vc{7, 1, true, true};
    EXPECT_EQ(RoundTrip<dv::VideoControl>(dv::MakeVideoControlPack(vc), dv::ParseVideoControlPack), vc);
    for (const int mode : {60, 30, 24}) EXPECT_EQ(RoundTrip<int>(dv::MakeFrameModePack(mode), dv::ParseFrameModePack), mode);
    // A pack of another kind is not taken for the one asked for.
    EXPECT_FALSE(dv::ParseTimeCodePack(std::span<const uint8_t, 5>(dv::MakeFrameModePack(60))).has_value());
}

TEST(DvPacks, FrameInfoFindsThePacksOfEverySequence) {
    dv::FrameMetadata meta;
    meta.system = dv::System::System525_60;
    meta.bWideScreen = true;
    meta.timeCode = dv::FrameNumberToTimeCode(meta.system, 1800);
    meta.recDate = dv::RecDate{2025, 2, 28};
    meta.recTime = dv::RecTime{23, 59, 30};
    std::vector<uint8_t> frame = Frame(meta);
    // Damage the first sequence's VAUX and subcode: the packs of later sequences still answer.
    std::fill(frame.begin() + 80, frame.begin() + 480, 0xFF);
    dv::FrameInfo info;
    ASSERT_EQ(dv::ReadFrameInfo(frame, info), dv::Result::Ok);
    EXPECT_EQ(info.system, dv::System::System525_60);
    EXPECT_TRUE(info.bWideScreen);
    ASSERT_TRUE(info.timeCode.has_value());
    EXPECT_EQ(*info.timeCode, meta.timeCode);
    EXPECT_EQ(info.recDate, meta.recDate);
    EXPECT_EQ(info.recTime, meta.recTime);
    EXPECT_FALSE(info.audio.has_value());
    // Wrong sizes are refused.
    frame.pop_back();
    EXPECT_EQ(dv::ReadFrameInfo(frame, info), dv::Result::WrongSize);
}

TEST(DvPacks, DropFrameTimeCodesSkipTwoLabelsAMinuteExceptEveryTenth) {
    using dv::TimeCode;
    auto tc = [](uint64_t n) { return dv::FrameNumberToTimeCode(dv::System::System525_60, n); };
    EXPECT_EQ(tc(1799), (TimeCode{0, 0, 59, 29, true}));
    EXPECT_EQ(tc(1800), (TimeCode{0, 1, 0, 2, true}));
    EXPECT_EQ(tc(17981), (TimeCode{0, 9, 59, 29, true}));
    EXPECT_EQ(tc(17982), (TimeCode{0, 10, 0, 0, true}));
    EXPECT_EQ(tc(107892), (TimeCode{1, 0, 0, 0, true}));
    EXPECT_EQ(dv::FrameNumberToTimeCode(dv::System::System625_50, 90000), (TimeCode{1, 0, 0, 0}));
}

TEST(DvTimeCodes, DropFrameNumberingSkipsTwoFramesEachMinuteButTheTenth) {
    const auto v525 = dv::System::System525_60;
    EXPECT_EQ(dv::FrameToTimeCode(v525, 17982), (dv::TimeCode{0, 10, 0, 0}));
    EXPECT_EQ(dv::FrameToTimeCode(v525, 1800), (dv::TimeCode{0, 1, 0, 2}));
    EXPECT_EQ(dv::FrameToTimeCode(v525, 1799), (dv::TimeCode{0, 0, 59, 29}));
    EXPECT_EQ(dv::FrameToTimeCode(v525, 0), (dv::TimeCode{0, 0, 0, 0}));
    EXPECT_EQ(dv::FrameToTimeCode(v525, 107892), (dv::TimeCode{1, 0, 0, 0}));
    EXPECT_EQ(dv::TimeCodeToFrame(v525, 0, 1, 0, 0), 1800);
    EXPECT_EQ(dv::TimeCodeToFrame(v525, 0, 1, 0, 2), 1800);
    EXPECT_EQ(dv::TimeCodeToFrame(v525, 0, 10, 0, 0), 17982);
    EXPECT_EQ(dv::FrameToTimeCode(dv::System::System625_50, 90000), (dv::TimeCode{1, 0, 0, 0}));
    EXPECT_EQ(dv::FrameToTimeCode(dv::System::System625_50, 1499), (dv::TimeCode{0, 0, 59, 24}));
}

TEST(DvTimeCodes, FrameNumbersSurviveTheRoundTripInBothSystems) {
    for (const dv::System system : {dv::System::System525_60, dv::System::System625_50}) {
        for (std::int64_t n = 0; n < 400000; n += 7) {
            const dv::TimeCode tc = dv::FrameToTimeCode(system, n);
            ASSERT_EQ(dv::TimeCodeToFrame(system, tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames), n) << n;
        }
    }
}

TEST(DvPacks, EveryBlockCarriesItsSectionSequenceAndNumber) {
    for (const dv::System system : {dv::System::System525_60, dv::System::System625_50}) {
        dv::FrameMetadata meta;
        meta.system = system;
        std::vector<uint8_t> frame = Frame(meta);
        const size_t sequences = dv::SequenceCount(system);
        for (size_t seq = 0; seq < sequences; ++seq) {
            int counts[5] = {};
            for (size_t b = 0; b < dv::dif::kBlocksPerSequence; ++b) {
                const uint8_t* id = frame.data() + dv::dif::BlockOffset(seq, b);
                const int section = id[0] >> 5;
                ASSERT_LT(section, 5);
                EXPECT_EQ(id[1] >> 4, int(seq));
                EXPECT_EQ(id[2], counts[section]) << "sequence " << seq << " block " << b;
                ++counts[section];
            }
            EXPECT_EQ(counts[0], 1);
            EXPECT_EQ(counts[1], 2);
            EXPECT_EQ(counts[2], 3);
            EXPECT_EQ(counts[3], 9);
            EXPECT_EQ(counts[4], 135);
            // Header: the DSF bit names the system in every sequence.
            EXPECT_EQ((frame[dv::dif::BlockOffset(seq, 0) + 3] & 0x80) != 0, system == dv::System::System625_50);
        }
        // The positions the rest of the library uses agree with the IDs.
        for (size_t n = 0; n < 135; ++n) EXPECT_EQ(frame[dv::dif::BlockOffset(0, dv::dif::VideoBlock(n))] >> 5, 4);
        for (size_t n = 0; n < 9; ++n) EXPECT_EQ(frame[dv::dif::BlockOffset(0, dv::dif::AudioBlock(n))] >> 5, 3);
        dv::System detected;
        EXPECT_EQ(dv::DetectSystem(frame, detected), dv::Result::Ok);
        EXPECT_EQ(detected, system);
    }
}
