// ffmpeg as the oracle: it makes frames our decoder and audio reader must read as it does, and it
// decodes the frames we make.
#include "Dequantizer.h"
#include "SegmentParser.h"
#include "Tables.h"
#include "TestSupport.h"

#include "dv/Audio.h"
#include "dv/Decoder.h"
#include "dv/Encoder.h"
#include "dv/FrameInfo.h"
#include "dv/FrameWriter.h"
#include "dv/TimeCodeCounting.h"
#include "dv/Pattern.h"

#include <gtest/gtest.h>

#include <cmath>

using dvtest::Psnr;
using dvtest::ReadFile;

namespace {

constexpr int kFrames = 3;

struct Stream {
    dv::System system;
    bool bWide;
    int nRate;
    bool bFieldDct;
};

std::string SizeOf(dv::System s) { return s == dv::System::System625_50 ? "720x576" : "720x480"; }
std::string RateOf(dv::System s) { return s == dv::System::System625_50 ? "25" : "30000/1001"; }
std::string PixFmtOf(dv::System s) { return s == dv::System::System625_50 ? "yuv420p" : "yuv411p"; }

std::vector<uint8_t> Frame(const std::vector<uint8_t>& file, dv::System system, int n) {
    const size_t size = dv::FrameSize(system);
    return std::vector<uint8_t>(file.begin() + long(size * n), file.begin() + long(size * (n + 1)));
}

// The coded levels of every 8-8 luma block of `frame` against the coefficients of the same block
// of `picture` (ffmpeg's decoding of the frame). A level times its quantisation step is the
// coefficient; where the step is 4 or more, the rounding of ffmpeg's samples cannot move the
// quotient by half a step, so the level read back from its picture must equal ours exactly.
// Blocks with a clipped sample are left out. Returns the number of coefficients compared.
size_t ExpectLevelsMatchPicture(const std::vector<uint8_t>& frame, dv::System system, const uint8_t* picture) {
    using namespace dv::tables;
    double basis[8][8];
    for (int k = 0; k < 8; ++k)
        for (int i = 0; i < 8; ++i)
            basis[k][i] = (k == 0 ? std::sqrt(1.0 / 8) : std::sqrt(2.0 / 8)) * std::cos((2 * i + 1) * k * M_PI / 16);
    int scanOfIndex[64];
    for (int i = 0; i < 64; ++i) scanOfIndex[kScan88[i]] = i;

    size_t compared = 0, mismatches = 0;
    dv::SegmentParser parser;
    dv::ParsedMacroblock mbs[kMacroblocksPerSegment];
    for (size_t seq = 0; seq < dv::SequenceCount(system); ++seq) {
        for (int seg = 0; seg < kSegmentsPerSequence; ++seg) {
            const uint8_t* payloads[kMacroblocksPerSegment];
            for (int m = 0; m < kMacroblocksPerSegment; ++m)
                payloads[m] = frame.data() + dv::dif::BlockOffset(seq, dv::dif::VideoBlock(size_t(seg) * 5 + m)) +
                              dv::dif::kBlockIdSize;
            parser.Parse(payloads, mbs);
            for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                const MacroblockPlace place = PlaceOfMacroblock(system, int(seq), seg, m);
                for (int b = 0; b < 4; ++b) {
                    const dv::ParsedBlock& block = mbs[m].blocks[b];
                    if (block.nMode != 0) continue;
                    const int x0 = place.nLumaX + (place.bSquare ? (b & 1) * 8 : b * 8);
                    const int y0 = place.nLumaY + (place.bSquare ? (b >> 1) * 8 : 0);
                    double samples[8][8];
                    bool clipped = false;
                    for (int r = 0; r < 8; ++r)
                        for (int c = 0; c < 8; ++c) {
                            const int v = picture[size_t(y0 + r) * 720 + size_t(x0 + c)];
                            clipped = clipped || v == 0 || v == 255;
                            samples[r][c] = v - 128.0;
                        }
                    if (clipped) continue;
                    int level[64] = {};
                    for (int i = 0; i < block.nCount; ++i) level[block.index[i]] = block.level[i];
                    const float* step = dv::Dequantizer::Instance().Orthonormal(0, block.nClass, mbs[m].nQno);
                    for (int index = 1; index < 64; ++index) {
                        const double s = step[scanOfIndex[index]];
                        if (s < 4.0) continue;
                        double coefficient = 0;
                        for (int r = 0; r < 8; ++r)
                            for (int c = 0; c < 8; ++c) coefficient += basis[index / 8][r] * basis[index % 8][c] * samples[r][c];
                        ++compared;
                        if (std::lround(coefficient / s) != level[index] && ++mismatches <= 5)
                            ADD_FAILURE() << "sequence " << seq << " segment " << seg << " macroblock " << m << " block " << b
                                          << " coefficient " << index << ": level " << level[index] << ", picture "
                                          << coefficient / s;
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    return compared;
}

class DvOracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (!dvtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    }
    dvtest::TempDir m_dir;
};

}  // namespace

TEST_F(DvOracle, FfmpegFramesDecodeAsFfmpegDecodesThem) {
    const Stream streams[] = {{dv::System::System625_50, false, 48000, false},
                              {dv::System::System625_50, false, 44100, false},
                              {dv::System::System625_50, true, 32000, true},
                              {dv::System::System525_60, false, 48000, false},
                              {dv::System::System525_60, true, 48000, true}};
    for (const Stream& s : streams) {
        SCOPED_TRACE(SizeOf(s.system) + (s.bWide ? " 16:9" : " 4:3") + (s.bFieldDct ? " 2-4-8" : ""));
        const auto dvFile = m_dir / "ffmpeg.dv";
        const auto rawFile = m_dir / "ffmpeg.yuv";
        // Interlaced motion and noise make ffmpeg use the 2-4-8 DCT and overflowing blocks.
        const std::string source = "-f lavfi -i testsrc2=size=" + SizeOf(s.system) + ":rate=" + RateOf(s.system) +
                                   (s.bFieldDct ? ",noise=alls=20:allf=t" : "") + " -f lavfi -i sine=f=1000:sample_rate=" +
                                   std::to_string(s.nRate);
        // The DV muxer wants audio for every frame: a duration rather than a frame count.
        const std::string seconds = s.system == dv::System::System625_50 ? "0.2" : "0.2002";
        ASSERT_TRUE(dvtest::RunFfmpeg(source + " -t " + seconds + " -pix_fmt " + PixFmtOf(s.system) +
                                      (s.bFieldDct ? " -flags +ildct" : "") + (s.bWide ? " -aspect 16:9" : "") +
                                      " -c:v dvvideo -ac 2 -f dv " + dvFile.string()));
        ASSERT_TRUE(dvtest::RunFfmpeg("-f dv -i " + dvFile.string() + " -f rawvideo -pix_fmt " + PixFmtOf(s.system) + " " +
                                      rawFile.string()));
        const std::vector<uint8_t> file = ReadFile(dvFile);
        const std::vector<uint8_t> raw = ReadFile(rawFile);
        ASSERT_GE(file.size(), dv::FrameSize(s.system) * kFrames);
        dv::Decoder decoder;
        size_t at = 0;
        for (int n = 0; n < kFrames; ++n) {
            const std::vector<uint8_t> frame = Frame(file, s.system, n);
            dv::YuvPicture yuv;
            ASSERT_EQ(decoder.DecodeYuv(frame, dv::DecodeSize::Full, yuv), dv::Result::Ok);
            ASSERT_LE(at + yuv.y.size() + 2 * yuv.cb.size(), raw.size());
            EXPECT_GE(Psnr(yuv.y.data(), raw.data() + at, yuv.y.size()), 40.0);
            at += yuv.y.size();
            EXPECT_GE(Psnr(yuv.cb.data(), raw.data() + at, yuv.cb.size()), 40.0);
            at += yuv.cb.size();
            EXPECT_GE(Psnr(yuv.cr.data(), raw.data() + at, yuv.cr.size()), 40.0);
            at += yuv.cr.size();
            dv::FrameInfo info;
            ASSERT_EQ(dv::ReadFrameInfo(frame, info), dv::Result::Ok);
            EXPECT_EQ(info.system, s.system);
            EXPECT_EQ(info.bWideScreen, s.bWide);
            EXPECT_EQ(dv::ReadStreamProperties(frame).nWideScreen, s.bWide ? 1 : 0);
        }

        // The audio samples are ffmpeg's, bit for bit.
        const auto pcmFile = m_dir / "ffmpeg.pcm";
        ASSERT_TRUE(dvtest::RunFfmpeg("-f dv -i " + dvFile.string() + " -map 0:a:0 -f s16le " + pcmFile.string()));
        const std::vector<uint8_t> pcm = ReadFile(pcmFile);
        std::vector<uint8_t> ours;
        for (int n = 0; n < kFrames; ++n) {
            dv::AudioFrame audio;
            ASSERT_EQ(dv::ExtractAudio(Frame(file, s.system, n), audio), dv::Result::Ok);
            EXPECT_EQ(audio.nRate, s.nRate);
            for (int16_t v : audio.samples) {
                ours.push_back(uint8_t(uint16_t(v)));
                ours.push_back(uint8_t(uint16_t(v) >> 8));
            }
        }
        ASSERT_GE(pcm.size(), ours.size() / 2);
        const size_t common = std::min(pcm.size(), ours.size());
        EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + long(common), pcm.begin()));
    }
}

TEST_F(DvOracle, OurFramesDecodeInFfmpegNearItsOwnEncodersQuality) {
    for (const dv::System system : {dv::System::System625_50, dv::System::System525_60}) {
        SCOPED_TRACE(SizeOf(system));
        const auto sourceFile = m_dir / "source.yuv";
        ASSERT_TRUE(dvtest::RunFfmpeg("-f lavfi -i mandelbrot=size=" + SizeOf(system) + ":rate=" + RateOf(system) +
                                      " -frames:v " + std::to_string(kFrames) + " -pix_fmt " + PixFmtOf(system) +
                                      " -f rawvideo " + sourceFile.string()));
        const std::vector<uint8_t> source = ReadFile(sourceFile);
        dv::YuvPicture picture = dvtest::EmptyPicture(system);
        const size_t pictureSize = picture.y.size() + 2 * picture.cb.size();
        ASSERT_EQ(source.size(), pictureSize * kFrames);

        std::vector<uint8_t> ours;
        dv::Encoder encoder;
        for (int n = 0; n < kFrames; ++n) {
            const uint8_t* p = source.data() + pictureSize * n;
            std::copy(p, p + picture.y.size(), picture.y.begin());
            std::copy(p + picture.y.size(), p + picture.y.size() + picture.cb.size(), picture.cb.begin());
            std::copy(p + picture.y.size() + picture.cb.size(), p + pictureSize, picture.cr.begin());
            std::vector<uint8_t> frame(dv::FrameSize(system));
            dv::FrameMetadata meta;
            meta.system = system;
            meta.timeCode = dv::FrameNumberToTimeCode(system, uint64_t(n));
            ASSERT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
            ASSERT_EQ(encoder.EncodeVideo(picture, system, frame), dv::Result::Ok);
            ours.insert(ours.end(), frame.begin(), frame.end());
        }
        const auto oursFile = m_dir / "ours.dv";
        dvtest::WriteFile(oursFile, ours);
        const auto theirsFile = m_dir / "theirs.dv";
        ASSERT_TRUE(dvtest::RunFfmpeg("-f rawvideo -s " + SizeOf(system) + " -pix_fmt " + PixFmtOf(system) + " -r " +
                                      RateOf(system) + " -i " + sourceFile.string() + " -c:v dvvideo -f dv " + theirsFile.string()));
        double psnr[2];
        int i = 0;
        for (const auto& file : {oursFile, theirsFile}) {
            const auto decodedFile = m_dir / "decoded.yuv";
            std::string errors;
            ASSERT_TRUE(dvtest::RunFfmpeg("-f dv -i " + file.string() + " -f rawvideo -pix_fmt " + PixFmtOf(system) + " " +
                                          decodedFile.string(), &errors));
            EXPECT_EQ(errors, "") << file;
            const std::vector<uint8_t> decoded = ReadFile(decodedFile);
            ASSERT_EQ(decoded.size(), source.size());
            double sum = 0;
            for (int n = 0; n < kFrames; ++n)
                sum += Psnr(decoded.data() + pictureSize * n, source.data() + pictureSize * n, picture.y.size());
            psnr[i++] = sum / kFrames;
        }
        RecordProperty("luma_psnr_ours", std::to_string(psnr[0]));
        RecordProperty("luma_psnr_ffmpeg", std::to_string(psnr[1]));
        EXPECT_GT(psnr[0], psnr[1] - 2.0) << "ours " << psnr[0] << " dB, ffmpeg " << psnr[1] << " dB";
    }
}

TEST_F(DvOracle, FfmpegReadsTheAudioWeWrite) {
    struct Case {
        dv::System system;
        dv::AudioMode mode;
    };
    const Case cases[] = {{dv::System::System525_60, dv::AudioMode::Stereo48k},
                          {dv::System::System625_50, dv::AudioMode::Stereo48k},
                          {dv::System::System525_60, dv::AudioMode::FourChannel32k12},
                          {dv::System::System625_50, dv::AudioMode::FourChannel32k12}};
    constexpr int kAudioFrames = 6;  // more than one 1600/1602 cycle
    for (const Case& c : cases) {
        SCOPED_TRACE(SizeOf(c.system) + (c.mode == dv::AudioMode::Stereo48k ? " 48k" : " 32k12"));
        dv::PatternSettings settings;
        settings.system = c.system;
        settings.audioMode = c.mode;
        dv::PatternGenerator generator(settings);
        std::vector<uint8_t> file, frame(dv::FrameSize(c.system));
        std::vector<int16_t> pairs[2];
        for (int n = 0; n < kAudioFrames; ++n) {
            ASSERT_EQ(generator.MakeFrame(uint64_t(n), frame), dv::Result::Ok);
            file.insert(file.end(), frame.begin(), frame.end());
            dv::AudioFrame audio;
            ASSERT_EQ(dv::ExtractAudio(frame, audio), dv::Result::Ok);
            for (int i = 0; i < audio.nSamples; ++i)
                for (int ch = 0; ch < audio.nChannels; ++ch) pairs[ch / 2].push_back(audio.samples[size_t(i) * audio.nChannels + ch]);
        }
        const auto dvFile = m_dir / "ours.dv";
        dvtest::WriteFile(dvFile, file);
        const int streams = c.mode == dv::AudioMode::FourChannel32k12 ? 2 : 1;
        for (int s = 0; s < streams; ++s) {
            const auto pcmFile = m_dir / "ours.pcm";
            ASSERT_TRUE(dvtest::RunFfmpeg("-f dv -i " + dvFile.string() + " -map 0:a:" + std::to_string(s) + " -f s16le " +
                                          pcmFile.string()));
            const std::vector<uint8_t> pcm = ReadFile(pcmFile);
            ASSERT_EQ(pcm.size(), pairs[s].size() * 2);
            for (size_t i = 0; i < pairs[s].size(); ++i)
                ASSERT_EQ(int16_t(uint16_t(pcm[2 * i] | pcm[2 * i + 1] << 8)), pairs[s][i]) << "sample " << i;
        }
    }
}

TEST_F(DvOracle, FfmpegDecodesOurFieldDctBlocksAsWeDo) {
    // Lines of the two fields far apart: the encoder picks the 2-4-8 DCT for most blocks.
    for (const dv::System system : {dv::System::System625_50, dv::System::System525_60}) {
        SCOPED_TRACE(SizeOf(system));
        dv::YuvPicture combed = dvtest::TestPicture(system, 4);
        for (int y = 1; y < combed.nHeight; y += 2)
            for (int x = 0; x < combed.nWidth; ++x) combed.y[size_t(y) * combed.nWidth + x] = uint8_t(235 - combed.y[size_t(y) * combed.nWidth + x] / 2);
        std::vector<uint8_t> frame(dv::FrameSize(system));
        dv::FrameMetadata meta;
        meta.system = system;
        ASSERT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
        dv::Encoder encoder;
        ASSERT_EQ(encoder.EncodeVideo(combed, system, frame), dv::Result::Ok);
        const auto dvFile = m_dir / "combed.dv";
        const auto rawFile = m_dir / "combed.yuv";
        dvtest::WriteFile(dvFile, frame);
        std::string errors;
        ASSERT_TRUE(dvtest::RunFfmpeg("-f dv -i " + dvFile.string() + " -f rawvideo -pix_fmt " + PixFmtOf(system) + " " +
                                      rawFile.string(), &errors));
        EXPECT_EQ(errors, "");
        const std::vector<uint8_t> raw = ReadFile(rawFile);
        dv::Decoder decoder;
        dv::YuvPicture ours;
        ASSERT_EQ(decoder.DecodeYuv(frame, dv::DecodeSize::Full, ours), dv::Result::Ok);
        ASSERT_EQ(raw.size(), ours.y.size() + 2 * ours.cb.size());
        EXPECT_GE(Psnr(ours.y.data(), raw.data(), ours.y.size()), 40.0);
        EXPECT_GE(Psnr(ours.cb.data(), raw.data() + ours.y.size(), ours.cb.size()), 40.0);
        EXPECT_GT(Psnr(combed.y.data(), raw.data(), combed.y.size()), 30.0);
    }
}

TEST_F(DvOracle, CodedLevelsAreExactlyThoseOfFfmpegsPictures) {
    // Both ways: frames ffmpeg coded and frames we coded, each decoded by ffmpeg.
    for (const dv::System system : {dv::System::System625_50, dv::System::System525_60}) {
        for (const bool bOurs : {false, true}) {
            SCOPED_TRACE(SizeOf(system) + (bOurs ? " coded by us" : " coded by ffmpeg"));
            const auto dvFile = m_dir / "levels.dv";
            const auto rawFile = m_dir / "levels.yuv";
            const std::string source = "-f lavfi -i testsrc2=size=" + SizeOf(system) + ":rate=" + RateOf(system) +
                                       ",noise=alls=12:allf=t -frames:v 2 -pix_fmt " + PixFmtOf(system);
            std::vector<uint8_t> file;
            if (bOurs) {
                ASSERT_TRUE(dvtest::RunFfmpeg(source + " -f rawvideo " + rawFile.string()));
                const std::vector<uint8_t> raw = ReadFile(rawFile);
                dv::YuvPicture picture = dvtest::EmptyPicture(system);
                const size_t pictureSize = picture.y.size() + 2 * picture.cb.size();
                ASSERT_EQ(raw.size(), 2 * pictureSize);
                dv::Encoder encoder;
                for (int n = 0; n < 2; ++n) {
                    const uint8_t* p = raw.data() + pictureSize * size_t(n);
                    std::copy(p, p + picture.y.size(), picture.y.begin());
                    std::copy(p + picture.y.size(), p + picture.y.size() + picture.cb.size(), picture.cb.begin());
                    std::copy(p + picture.y.size() + picture.cb.size(), p + pictureSize, picture.cr.begin());
                    std::vector<uint8_t> frame(dv::FrameSize(system));
                    dv::FrameMetadata meta;
                    meta.system = system;
                    ASSERT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
                    ASSERT_EQ(encoder.EncodeVideo(picture, system, frame), dv::Result::Ok);
                    file.insert(file.end(), frame.begin(), frame.end());
                }
                dvtest::WriteFile(dvFile, file);
            } else {
                ASSERT_TRUE(dvtest::RunFfmpeg(source + " -c:v dvvideo -f dv " + dvFile.string()));
                file = ReadFile(dvFile);
            }
            ASSERT_TRUE(dvtest::RunFfmpeg("-f dv -i " + dvFile.string() + " -f rawvideo -pix_fmt " + PixFmtOf(system) +
                                          " " + rawFile.string()));
            const std::vector<uint8_t> decoded = ReadFile(rawFile);
            const size_t lumaSize = size_t(720) * (system == dv::System::System625_50 ? 576 : 480);
            ASSERT_EQ(decoded.size(), 2 * lumaSize * 3 / 2);
            ASSERT_GE(file.size(), 2 * dv::FrameSize(system));
            for (int n = 0; n < 2; ++n) {
                const size_t compared = ExpectLevelsMatchPicture(Frame(file, system, n), system,
                                                                 decoded.data() + size_t(n) * lumaSize * 3 / 2);
                // Most of the frame takes part: a test that compares nothing would pass anything.
                EXPECT_GT(compared, lumaSize / 2);
            }
        }
    }
}
