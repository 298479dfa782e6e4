#include "MediaTestSupport.h"

#include <map>

namespace mediatest {

std::vector<uint8_t> MakeDVFrame(bool b625, uint64_t nFrame, bool bWide, dv::AudioMode audioMode) {
    dv::PatternSettings settings;
    settings.system = b625 ? dv::System::System625_50 : dv::System::System525_60;
    settings.bWideScreen = bWide;
    settings.audioMode = audioMode;
    dv::PatternGenerator generator(settings);
    std::vector<uint8_t> vecFrame(dv::FrameSize(settings.system));
    EXPECT_EQ(dv::Result::Ok, generator.MakeFrame(nFrame, vecFrame));
    return vecFrame;
}

void WriteTestAvi(const std::wstring& strPath, int nType, bool b625, uint32_t nFrames, const std::vector<uint32_t>& vecDropped) {
    static std::map<bool, std::vector<uint8_t>> s_frames;
    if (!s_frames.count(b625)) s_frames[b625] = MakeDVFrame(b625);
    const std::vector<uint8_t>& vecFrame = s_frames[b625];
    media::Win32File file;
    ASSERT_EQ(S_OK, file.OpenForWriting(strPath, true));
    avi::AviWriterOptions options;
    options.type = nType == 1 ? avi::AviType::Type1 : avi::AviType::Type2;
    options.system = b625 ? avi::VideoSystem::System625_50 : avi::VideoSystem::System525_60;
    avi::ReadDvInfoFromFrame(vecFrame, &options.dvInfo);
    avi::AviWriter writer;
    ASSERT_EQ(avi::AviResult::Ok, writer.Open(file, options));
    const size_t nSamples = b625 ? 1920 : 1602;  // 48 kHz stereo per frame
    const std::vector<uint8_t> vecPcm(nSamples * 4, 0);
    for (uint32_t n = 0; n < nFrames; ++n) {
        const bool bDrop = std::find(vecDropped.begin(), vecDropped.end(), n) != vecDropped.end();
        ASSERT_EQ(avi::AviResult::Ok, bDrop ? writer.WriteDroppedFrame() : writer.WriteVideoFrame(vecFrame));
        if (nType == 2 && !bDrop) {
            ASSERT_EQ(avi::AviResult::Ok, writer.WriteAudio(vecPcm));
        }
    }
    ASSERT_EQ(avi::AviResult::Ok, writer.Finish());
}

ComPtr<media::IGraphBuilder> NewGraph() {
    ComPtr<media::IGraphBuilder> spGraph;
    EXPECT_EQ(S_OK, media::CoCreateInstance(media::CLSID_FilterGraph, nullptr, CLSCTX_ALL, media::IID_IGraphBuilder, spGraph.AsVoid()));
    return spGraph;
}

ComPtr<media::IBaseFilter> NewFilter(const CLSID& clsid) {
    ComPtr<media::IBaseFilter> spFilter;
    EXPECT_EQ(S_OK, media::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, media::IID_IBaseFilter, spFilter.AsVoid()));
    return spFilter;
}

media::IPin* PinOf(media::IBaseFilter* pFilter, media::PIN_DIRECTION dir, int nIndex) {
    auto* pBase = dynamic_cast<media::FilterBase*>(pFilter);
    return pBase ? pBase->FindPin(dir, nIndex) : nullptr;
}

HRESULT Connect(media::IGraphBuilder* pGraph, media::IBaseFilter* pOut, int nOut, media::IBaseFilter* pIn, int nIn) {
    media::IPin* pPinOut = PinOf(pOut, media::PINDIR_OUTPUT, nOut);
    media::IPin* pPinIn = PinOf(pIn, media::PINDIR_INPUT, nIn);
    if (pPinOut == nullptr || pPinIn == nullptr) return E_FAIL;
    return pGraph->ConnectDirect(pPinOut, pPinIn, nullptr);
}

ComPtr<media::IMediaControl> ControlOf(media::IGraphBuilder* pGraph) {
    ComPtr<media::IMediaControl> spControl;
    EXPECT_EQ(S_OK, pGraph->QueryInterface(media::IID_IMediaControl, spControl.AsVoid()));
    return spControl;
}

static long RendererCount(media::IBaseFilter* pRenderer, bool bDrawn) {
    ComPtr<media::IRendererStats> spStats;
    if (FAILED(pRenderer->QueryInterface(media::IID_IRendererStats, spStats.AsVoid()))) return -1;
    long n = -1;
    if (bDrawn) spStats->GetFramesDrawn(&n);
    else spStats->GetFramesDropped(&n);
    return n;
}

long RendererDrawn(media::IBaseFilter* pRenderer) {
    return RendererCount(pRenderer, true);
}

long RendererDropped(media::IBaseFilter* pRenderer) {
    return RendererCount(pRenderer, false);
}

}  // namespace mediatest
