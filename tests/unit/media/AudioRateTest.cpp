// The DV audio at its own rate: DV types that name the rate, the rate converter, the DV
// splitter's output (first channel pair of 12-bit four-channel sound, conversion when the frames
// change rate within a run, silence for lost frames), and Type 2 captures from the simulated
// camcorder whose audio stream has the camcorder's rate and each frame's sample count.
#include "CamcorderFilter.h"
#include "MediaTestSupport.h"
#include "RateConverter.h"

#include "avi/AviParser.h"
#include "avi/AviWriter.h"
#include "devices/Bus.h"
#include "devices/BusControl.h"
#include "devices/DVStreamSource.h"
#include "devices/DeviceTypes.h"
#include "devices/Faces.h"
#include "dv/Audio.h"

#include <oleauto.h>

#include <cmath>
#include <map>
#include <mutex>

using namespace mediatest;
using namespace media;
using namespace std::chrono_literals;

namespace {

constexpr double Pi = 3.14159265358979323846;

// A sink that keeps every buffer it receives.
class BufferSink final : public FilterBase {
public:
    BufferSink() : FilterBase(GUID_NULL) { AddPin(PINDIR_INPUT); }
    HRESULT CheckInputType(int, const MediaType&) override { return S_OK; }
    HRESULT Receive(int, const Sample& sample) override {
        std::lock_guard lock(m_mtx);
        const int16_t* p = reinterpret_cast<const int16_t*>(sample.pData);
        m_vecBuffers.emplace_back(p, p + sample.nSize / sizeof(int16_t));
        return S_OK;
    }
    bool IsRenderer() const override { return true; }
    std::vector<std::vector<int16_t>> Buffers() {
        std::lock_guard lock(m_mtx);
        return m_vecBuffers;
    }
    const MediaType& Connected() const { return FindPin(PINDIR_INPUT, 0)->Type(); }

private:
    std::mutex m_mtx;
    std::vector<std::vector<int16_t>> m_vecBuffers;
};

TEST(DVAudioTypes, InterleavedDVNamesTheRateOfItsSound) {
    for (DWORD nRate : {48000u, 44100u, 32000u}) {
        for (bool b625 : {false, true}) {
            const MediaType mt = MakeDVType(MEDIATYPE_Interleaved, b625, nRate);
            EXPECT_EQ(nRate, DVTypeAudioRate(mt));
            EXPECT_EQ(b625, DVTypeIs625(mt));
            EXPECT_TRUE(IsDVType(mt, MEDIATYPE_Interleaved));
        }
    }
    EXPECT_EQ(0u, DVTypeAudioRate(MakeDVType(MEDIATYPE_Interleaved, true)));
    EXPECT_EQ(0u, DVTypeAudioRate(MakeDVType(MEDIATYPE_Interleaved, true, 22050)));  // not a DV rate
}

TEST(RateConverter, GivesTheSamplesOfTheOtherRateForTheSameTimeWithSmoothJoins) {
    // A 1 kHz tone at 32 kHz in frame-sized buffers of 1280 samples, made 48 kHz.
    RateConverter converter;
    std::vector<int16_t> vecOut;
    size_t nIn = 0;
    for (int nBuffer = 0; nBuffer < 50; ++nBuffer) {
        std::vector<int16_t> vecIn;
        for (int n = 0; n < 1280; ++n, ++nIn) {
            const auto v = static_cast<int16_t>(std::lround(16000 * std::sin(2 * Pi * 1000 * static_cast<double>(nIn) / 32000)));
            vecIn.push_back(v);
            vecIn.push_back(static_cast<int16_t>(-v));
        }
        converter.Convert(vecIn.data(), 1280, 32000, 48000, vecOut);
    }
    // Two seconds in, two seconds out (the last output sample waits for the next input).
    const size_t nOut = vecOut.size() / 2;
    EXPECT_GE(nOut, 96000u - 2);
    EXPECT_LE(nOut, 96000u);
    double dWorst = 0;
    for (size_t n = 0; n < nOut; ++n) {
        const double dIdeal = 16000 * std::sin(2 * Pi * 1000 * static_cast<double>(n) / 48000);
        dWorst = std::max(dWorst, std::abs(vecOut[n * 2] - dIdeal));
        ASSERT_EQ(vecOut[n * 2], -vecOut[n * 2 + 1]) << n;
    }
    EXPECT_LT(dWorst, 16000 * 0.04);  // linear interpolation of a tone 32 samples long

    // Down from 48 kHz: 1600 samples a buffer give 1066.67 at 32 kHz, exactly over three buffers.
    RateConverter down;
    std::vector<int16_t> vecDown;
    const std::vector<int16_t> vecFlat(1600 * 2, 1234);
    for (int n = 0; n < 3; ++n) down.Convert(vecFlat.data(), 1600, 48000, 32000, vecDown);
    EXPECT_GE(vecDown.size() / 2, 3200u - 1);
    EXPECT_LE(vecDown.size() / 2, 3200u);
    for (int16_t v : vecDown) ASSERT_EQ(1234, v);
}

class SplitterAudio : public ::testing::Test {
protected:
    void Build(bool b625, DWORD nTypeRate) {
        m_spGraph = NewGraph();
        m_pSource = new PushSource(MakeDVType(MEDIATYPE_Interleaved, b625, nTypeRate), true);
        m_spSource = Own(m_pSource);
        m_spSplitter = NewFilter(CLSID_DVSplitter);
        m_pSink = new BufferSink();
        m_spSink = Own(m_pSink);
        m_spGraph->AddFilter(m_spSource.Get(), L"Source");
        m_spGraph->AddFilter(m_spSplitter.Get(), L"Dv Splitter");
        m_spGraph->AddFilter(m_spSink.Get(), L"Sink");
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), m_spSource.Get(), 0, m_spSplitter.Get(), 0));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), m_spSplitter.Get(), 1, m_spSink.Get(), 0));
        ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Run());
    }
    void TearDown() override {
        if (m_spGraph) ControlOf(m_spGraph.Get())->Stop();
    }
    void Push(const std::vector<uint8_t>& vecFrame, int64_t nFrame, bool bDiscontinuity = false) {
        Sample sample;
        sample.pData = vecFrame.data();
        sample.nSize = vecFrame.size();
        sample.nMediaTime = nFrame;
        sample.bDiscontinuity = bDiscontinuity;
        ASSERT_EQ(S_OK, m_pSource->Push(sample));
    }
    DWORD ConnectedRate() { return m_pSink->Connected().WaveFormat()->nSamplesPerSec; }

    ComPtr<IGraphBuilder> m_spGraph;
    PushSource* m_pSource = nullptr;
    ComPtr<IBaseFilter> m_spSource, m_spSplitter, m_spSink;
    BufferSink* m_pSink = nullptr;
};

