// Video coding: our encoder and decoder together, every decode size, and damaged input.
#include "TestSupport.h"

#include "dv/Audio.h"
#include "dv/Decoder.h"
#include "dv/Encoder.h"
#include "dv/FrameInfo.h"
#include "dv/FrameWriter.h"
#include "dv/TimeCodeCounting.h"
#include "dv/Pattern.h"
#include "RgbRows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using dvtest::Psnr;

namespace {

const dv::System kSystems[] = {dv::System::System525_60, dv::System::System625_50};
const dv::DecodeSize kSizes[] = {dv::DecodeSize::Full, dv::DecodeSize::Half, dv::DecodeSize::Quarter, dv::DecodeSize::Eighth};

std::vector<uint8_t> Encode(const dv::YuvPicture& picture, dv::System system, bool fieldAdaptive = true) {
    std::vector<uint8_t> frame(dv::FrameSize(system));
    dv::FrameMetadata meta;
    meta.system = system;
    EXPECT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
    dv::Encoder encoder;
    encoder.SetFieldAdaptive(fieldAdaptive);
    EXPECT_EQ(encoder.EncodeVideo(picture, system, frame), dv::Result::Ok);
    return frame;
}

// Averages n x n (luma) blocks of a plane; chroma planes of 4:1:1 keep their width ratio.
std::vector<uint8_t> Shrink(const std::vector<uint8_t>& plane, int width, int height, int fx, int fy, int outW, int outH) {
    std::vector<uint8_t> out(size_t(outW) * outH);
    for (int y = 0; y < outH; ++y)
        for (int x = 0; x < outW; ++x) {
            int sum = 0, n = 0;
            for (int dy = 0; dy < fy; ++dy)
                for (int dx = 0; dx < fx; ++dx) {
                    const int sx = x * fx + dx, sy = y * fy + dy;
                    if (sx < width && sy < height) sum += plane[size_t(sy) * width + sx], ++n;
                }
            out[size_t(y) * outW + x] = uint8_t((sum + n / 2) / std::max(n, 1));
        }
    return out;
}

// Counts blocks coded with the 2-4-8 DCT.
int FieldBlocks(const std::vector<uint8_t>& frame, dv::System system) {
    static const int kStart[6] = {8, 120, 232, 344, 456, 536};
    int count = 0;
    for (size_t seq = 0; seq < dv::SequenceCount(system); ++seq)
        for (size_t v = 0; v < 135; ++v) {
            const uint8_t* p = frame.data() + dv::dif::BlockOffset(seq, dv::dif::VideoBlock(v)) + 3;
            for (int start : kStart) {
                const int bit = start + 9;
                count += (p[bit / 8] >> (7 - bit % 8)) & 1;
            }
        }
    return count;
}

}  // namespace

TEST(DvCodec, BuffersThatAreNotWholeFramesAreRefused) {
    dv::Decoder decoder;
    dv::YuvPicture yuv;
    for (const size_t size : {size_t(0), size_t(80), size_t(119999), size_t(144001)}) {
        std::vector<uint8_t> buffer(size, 0);
        EXPECT_EQ(decoder.DecodeYuv(buffer, dv::DecodeSize::Full, yuv), dv::Result::WrongSize) << size;
    }
    std::vector<uint8_t> ntscSizedPal(dv::dif::kFrameSize525, 0);
    ntscSizedPal[3] = 0x80;  // DSF says 625/50
    EXPECT_EQ(decoder.DecodeYuv(ntscSizedPal, dv::DecodeSize::Full, yuv), dv::Result::WrongSize);
    dv::Encoder encoder;
    std::vector<uint8_t> frame(dv::dif::kFrameSize625);
    dv::YuvPicture wrong = dvtest::EmptyPicture(dv::System::System525_60);
    EXPECT_EQ(encoder.EncodeVideo(wrong, dv::System::System625_50, frame), dv::Result::BadArgument);
}

