// The camcorder's DV filter: enumeration, raw commands, and frames at the true rate.
#include "SimulationFixture.h"

#include "devices/BusControl.h"
#include "devices/ComPtr.h"
#include "devices/DVStreamSource.h"

#include "dv/FrameInfo.h"

#include <oleauto.h>

#include <memory>

namespace {

struct RecordingSink : devices::IDVFrameSink {
    void OnDVFrame(const uint8_t* pFrame, size_t nBytes, uint64_t nFrameNumber) override {
        vecNumbers.push_back(nFrameNumber);
        nLastBytes = nBytes;
        if (bKeep) vecLast.assign(pFrame, pFrame + nBytes);
    }
    std::vector<uint64_t> vecNumbers;
    size_t nLastBytes = 0;
    bool bKeep = false;
    std::vector<uint8_t> vecLast;
};

std::vector<devices::DVFrameRequest> g_vecRequests;
bool SkipEncoding(const devices::DVFrameRequest&, uint8_t*, size_t) {
    return true;
}
bool RememberRequest(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t) {
    g_vecRequests.push_back(request);
    pFrame[0] = 0x1F;
    return true;
}

class DVStreamTest : public SimulationTest {
protected:
    void SetUp() override {
        SimulationTest::SetUp();
        g_vecRequests.clear();
        devices::SetDVFrameMaker(SkipEncoding);  // pacing tests need no pictures
    }
    void TearDown() override { devices::SetDVFrameMaker(nullptr); }

    // The capture category's entries: friendly name and device path.
    std::vector<std::pair<std::wstring, std::wstring>> Enumerate(devices::ComPtr<devices::IBaseFilter>* pspFirst = nullptr) {
        devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
        EXPECT_EQ(S_OK, devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid()));
        devices::ComPtr<devices::IEnumMoniker> spEnum;
        std::vector<std::pair<std::wstring, std::wstring>> entries;
        if (spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0) != S_OK) return entries;
        for (devices::ComPtr<devices::IMoniker> spMoniker; spEnum->Next(1, &spMoniker, nullptr) == S_OK;) {
            devices::ComPtr<IPropertyBag> spBag;
            EXPECT_EQ(S_OK, spMoniker->BindToStorage(nullptr, nullptr, devices::IID_IPropertyBag, spBag.AsVoid()));
            std::pair<std::wstring, std::wstring> entry;
            for (auto [pszName, pstrValue] : {std::pair{L"FriendlyName", &entry.first}, std::pair{L"DevicePath", &entry.second}}) {
                VARIANT var;
                ::VariantInit(&var);
                if (SUCCEEDED(spBag->Read(pszName, &var, nullptr))) *pstrValue = var.bstrVal;
                ::VariantClear(&var);
            }
            if (pspFirst && !*pspFirst) {
                EXPECT_EQ(S_OK, spMoniker->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, pspFirst->AsVoid()));
            }
            entries.push_back(entry);
        }
        return entries;
    }

    devices::ComPtr<devices::IDVStreamSource> Stream() {
        devices::ComPtr<devices::IBaseFilter> spFilter;
        Enumerate(std::addressof(spFilter));
        devices::ComPtr<devices::IDVStreamSource> spStream;
        EXPECT_EQ(S_OK, spFilter->QueryInterface(devices::IID_IDVStreamSource, spStream.AsVoid()));
        return spStream;
    }
};

TEST_F(DVStreamTest, CaptureCategoryListsEachPluggedCamcorder) {
    const auto entries = Enumerate();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(L"Microsoft DV Camera and VCR", entries[0].first);
    EXPECT_EQ(0u, entries[0].second.find(L"\\\\?\\avc#tavin&selkie_ze&camcorder&dv#"));
    devices::ExecuteBusCommand("unplug");
    devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
    devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid());
    devices::ComPtr<devices::IEnumMoniker> spEnum;
    EXPECT_EQ(S_FALSE, spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0));
    EXPECT_FALSE(spEnum);
    devices::ComPtr<IUnknown> spOther;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, devices::CoCreateInstance(devices::KsCategoryCapture, nullptr, CLSCTX_ALL, IID_IUnknown, spOther.AsVoid()));
}