TEST_F(SplitterAudio, FourChannel12BitSoundComesOutAsItsFirstPairAt32k) {
    Build(false, 32000);
    EXPECT_EQ(32000u, ConnectedRate());
    EXPECT_EQ(2, m_pSink->Connected().WaveFormat()->nChannels);
    std::vector<dv::AudioFrame> vecExpected;
    for (uint64_t n = 0; n < 3; ++n) {
        const auto vecFrame = MakeDVFrame(false, n, false, dv::AudioMode::FourChannel32k12);
        dv::AudioFrame audio;
        ASSERT_EQ(dv::Result::Ok, dv::ExtractAudio(vecFrame, audio));
        ASSERT_EQ(4, audio.nChannels);
        vecExpected.push_back(audio);
        Push(vecFrame, static_cast<int64_t>(n), n == 0);
    }
    const auto buffers = m_pSink->Buffers();
    ASSERT_EQ(3u, buffers.size());
    for (size_t b = 0; b < buffers.size(); ++b) {
        const dv::AudioFrame& audio = vecExpected[b];
        ASSERT_EQ(static_cast<size_t>(audio.nSamples) * 2, buffers[b].size());
        for (int n = 0; n < audio.nSamples; ++n) {
            ASSERT_EQ(audio.samples[static_cast<size_t>(n) * 4], buffers[b][static_cast<size_t>(n) * 2]);
            ASSERT_EQ(audio.samples[static_cast<size_t>(n) * 4 + 1], buffers[b][static_cast<size_t>(n) * 2 + 1]);
        }
    }
}

TEST_F(SplitterAudio, WithoutARateInTheTypeTheSoundIs48kAsBefore) {
    Build(true, 0);
    EXPECT_EQ(48000u, ConnectedRate());
    Push(MakeDVFrame(true, 0, false, dv::AudioMode::Stereo48k), 0, true);
    const auto buffers = m_pSink->Buffers();
    ASSERT_EQ(1u, buffers.size());
    EXPECT_EQ(1920u * 2, buffers[0].size());
}