TEST(DvCodec, EncodedPicturesDecodeCloseToTheSource) {
    for (const dv::System system : kSystems) {
        const dv::YuvPicture source = dvtest::TestPicture(system, 3);
        const std::vector<uint8_t> frame = Encode(source, system);
        dv::Decoder decoder;
        dv::YuvPicture decoded;
        ASSERT_EQ(decoder.DecodeYuv(frame, dv::DecodeSize::Full, decoded), dv::Result::Ok);
        EXPECT_GT(Psnr(source.y, decoded.y), 38.0);
        EXPECT_GT(Psnr(source.cb, decoded.cb), 38.0);
        EXPECT_GT(Psnr(source.cr, decoded.cr), 38.0);
    }
}

TEST(DvCodec, FlatColoursComeBackAtEverySizeIncludingTheRightEdge) {
    for (const dv::System system : kSystems) {
        dv::YuvPicture flat = dvtest::EmptyPicture(system);
        std::fill(flat.y.begin(), flat.y.end(), 100);
        std::fill(flat.cb.begin(), flat.cb.end(), 60);
        std::fill(flat.cr.begin(), flat.cr.end(), 200);
        const std::vector<uint8_t> frame = Encode(flat, system);
        dv::Decoder decoder;
        for (const dv::DecodeSize size : kSizes) {
            dv::YuvPicture out;
            ASSERT_EQ(decoder.DecodeYuv(frame, size, out), dv::Result::Ok);
            EXPECT_EQ(out.nWidth, dv::DecodedWidth(size));
            EXPECT_EQ(out.nHeight, dv::DecodedHeight(system, size));
            for (uint8_t v : out.y) ASSERT_NEAR(v, 100, 1);
            for (uint8_t v : out.cb) ASSERT_NEAR(v, 60, 1);
            for (uint8_t v : out.cr) ASSERT_NEAR(v, 200, 1);
        }
    }
}

TEST(DvCodec, SmallerSizesAreTheFullPictureScaledDown) {
    for (const dv::System system : kSystems) {
        const bool is411 = system == dv::System::System525_60;
        const std::vector<uint8_t> frame = Encode(dvtest::TestPicture(system, 5), system);
        dv::Decoder decoder;
        dv::YuvPicture full;
        ASSERT_EQ(decoder.DecodeYuv(frame, dv::DecodeSize::Full, full), dv::Result::Ok);
        for (const dv::DecodeSize size : {dv::DecodeSize::Half, dv::DecodeSize::Quarter, dv::DecodeSize::Eighth}) {
            const int s = int(size);
            dv::YuvPicture small;
            ASSERT_EQ(decoder.DecodeYuv(frame, size, small), dv::Result::Ok);
            EXPECT_GT(Psnr(small.y, Shrink(full.y, full.nWidth, full.nHeight, s, s, small.nWidth, small.nHeight)), 30.0) << s;
            EXPECT_GT(Psnr(small.cr, Shrink(full.cr, full.nChromaWidth, full.nChromaHeight, s, s, small.nChromaWidth,
                                             small.nChromaHeight)), 30.0) << s;
            EXPECT_EQ(small.nChromaWidth, is411 ? (180 + s - 1) / s : 360 / s);
        }
    }
}

TEST(DvCodec, RgbOutputIsABottomUpBgrBitmap) {
    dv::RgbPicture rgb;
    rgb.Allocate(720, 576);
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 720; ++x) {
            uint8_t* p = rgb.At(x, y);
            p[0] = y < 288 ? 0 : 220;    // blue
            p[1] = 0;                    // green
            p[2] = y < 288 ? 220 : 0;    // red
        }
    std::vector<uint8_t> frame(dv::dif::kFrameSize625);
    dv::FrameMetadata meta;
    ASSERT_EQ(dv::WriteFrameStructure(meta, frame), dv::Result::Ok);
    dv::Encoder encoder;
    ASSERT_EQ(encoder.EncodeVideo(rgb, dv::System::System625_50, frame), dv::Result::Ok);
    dv::Decoder decoder;
    for (const dv::DecodeSize size : kSizes) {
        dv::RgbPicture out;
        ASSERT_EQ(decoder.DecodeRgb(frame, size, out), dv::Result::Ok);
        EXPECT_EQ(out.nStride % 4, 0);
        EXPECT_GE(out.nStride, out.nWidth * 3);
        // The first row in memory is the bottom of the picture: blue.
        EXPECT_GT(out.pixels[0], 180);
        EXPECT_LT(out.pixels[2], 40);
        const uint8_t* top = out.At(out.nWidth / 2, 0);
        EXPECT_GT(top[2], 180);
        EXPECT_LT(top[0], 40);
    }
}

