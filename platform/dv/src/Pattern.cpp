#include "dv/Pattern.h"

#include "dv/Audio.h"
#include "dv/TimeCodeCounting.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace dv {

namespace {

constexpr int kBarCount = 8;
constexpr int kBarStepPerFrame = 4;  // samples the bars move to the left per frame
constexpr double kToneAmplitude = 8192.0;  // -12 dBFS

// 75 % colour bars: white, yellow, cyan, green, magenta, red, blue, black (Y', Cb, Cr).
struct Colour {
    uint8_t y, cb, cr;
};
Colour BarColour(int bar) {
    static const int kRgb[kBarCount][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                           {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
    const double r = kRgb[bar][0], g = kRgb[bar][1], b = kRgb[bar][2];
    const double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
    const double cb = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
    const double cr = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
    return Colour{uint8_t(std::lround(y)), uint8_t(std::lround(cb)), uint8_t(std::lround(cr))};
}

AudioSource SourceFor(const PatternSettings& s, int samples) {
    AudioSource a;
    a.system = s.system;
    a.bLocked = s.bLockedAudio;
    a.nSamples = samples;
    switch (s.audioMode) {
    case AudioMode::Stereo48k: a.rate = SampleRate::Rate48k; break;
    case AudioMode::Stereo44k1: a.rate = SampleRate::Rate44k1; break;
    case AudioMode::Stereo32k: a.rate = SampleRate::Rate32k; break;
    case AudioMode::FourChannel32k12:
        a.rate = SampleRate::Rate32k;
        a.quantization = AudioQuantization::NonLinear12;
        a.nChannels = 4;
        break;
    }
    return a;
}

// Samples of all frames before frame n of a locked recording.
uint64_t SamplesBefore(System system, SampleRate rate, uint64_t n) {
    const uint64_t hz = uint64_t(SampleRateHz(rate));
    if (system == System::System625_50) return n * (hz / 25);
    if (rate == SampleRate::Rate48k) return 8008 * (n / 5) + (n % 5 ? 1600 + 1602 * (n % 5 - 1) : 0);
    return n * hz * 1001 / 30000;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[(month - 1) % 12];
}

}  // namespace

PatternGenerator::PatternGenerator(const PatternSettings& settings) : m_settings(settings) {
    const bool is411 = settings.system == System::System525_60;
    m_picture.Allocate(720, FrameHeight(settings.system), is411 ? 180 : 360, is411 ? 480 : 288);
}

void PatternGenerator::MakePicture(uint64_t nFrame, YuvPicture& picture) const {
    const bool is411 = m_settings.system == System::System525_60;
    const int height = FrameHeight(m_settings.system);
    if (picture.nWidth != 720 || picture.nHeight != height)
        picture.Allocate(720, height, is411 ? 180 : 360, is411 ? 480 : 288);
    const int barWidth = 720 / kBarCount;
    const int shift = int((nFrame * kBarStepPerFrame) % 720);
    Colour colours[kBarCount];
    for (int i = 0; i < kBarCount; ++i) colours[i] = BarColour(i);
    // Bars over the upper two thirds, a grey ramp below, a white box moving down the left. Each
    // kind of row is made once and copied: the camcorder makes thirty of these pictures a second.
    const int barRows = height * 2 / 3;
    const int boxY = int((nFrame * 2) % uint64_t(height - 32));
    uint8_t barRow[720], rampRow[720];
    for (int x = 0; x < 720; ++x) {
        barRow[x] = colours[((x + shift) % 720) / barWidth].y;
        rampRow[x] = uint8_t(16 + x * 219 / 719);
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.y.data() + size_t(y) * 720;
        std::memcpy(row, y < barRows ? barRow : rampRow, 720);
        if (y >= boxY && y < boxY + 32) std::memset(row + 32, 235, 32);
    }
    const int chromaStep = is411 ? 4 : 2;
    const size_t chromaWidth = size_t(picture.nChromaWidth);
    std::vector<uint8_t> barCb(chromaWidth), barCr(chromaWidth);
    for (size_t cx = 0; cx < chromaWidth; ++cx) {
        const Colour c = colours[((int(cx) * chromaStep + shift) % 720) / barWidth];
        barCb[cx] = c.cb;
        barCr[cx] = c.cr;
    }
    for (int cy = 0; cy < picture.nChromaHeight; ++cy) {
        const int y = is411 ? cy : cy * 2;
        const size_t at = size_t(cy) * chromaWidth;
        if (y < barRows) {
            std::memcpy(picture.cb.data() + at, barCb.data(), chromaWidth);
            std::memcpy(picture.cr.data() + at, barCr.data(), chromaWidth);
        } else {
            std::memset(picture.cb.data() + at, 128, chromaWidth);
            std::memset(picture.cr.data() + at, 128, chromaWidth);
        }
    }
}

Result PatternGenerator::MakeFrame(uint64_t nFrame, std::span<uint8_t> frame) {
    const System system = m_settings.system;
    if (frame.size() != FrameSize(system)) return Result::WrongSize;

    FrameMetadata meta;
    meta.system = system;
    meta.bWideScreen = m_settings.bWideScreen;
    meta.nFrameMode = m_settings.nFrameMode;
    meta.bRecordingStart = nFrame == 0;
    meta.timeCode = FrameNumberToTimeCode(system, nFrame);
    // Date and time of day advance with the frames.
    const uint64_t seconds = system == System::System625_50 ? nFrame / 25 : nFrame * 1001 / 30000;
    uint64_t total = uint64_t(m_settings.startTime.nHours) * 3600 + uint64_t(m_settings.startTime.nMinutes) * 60 +
                     uint64_t(m_settings.startTime.nSeconds) + seconds;
    RecDate date = m_settings.startDate;
    for (uint64_t days = total / 86400; days > 0; --days) {
        if (++date.nDay > DaysInMonth(date.nYear, date.nMonth)) {
            date.nDay = 1;
            if (++date.nMonth > 12) date.nMonth = 1, ++date.nYear;
        }
    }
    total %= 86400;
    meta.recDate = date;
    meta.recTime = RecTime{int(total / 3600), int(total / 60 % 60), int(total % 60)};
    Result result = WriteFrameStructure(meta, frame);
    if (result != Result::Ok) return result;

    MakePicture(nFrame, m_picture);
    result = m_encoder.EncodeVideo(m_picture, system, frame);
    if (result != Result::Ok) return result;

    const AudioSource probe = SourceFor(m_settings, 0);
    const int count = LockedSamplesPerFrame(system, probe.rate, nFrame);
    const AudioSource source = SourceFor(m_settings, count);
    if (nFrame != m_nNextFrame) m_nSamplesBefore = SamplesBefore(system, source.rate, nFrame);
    m_samples.assign(size_t(count) * source.nChannels, 0);
    const double step = 2.0 * 3.14159265358979323846 * m_settings.nToneHz / SampleRateHz(source.rate);
    for (int i = 0; i < count; ++i) {
        const double phase = std::fmod(double(m_nSamplesBefore + uint64_t(i)) * step, 2.0 * 3.14159265358979323846);
        const int16_t v = int16_t(std::lround(kToneAmplitude * std::sin(phase)));
        for (int ch = 0; ch < source.nChannels; ++ch)
            m_samples[size_t(i) * source.nChannels + ch] = ch % 2 ? int16_t(v / 2) : v;  // right at half level
    }
    result = InsertAudio(frame, source, m_samples);
    m_nSamplesBefore += uint64_t(count);
    m_nNextFrame = nFrame + 1;
    return result;
}

}  // namespace dv