TEST_F(SplitterAudio, FramesOfAnotherRateWithinARunKeepTheConnectedRate) {
    // Connected at 48 kHz; the camcorder switches to 32 kHz after two frames and to 44.1 kHz after four.
    Build(true, 48000);
    Push(MakeDVFrame(true, 0, false, dv::AudioMode::Stereo48k), 0, true);
    Push(MakeDVFrame(true, 1, false, dv::AudioMode::Stereo48k), 1);
    for (int64_t n = 2; n < 4; ++n) Push(MakeDVFrame(true, static_cast<uint64_t>(n), false, dv::AudioMode::FourChannel32k12), n);
    for (int64_t n = 4; n < 6; ++n) Push(MakeDVFrame(true, static_cast<uint64_t>(n), false, dv::AudioMode::Stereo44k1), n);
    const auto buffers = m_pSink->Buffers();
    ASSERT_EQ(6u, buffers.size());
    size_t nTotal = 0;
    for (const auto& buffer : buffers) {
        // 1920 samples a frame at 48 kHz in 625/50, never 1280 (32 kHz) or 1764 (44.1 kHz).
        EXPECT_GE(buffer.size() / 2, 1919u);
        EXPECT_LE(buffer.size() / 2, 1921u);
        nTotal += buffer.size() / 2;
    }
    EXPECT_GE(nTotal, 6u * 1920 - 2);
    EXPECT_LE(nTotal, 6u * 1920);
}

TEST_F(SplitterAudio, LostFramesGiveSilenceOfTheirLengthButARestartDoesNot) {
    Build(false, 48000);
    const auto vecFrame = MakeDVFrame(false, 1, false, dv::AudioMode::Stereo48k);
    Push(vecFrame, 10, true);
    Push(vecFrame, 13);        // 11 and 12 were lost on the bus
    Push(vecFrame, 500, true);  // a new run after a pause
    const auto buffers = m_pSink->Buffers();
    ASSERT_EQ(5u, buffers.size());
    for (size_t b : {1u, 2u}) {
        EXPECT_GE(buffers[b].size() / 2, 1601u);  // 1601.6 samples a frame at 29.97 Hz
        EXPECT_LE(buffers[b].size() / 2, 1602u);
        EXPECT_TRUE(std::all_of(buffers[b].begin(), buffers[b].end(), [](int16_t v) { return v == 0; }));
    }
    EXPECT_FALSE(std::all_of(buffers[3].begin(), buffers[3].end(), [](int16_t v) { return v == 0; }));
}

TEST(Type1FileAudio, TheSplitterOfAType1FileGivesTheRateItsDVInfoNames) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"type1-32k.avi");
    const auto vecFrame = MakeDVFrame(true, 0, false, dv::AudioMode::FourChannel32k12);
    {
        media::Win32File file;
        ASSERT_EQ(S_OK, file.OpenForWriting(strPath, true));
        avi::AviWriterOptions options;
        options.type = avi::AviType::Type1;
        options.system = avi::VideoSystem::System625_50;
        avi::ReadDvInfoFromFrame(vecFrame, &options.dvInfo);
        avi::AviWriter writer;
        ASSERT_EQ(avi::AviResult::Ok, writer.Open(file, options));
        for (int n = 0; n < 5; ++n) ASSERT_EQ(avi::AviResult::Ok, writer.WriteVideoFrame(vecFrame));
        ASSERT_EQ(avi::AviResult::Ok, writer.Finish());
    }
    auto spGraph = NewGraph();
    auto spSource = NewFilter(CLSID_AsyncReader);
    ComPtr<IFileSourceFilter> spLoad;
    ASSERT_EQ(S_OK, spSource->QueryInterface(IID_IFileSourceFilter, spLoad.AsVoid()));
    ASSERT_EQ(S_OK, spLoad->Load(strPath.c_str(), nullptr));
    auto spAvi = NewFilter(CLSID_AviSplitter);
    auto spSplitter = NewFilter(CLSID_DVSplitter);
    auto* pSink = new BufferSink();
    auto spSink = Own(pSink);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spAvi.Get(), L"AviSplitter");
    spGraph->AddFilter(spSplitter.Get(), L"Dv Splitter");
    spGraph->AddFilter(spSink.Get(), L"Sound");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spAvi.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spAvi.Get(), 0, spSplitter.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSplitter.Get(), 1, spSink.Get(), 0));
    EXPECT_EQ(32000u, pSink->Connected().WaveFormat()->nSamplesPerSec);
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());
    ASSERT_TRUE(PumpUntil([&] { return pSink->Buffers().size() >= 5; }, 3000ms));
    ControlOf(spGraph.Get())->Stop();
    for (const auto& buffer : pSink->Buffers()) EXPECT_EQ(1280u * 2, buffer.size());
}