TEST(DvCodec, FieldDifferencesChooseTheFieldDctAndStillDecodeWell) {
    const dv::System system = dv::System::System625_50;
    dv::YuvPicture combed = dvtest::TestPicture(system, 1);
    for (int y = 0; y < combed.nHeight; y += 2)
        for (int x = 0; x < combed.nWidth; ++x) combed.y[size_t(y) * combed.nWidth + x] = uint8_t(combed.y[size_t(y) * combed.nWidth + x] / 3 + 16);
    const std::vector<uint8_t> adaptive = Encode(combed, system, true);
    const std::vector<uint8_t> frameOnly = Encode(combed, system, false);
    EXPECT_GT(FieldBlocks(adaptive, system), 1000);
    EXPECT_EQ(FieldBlocks(frameOnly, system), 0);
    dv::Decoder decoder;
    dv::YuvPicture a, b;
    ASSERT_EQ(decoder.DecodeYuv(adaptive, dv::DecodeSize::Full, a), dv::Result::Ok);
    ASSERT_EQ(decoder.DecodeYuv(frameOnly, dv::DecodeSize::Full, b), dv::Result::Ok);
    EXPECT_GT(Psnr(combed.y, a.y), 33.0);
    EXPECT_GT(Psnr(combed.y, a.y), Psnr(combed.y, b.y) - 0.5);
}

TEST(DvCodec, NoiseThatCannotFitIsCutDownNotOverflowed) {
    for (const dv::System system : kSystems) {
        dv::YuvPicture noise = dvtest::EmptyPicture(system);
        std::mt19937 rng(11);
        for (uint8_t& v : noise.y) v = uint8_t(rng());
        for (uint8_t& v : noise.cb) v = uint8_t(rng());
        for (uint8_t& v : noise.cr) v = uint8_t(rng());
        const std::vector<uint8_t> frame = Encode(noise, system);
        dv::Decoder decoder;
        dv::YuvPicture out;
        ASSERT_EQ(decoder.DecodeYuv(frame, dv::DecodeSize::Full, out), dv::Result::Ok);
        // Heavily quantised, but the average brightness of every macroblock row survives.
        EXPECT_GT(Psnr(Shrink(noise.y, 720, noise.nHeight, 16, 16, 45, noise.nHeight / 16),
                       Shrink(out.y, 720, out.nHeight, 16, 16, 45, out.nHeight / 16)), 30.0);
    }
}

TEST(DvCodec, DamagedFramesDecodeWithoutReadingOutside) {
    std::mt19937 rng(2024);
    dv::Decoder decoder;
    dv::YuvPicture yuv;
    dv::RgbPicture rgb;
    for (const dv::System system : kSystems) {
        const std::vector<uint8_t> good = Encode(dvtest::TestPicture(system, 9), system);
        for (int trial = 0; trial < 24; ++trial) {
            std::vector<uint8_t> frame(good.size());
            if (trial == 0) std::fill(frame.begin(), frame.end(), 0xFF);
            else if (trial == 1) std::fill(frame.begin(), frame.end(), 0x00);
            else if (trial < 8) for (uint8_t& b : frame) b = uint8_t(rng());
            else {
                frame = good;
                for (int k = 0; k < trial * 40; ++k) frame[rng() % frame.size()] ^= uint8_t(1 << (rng() % 8));
            }
            frame[3] = system == dv::System::System625_50 ? 0xBF : 0x3F;
            for (const dv::DecodeSize size : kSizes) {
                ASSERT_EQ(decoder.DecodeYuv(frame, size, yuv), dv::Result::Ok);
                ASSERT_EQ(decoder.DecodeRgb(frame, size, rgb), dv::Result::Ok);
            }
            dv::FrameInfo info;
            EXPECT_EQ(dv::ReadFrameInfo(frame, info), dv::Result::Ok);
        }
    }
}