TEST_F(DVStreamTest, FilterOfAnUnpluggedCamcorderStaysDeadAfterReplugging) {
    devices::ComPtr<devices::IBaseFilter> spFilter;
    Enumerate(std::addressof(spFilter));
    devices::ComPtr<devices::IAMExtTransport> spTransport;
    ASSERT_EQ(S_OK, spFilter->QueryInterface(devices::IID_IAMExtTransport, spTransport.AsVoid()));
    BYTE abyFrame[512] = {0x01, 0x20, 0xD0, 0x7F};
    LONG nSize = 4;
    ASSERT_EQ(S_OK, spTransport->GetTransportBasicParameters(devices::ED_RAW_EXT_DEV_CMD, &nSize, reinterpret_cast<LPOLESTR*>(abyFrame)));
    EXPECT_EQ(4, nSize);
    EXPECT_EQ(0x0C, abyFrame[0]);
    nSize = 513;
    EXPECT_EQ(E_INVALIDARG, spTransport->GetTransportBasicParameters(devices::ED_RAW_EXT_DEV_CMD, &nSize, reinterpret_cast<LPOLESTR*>(abyFrame)));
    EXPECT_EQ(E_NOTIMPL, spTransport->GetTransportBasicParameters(0x1220, &nSize, nullptr));

    devices::ComPtr<devices::IAMExtDevice> spDevice;
    ASSERT_EQ(S_OK, spFilter->QueryInterface(devices::IID_IAMExtDevice, spDevice.AsVoid()));
    LONG nRate = 0;
    EXPECT_EQ(S_OK, spDevice->GetCapability(devices::ED_DEVCAP_NORMAL_RATE, &nRate, nullptr));
    EXPECT_EQ(devices::ED_RATE_2997, nRate);
    devices::ExecuteBusCommand("system 625");
    EXPECT_EQ(S_OK, spDevice->GetCapability(devices::ED_DEVCAP_NORMAL_RATE, &nRate, nullptr));
    EXPECT_EQ(devices::ED_RATE_25, nRate);

    devices::ExecuteBusCommand("unplug");
    devices::ExecuteBusCommand("plug");
    nSize = 4;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST),
              spTransport->GetTransportBasicParameters(devices::ED_RAW_EXT_DEV_CMD, &nSize, reinterpret_cast<LPOLESTR*>(abyFrame)));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST), spDevice->GetCapability(devices::ED_DEVCAP_NORMAL_RATE, &nRate, nullptr));
}

TEST_F(DVStreamTest, FramesComeAtTheTrueFrameRate) {
    auto spStream = Stream();
    RecordingSink sink;
    spStream->SetFrameSink(&sink);
    ASSERT_EQ(S_OK, spStream->Pump(5000));
    EXPECT_EQ(1u, sink.vecNumbers.size());
    spStream->Pump(5000 + 1000);
    EXPECT_EQ(30u, sink.vecNumbers.size());  // frames 0..29 are due within 1000 ms at 29.97 Hz
    spStream->Pump(5000 + 1001);
    EXPECT_EQ(31u, sink.vecNumbers.size());  // frame 30 is due at exactly 1001 ms
    spStream->Pump(5000 + 60060);
    EXPECT_EQ(1801u, sink.vecNumbers.size());
    EXPECT_EQ(120000u, sink.nLastBytes);
    for (size_t i = 0; i < sink.vecNumbers.size(); ++i) ASSERT_EQ(i, sink.vecNumbers[i]);
}

TEST_F(DVStreamTest, DroppedFramesAreCountedAndSkipped) {
    devices::ExecuteBusCommand("system 625");
    auto spStream = Stream();
    RecordingSink sink;
    spStream->SetFrameSink(&sink);
    spStream->Pump(0);
    devices::ExecuteBusCommand("drop 3");
    spStream->Pump(200);  // frames 1..5
    LONG nDropped = 0, nDelivered = 0;
    spStream->GetNumDropped(&nDropped);
    spStream->GetNumNotDropped(&nDelivered);
    EXPECT_EQ(3, nDropped);
    EXPECT_EQ(3, nDelivered);
    EXPECT_EQ((std::vector<uint64_t>{0, 4, 5}), sink.vecNumbers);
    EXPECT_EQ(144000u, sink.nLastBytes);

    devices::ExecuteBusCommand("sending off");
    spStream->Pump(1000);
    EXPECT_EQ(3u, sink.vecNumbers.size());
    spStream->GetNumDropped(&nDropped);
    EXPECT_EQ(3, nDropped);  // a camcorder that sends nothing loses nothing
    devices::ExecuteBusCommand("unplug");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST), spStream->Pump(2000));
}