// ---- captures from the simulated camcorder ----------------------------------------------------

// Frames of the camcorder's mode, the first fifteen of each mode encoded once (the sample counts
// of locked 525/60 audio repeat every fifteen frames at 32 kHz and every five at 48 kHz).
bool CachedFrame(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t nBytes) {
    static std::mutex s_mtx;
    static std::map<std::tuple<bool, bool, uint64_t>, std::vector<uint8_t>> s_frames;
    constexpr uint64_t Cycle = 15;
    const auto key = std::make_tuple(request.b625Lines, request.bAudio32k12, request.nFrameNumber % Cycle);
    std::lock_guard lock(s_mtx);
    auto it = s_frames.find(key);
    if (it == s_frames.end()) {
        const auto mode = request.bAudio32k12 ? dv::AudioMode::FourChannel32k12 : dv::AudioMode::Stereo48k;
        it = s_frames.emplace(key, MakeDVFrame(request.b625Lines, request.nFrameNumber % Cycle, false, mode)).first;
    }
    if (it->second.size() != nBytes) return false;
    std::copy(it->second.begin(), it->second.end(), pFrame);
    return true;
}

struct CapturedAudio {
    DWORD nRate = 0;
    WORD nChannels = 0;
    uint32_t nFrames = 0;
    std::vector<uint32_t> vecDropped;
    std::vector<uint32_t> vecChunkSamples;  // samples of each audio chunk
    std::vector<int> vecFrameSamples;       // samples each frame's own audio holds (-1: dropped)
};

CapturedAudio ReadCapture(const std::wstring& strPath) {
    CapturedAudio captured;
    media::Win32File file;
    EXPECT_EQ(S_OK, file.OpenForReading(strPath));
    avi::AviParser parser;
    EXPECT_EQ(avi::AviResult::Ok, parser.Parse(file));
    EXPECT_EQ(2, parser.AviTypeCode());
    if (parser.AudioStream() < 0) return captured;
    const avi::StreamInfo& audio = parser.Streams()[static_cast<size_t>(parser.AudioStream())];
    captured.nRate = audio.wave.nSamplesPerSec;
    captured.nChannels = audio.wave.nChannels;
    captured.nFrames = parser.DeclaredLength();
    captured.vecDropped = parser.DroppedFrames();
    for (const avi::ChunkRef& chunk : parser.AudioChunks()) captured.vecChunkSamples.push_back(chunk.nSize / 4);
    std::vector<uint8_t> vecFrame;
    for (uint32_t n = 0; n < parser.Frames().size(); ++n) {
        dv::AudioFrame frameAudio;
        const bool bRead = parser.ReadFrame(n, vecFrame) == avi::AviResult::Ok && dv::ExtractAudio(vecFrame, frameAudio) == dv::Result::Ok;
        captured.vecFrameSamples.push_back(bRead ? frameAudio.nSamples : -1);
    }
    return captured;
}

class CamcorderAudioCapture : public ::testing::TestWithParam<std::tuple<bool, const char*>> {
protected:
    void SetUp() override {
        devices::Bus::Get().Reset(devices::BusScenario{});
        devices::Bus::Get().SetTickSource(nullptr);
        devices::SetDVFrameMaker(CachedFrame);
    }
    void TearDown() override {
        if (m_spGraph) ControlOf(m_spGraph.Get())->Stop();
        devices::SetDVFrameMaker(nullptr);
    }