TEST(DvCodec, PatternFramesCarryTheirSettings) {
    dv::PatternSettings settings;
    settings.system = dv::System::System525_60;
    settings.bWideScreen = true;
    settings.nFrameMode = 24;
    settings.audioMode = dv::AudioMode::FourChannel32k12;
    settings.startDate = dv::RecDate{2024, 2, 29};
    settings.startTime = dv::RecTime{23, 59, 59};
    dv::PatternGenerator generator(settings);
    std::vector<uint8_t> frame(dv::dif::kFrameSize525);
    for (uint64_t n : {uint64_t(0), uint64_t(1), uint64_t(40)}) {
        ASSERT_EQ(generator.MakeFrame(n, frame), dv::Result::Ok);
        dv::FrameInfo info;
        ASSERT_EQ(dv::ReadFrameInfo(frame, info), dv::Result::Ok);
        EXPECT_TRUE(info.bWideScreen);
        EXPECT_EQ(info.nFrameMode, 24);
        ASSERT_TRUE(info.audio.has_value());
        EXPECT_EQ(info.audio->nChannels, 4);
        EXPECT_EQ(info.audio->nSamples, dv::LockedSamplesPerFrame(settings.system, dv::SampleRate::Rate32k, n));
        EXPECT_EQ(*info.timeCode, dv::FrameNumberToTimeCode(settings.system, n));
        const dv::StreamProperties props = dv::ReadStreamProperties(frame);
        EXPECT_EQ(props.nWideScreen, 1);
        EXPECT_EQ(props.nFrameMode, 24);
        EXPECT_EQ(props.nAudioMode, 2);
        if (n == 40) {  // 1.33 s later: the next day, a leap day before
            EXPECT_EQ(info.recDate, (dv::RecDate{2024, 3, 1}));
            EXPECT_EQ(info.recTime, (dv::RecTime{0, 0, 0}));
        }
    }
}

TEST(DvCodec, StudioLevelsConvertToFullRangeRgb) {
    struct Sample {
        uint8_t y, cb, cr;
        int r, g, b;
    };
    const Sample samples[] = {{235, 128, 128, 255, 255, 255}, {16, 128, 128, 0, 0, 0},    {126, 128, 128, 128, 128, 128},
                              {81, 90, 240, 255, 0, 0},       {145, 54, 34, 0, 255, 0},    {41, 240, 110, 0, 0, 255}};
    for (const Sample& s : samples) {
        for (const bool is411 : {true, false}) {
            dv::YuvPicture yuv;
            yuv.Allocate(8, 4, is411 ? 2 : 4, is411 ? 4 : 2);
            std::fill(yuv.y.begin(), yuv.y.end(), s.y);
            std::fill(yuv.cb.begin(), yuv.cb.end(), s.cb);
            std::fill(yuv.cr.begin(), yuv.cr.end(), s.cr);
            dv::RgbPicture rgb;
            dv::YuvToRgb(yuv, rgb);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 8; ++x) {
                    const uint8_t* p = rgb.At(x, y);
                    EXPECT_NEAR(p[2], s.r, 2) << int(s.y);
                    EXPECT_NEAR(p[1], s.g, 2) << int(s.y);
                    EXPECT_NEAR(p[0], s.b, 2) << int(s.y);
                }
        }
    }
}