TEST_F(DVStreamTest, FramesCarryTheStreamPropertiesAndARunningTimeCode) {
    devices::SetDVFrameMaker(RememberRequest);
    auto spStream = Stream();
    spStream->Pump(0);
    devices::ExecuteBusCommand("aspect 16:9");
    devices::ExecuteBusCommand("audio 32k");
    spStream->Pump(60060);  // frame 1800: the first frame numbers of the minute are skipped
    ASSERT_EQ(1801u, g_vecRequests.size());
    EXPECT_FALSE(g_vecRequests[0].bWide);
    EXPECT_FALSE(g_vecRequests[0].bAudio32k12);
    const devices::DVFrameRequest& last = g_vecRequests.back();
    EXPECT_TRUE(last.bWide);
    EXPECT_TRUE(last.bAudio32k12);
    EXPECT_FALSE(last.b625Lines);
    EXPECT_EQ(60, last.nFrameMode);
    EXPECT_EQ((std::vector<int>{0, 1, 0, 2}), std::vector<int>(last.nTimecode, last.nTimecode + 4));
    EXPECT_EQ((std::vector<int>{0, 0, 59, 29}), std::vector<int>(g_vecRequests[1799].nTimecode, g_vecRequests[1799].nTimecode + 4));
    // The recording time runs with the frames.
    FILETIME ftFirst, ftLast;
    ::SystemTimeToFileTime(&g_vecRequests[0].recorded, &ftFirst);
    ::SystemTimeToFileTime(&last.recorded, &ftLast);
    const auto Ticks = [](const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; };
    EXPECT_EQ(600600000u, Ticks(ftLast) - Ticks(ftFirst));

    ULONG nBytes = 0;
    EXPECT_EQ(S_OK, spStream->GetFrameSize(&nBytes));
    std::vector<uint8_t> frame(nBytes, 0);
    EXPECT_EQ(S_OK, spStream->ReceiveFrame(frame.data(), frame.size()));
    EXPECT_EQ(E_INVALIDARG, spStream->ReceiveFrame(frame.data(), 144000));
}

TEST_F(DVStreamTest, FramesAreDVOfTheCamcordersCurrentMode) {
    devices::SetDVFrameMaker(nullptr);
    devices::ExecuteBusCommand("system 625");
    devices::ExecuteBusCommand("aspect 16:9");
    auto spStream = Stream();
    RecordingSink sink;
    sink.bKeep = true;
    spStream->SetFrameSink(&sink);
    spStream->Pump(0);
    spStream->Pump(40);
    ASSERT_EQ(2u, sink.vecNumbers.size());
    dv::FrameInfo info;
    ASSERT_EQ(dv::Result::Ok, dv::ReadFrameInfo(sink.vecLast, info));
    EXPECT_EQ(dv::System::System625_50, info.system);
    EXPECT_TRUE(info.bWideScreen);
    ASSERT_TRUE(info.timeCode.has_value());
    EXPECT_EQ(1, info.timeCode->nFrames);
    ASSERT_TRUE(info.audio.has_value());
    EXPECT_EQ(dv::SampleRate::Rate48k, info.audio->rate);
    ASSERT_TRUE(info.recDate.has_value());
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    EXPECT_EQ(now.wYear, info.recDate->nYear);

    // Mid-stream the camcorder switches to 4:3 and 32 kHz 12-bit sound.
    devices::ExecuteBusCommand("aspect 4:3");
    devices::ExecuteBusCommand("audio 32k");
    spStream->Pump(80);
    ASSERT_EQ(dv::Result::Ok, dv::ReadFrameInfo(sink.vecLast, info));
    EXPECT_FALSE(info.bWideScreen);
    ASSERT_TRUE(info.audio.has_value());
    EXPECT_EQ(dv::SampleRate::Rate32k, info.audio->rate);
    EXPECT_EQ(dv::AudioQuantization::NonLinear12, info.audio->quantization);
    EXPECT_EQ(2, info.timeCode->nFrames);
}

} // namespace