    // MSDV out 1 → Smart Tee → Dv Splitter Capture → Avi Mux (video and audio) → File Writer.
    void BuildType2(const std::wstring& strPath) {
        auto spDevice = testsupport::FindCamcorderFilter();
        ASSERT_TRUE(spDevice);
        m_spGraph = NewGraph();
        ComPtr<IBaseFilter> spMsdv;
        ASSERT_EQ(S_OK, CreateDVDeviceFilter(spDevice.Get(), &spMsdv));
        auto spTee = NewFilter(CLSID_SmartTee);
        auto spSplitter = NewFilter(CLSID_DVSplitter);
        auto spMux = NewFilter(CLSID_AviDest);
        auto spWriter = NewFilter(CLSID_FileWriter);
        ComPtr<IFileSinkFilter2> spSink;
        ASSERT_EQ(S_OK, spWriter->QueryInterface(IID_IFileSinkFilter2, spSink.AsVoid()));
        ASSERT_EQ(S_OK, spSink->SetFileName(strPath.c_str(), nullptr));
        m_spGraph->AddFilter(spMsdv.Get(), L"MSDV");
        m_spGraph->AddFilter(spTee.Get(), L"Smart Tee");
        m_spGraph->AddFilter(spSplitter.Get(), L"Dv Splitter Capture");
        m_spGraph->AddFilter(spMux.Get(), L"Avi Mux");
        m_spGraph->AddFilter(spWriter.Get(), L"File Writer");
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spMsdv.Get(), 1, spTee.Get(), 0));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spTee.Get(), 0, spSplitter.Get(), 0));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 0, spMux.Get(), 0));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 1, spMux.Get(), 1));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spMux.Get(), 0, spWriter.Get(), 0));
    }

    ComPtr<IGraphBuilder> m_spGraph;
};

TEST_P(CamcorderAudioCapture, Type2AudioHasTheCamcordersRateAndEachFramesSampleCount) {
    const auto [b625, pszAudio] = GetParam();
    devices::ExecuteBusCommand(b625 ? "system 625" : "system 525");
    devices::ExecuteBusCommand(std::string("audio ") + pszAudio);
    const DWORD nRate = std::string(pszAudio) == "32k" ? 32000 : 48000;
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"audio.avi");
    BuildType2(strPath);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Run());
    PumpFor(400ms);
    devices::ExecuteBusCommand("drop 2");
    PumpFor(500ms);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Stop());

    const CapturedAudio captured = ReadCapture(strPath);
    EXPECT_EQ(nRate, captured.nRate);
    EXPECT_EQ(2, captured.nChannels);
    ASSERT_GE(captured.nFrames, 15u);
    ASSERT_EQ(2u, captured.vecDropped.size());
    // One audio chunk a frame, dropped ones included (their silence keeps the sound in step).
    ASSERT_EQ(captured.nFrames, captured.vecChunkSamples.size());
    const double dPerFrame = b625 ? nRate / 25.0 : nRate * 1001.0 / 30000;
    for (uint32_t n = 0; n < captured.nFrames; ++n) {
        if (captured.vecFrameSamples[n] >= 0) {
            EXPECT_EQ(static_cast<uint32_t>(captured.vecFrameSamples[n]), captured.vecChunkSamples[n]) << "frame " << n;
        } else {
            EXPECT_NEAR(dPerFrame, captured.vecChunkSamples[n], 1.0) << "dropped frame " << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SystemsAndRates, CamcorderAudioCapture,
                         ::testing::Combine(::testing::Values(false, true), ::testing::Values("32k", "48k")));

TEST_F(CamcorderAudioCapture, AnAudioModeChangeWithinACaptureNeverWritesTheOtherRate) {
    devices::ExecuteBusCommand("system 625");
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"change.avi");
    BuildType2(strPath);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Run());
    PumpFor(300ms);
    devices::ExecuteBusCommand("audio 32k");
    PumpFor(400ms);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Stop());

    const CapturedAudio captured = ReadCapture(strPath);
    EXPECT_EQ(48000u, captured.nRate);
    ASSERT_EQ(captured.nFrames, captured.vecChunkSamples.size());
    int n32k = 0;
    for (uint32_t n = 0; n < captured.nFrames; ++n) {
        if (captured.vecFrameSamples[n] == 1280) ++n32k;
        EXPECT_NEAR(1920, captured.vecChunkSamples[n], 1.0) << "frame " << n;
    }
    EXPECT_GT(n32k, 3);  // the change did reach the file

    // The next capture, as the record graph builds it after the format event, is 32 kHz.
    ControlOf(m_spGraph.Get())->Stop();
    m_spGraph.Release();
    const std::wstring strNext = folder.Path(L"next.avi");
    BuildType2(strNext);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Run());
    PumpFor(300ms);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Stop());
    const CapturedAudio next = ReadCapture(strNext);
    EXPECT_EQ(32000u, next.nRate);
    ASSERT_FALSE(next.vecChunkSamples.empty());
    EXPECT_EQ(1280u, next.vecChunkSamples[0]);
}

}  // namespace