namespace {

// Every Y'CbCr triple through both chroma layouts, rows with a remainder after the blocks of
// sixteen pixels, by every instruction set the conversion is built for here: each channel within
// one step of the exactly rounded BT.601 value, and nothing written outside the pixels of a row.
void CheckEveryTriple(dv::rgb::Kernel kernel) {
    const auto exact = [](double v) { return int(std::lround(std::clamp(v, 0.0, 255.0))); };
    struct Layout {
        int nWidth, nHeight, nChromaWidth, nChromaHeight, nPerChroma, nRowsPerChroma, nPasses;
    };
    // 4:2:0 covers every triple: chroma row = Cb, chroma column = Cr (modulo 256), and the four
    // luma samples of a chroma sample take four consecutive Y values in each of 64 passes.
    const Layout layouts[] = {{522, 512, 261, 256, 2, 2, 64}, {1022, 256, 256, 256, 4, 1, 4}};
    for (const Layout& l : layouts) {
        for (int pass = 0; pass < l.nPasses; ++pass) {
            dv::YuvPicture yuv;
            yuv.Allocate(l.nWidth, l.nHeight, l.nChromaWidth, l.nChromaHeight);
            for (int y = 0; y < l.nHeight; ++y)
                for (int x = 0; x < l.nWidth; ++x) {
                    const int within = x % l.nPerChroma + (y % l.nRowsPerChroma) * l.nPerChroma;
                    yuv.y[size_t(y) * l.nWidth + x] = uint8_t(pass * 4 + within + (l.nPasses < 64 ? x * 7 + y : 0));
                }
            for (int cy = 0; cy < l.nChromaHeight; ++cy)
                for (int cx = 0; cx < l.nChromaWidth; ++cx) {
                    yuv.cb[size_t(cy) * l.nChromaWidth + cx] = uint8_t(cy);
                    yuv.cr[size_t(cy) * l.nChromaWidth + cx] = uint8_t(cx);
                }
            dv::RgbPicture rgb;
            rgb.Allocate(l.nWidth, l.nHeight);
            std::fill(rgb.pixels.begin(), rgb.pixels.end(), 0xA5);
            for (int y = 0; y < l.nHeight; y += l.nRowsPerChroma) {
                const int last = y + l.nRowsPerChroma - 1;
                const uint8_t* luma[2] = {&yuv.y[size_t(y) * l.nWidth], &yuv.y[size_t(last) * l.nWidth]};
                uint8_t* out[2] = {rgb.At(0, y), rgb.At(0, last)};
                const size_t chromaRow = size_t(y / l.nRowsPerChroma) * l.nChromaWidth;
                dv::rgb::ConvertRows(kernel, luma, out, l.nRowsPerChroma, &yuv.cb[chromaRow], &yuv.cr[chromaRow], l.nChromaWidth,
                                     l.nPerChroma, l.nWidth);
            }
            for (int y = 0; y < l.nHeight; ++y) {
                const uint8_t* row = rgb.At(0, y);
                for (int x = 0; x < l.nWidth; ++x) {
                    const size_t c = size_t(y / l.nRowsPerChroma) * l.nChromaWidth + x / l.nPerChroma;
                    const double luma = (yuv.y[size_t(y) * l.nWidth + x] - 16) * 255.0 / 219.0;
                    const double u = (yuv.cb[c] - 128) * 255.0 / 224.0, v = (yuv.cr[c] - 128) * 255.0 / 224.0;
                    const int b = exact(luma + 1.772 * u), g = exact(luma - 0.344136 * u - 0.714136 * v), r = exact(luma + 1.402 * v);
                    const uint8_t* p = row + x * 3;
                    if (std::abs(p[0] - b) > 1 || std::abs(p[1] - g) > 1 || std::abs(p[2] - r) > 1)
                        FAIL() << "Y " << int(yuv.y[size_t(y) * l.nWidth + x]) << " Cb " << int(yuv.cb[c]) << " Cr "
                               << int(yuv.cr[c]) << ": " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]) << " for "
                               << b << " " << g << " " << r << " (x " << x << ", width " << l.nWidth << ")";
                }
                for (int pad = l.nWidth * 3; pad < rgb.nStride; ++pad) ASSERT_EQ(row[pad], 0xA5) << "row padding written";
            }
        }
    }
}

}  // namespace

TEST(DvCodec, RgbConversionIsWithinOneStepOfTheExactValueForEveryTriple) {
    for (const dv::rgb::Kernel kernel : {dv::rgb::Kernel::Portable, dv::rgb::Kernel::Sse2, dv::rgb::Kernel::Ssse3}) {
        if (!dv::rgb::HasKernel(kernel)) continue;
        SCOPED_TRACE("instruction set " + std::to_string(int(kernel)));
        CheckEveryTriple(kernel);
    }
}
