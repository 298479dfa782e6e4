// The media detector with AVI files that are not recorded DV files: it describes their streams
// from their own headers, so a caller can tell a file without video from one it cannot read.
#include "MediaTestSupport.h"

#include "media/Interfaces.h"

#include <oleauto.h>

#include <cstring>

namespace {

using namespace media;
using mediatest::ComPtr;
using mediatest::TempFolder;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t Fcc(const char (&s)[5]) {
    return static_cast<uint8_t>(s[0]) | (static_cast<uint8_t>(s[1]) << 8) | (static_cast<uint8_t>(s[2]) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

Bytes Chunk(uint32_t fcc, const Bytes& data) {
    Bytes b;
    Put32(b, fcc);
    Put32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (b.size() % 2 != 0) b.push_back(0);
    return b;
}

Bytes List(uint32_t fcc, uint32_t type, const std::vector<Bytes>& children) {
    Bytes data;
    Put32(data, type);
    for (const Bytes& c : children) data.insert(data.end(), c.begin(), c.end());
    return Chunk(fcc, data);
}

Bytes StreamHeader(const char (&type)[5], uint32_t handler, uint32_t scale, uint32_t rate, uint32_t length) {
    Bytes b;
    Put32(b, Fcc(type));
    Put32(b, handler);
    for (int i = 0; i < 3; ++i) Put32(b, 0);  // flags, priority and language, initial frames
    Put32(b, scale);
    Put32(b, rate);
    Put32(b, 0);  // start
    Put32(b, length);
    while (b.size() < 56) b.push_back(0);
    return Chunk(Fcc("strh"), b);
}

Bytes VideoStreamList(uint32_t compression, uint16_t bits, int width, int height, uint32_t frames) {
    Bytes bih;
    Put32(bih, 40);
    Put32(bih, static_cast<uint32_t>(width));
    Put32(bih, static_cast<uint32_t>(height));
    Put16(bih, 1);
    Put16(bih, bits);
    Put32(bih, compression);
    Put32(bih, static_cast<uint32_t>(width * height * 3));
    while (bih.size() < 40) bih.push_back(0);
    return List(Fcc("LIST"), Fcc("strl"), {StreamHeader("vids", compression, 1, 15, frames), Chunk(Fcc("strf"), bih)});
}

Bytes PcmStreamList(uint32_t rate, uint32_t seconds) {
    Bytes wfx;
    Put16(wfx, 1);  // PCM
    Put16(wfx, 2);
    Put32(wfx, rate);
    Put32(wfx, rate * 4);
    Put16(wfx, 4);
    Put16(wfx, 16);
    return List(Fcc("LIST"), Fcc("strl"), {StreamHeader("auds", 0, 1, rate, rate * seconds), Chunk(Fcc("strf"), wfx)});
}

// A whole AVI file: "hdrl" with the given stream lists, then a "movi" list with one chunk per
// stream and the legacy index.
Bytes Avi(const std::vector<Bytes>& streamLists) {
    Bytes avih(56, 0);
    std::vector<Bytes> hdrl{Chunk(Fcc("avih"), avih)};
    hdrl.insert(hdrl.end(), streamLists.begin(), streamLists.end());
    std::vector<Bytes> movi;
    Bytes idx1;
    uint32_t nOffset = 4;
    for (size_t n = 0; n < streamLists.size(); ++n) {
        const uint32_t fcc = Fcc("00dc") + static_cast<uint32_t>(n << 8);
        movi.push_back(Chunk(fcc, Bytes(64, 0x40)));
        Put32(idx1, fcc);
        Put32(idx1, 0x10);
        Put32(idx1, nOffset);
        Put32(idx1, 64);
        nOffset += static_cast<uint32_t>(movi.back().size());
    }
    return List(Fcc("RIFF"), Fcc("AVI "),
                {List(Fcc("LIST"), Fcc("hdrl"), hdrl), List(Fcc("LIST"), Fcc("movi"), movi), Chunk(Fcc("idx1"), idx1)});
}

void WriteFile(const std::wstring& strPath, const Bytes& bytes) {
    const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
}

HRESULT OpenDetector(const std::wstring& strPath, ComPtr<IMediaDet>& spDet) {
    const HRESULT hr = media::CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, spDet.AsVoid());
    if (FAILED(hr)) return hr;
    BSTR bstrPath = ::SysAllocString(strPath.c_str());
    const HRESULT hrOpen = spDet->put_Filename(bstrPath);
    ::SysFreeString(bstrPath);
    return hrOpen;
}

TEST(MediaDet, AnAviFileOfAnotherCodecShowsItsOwnStreamsAndFormats) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"mjpeg.avi");
    WriteFile(strPath, Avi({VideoStreamList(Fcc("MJPG"), 24, 320, 240, 30), PcmStreamList(44100, 2)}));
    ComPtr<IMediaDet> spDet;
    ASSERT_EQ(S_OK, OpenDetector(strPath, spDet));

    long nStreams = 0;
    ASSERT_EQ(S_OK, spDet->get_OutputStreams(&nStreams));
    ASSERT_EQ(2, nStreams);

    GUID type = GUID_NULL;
    ASSERT_EQ(S_OK, spDet->put_CurrentStream(0));
    ASSERT_EQ(S_OK, spDet->get_StreamType(&type));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, type));
    double dRate = 0;
    ASSERT_EQ(S_OK, spDet->get_FrameRate(&dRate));
    EXPECT_DOUBLE_EQ(15.0, dRate);
    double dLength = 0;
    ASSERT_EQ(S_OK, spDet->get_StreamLength(&dLength));
    EXPECT_DOUBLE_EQ(2.0, dLength);
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, spDet->get_StreamMediaType(&mt));
    EXPECT_EQ(Fcc("MJPG"), mt.subtype.Data1);
    ASSERT_TRUE(IsEqualGUID(FORMAT_VideoInfo, mt.formattype));
    ASSERT_GE(mt.cbFormat, 88u);
    const auto* pVih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    EXPECT_EQ(320, pVih->bmiHeader.biWidth);
    EXPECT_EQ(240, pVih->bmiHeader.biHeight);
    EXPECT_EQ(Fcc("MJPG"), pVih->bmiHeader.biCompression);
    FreeMediaType(mt);
    // There is no decoder for its pictures: the failure says so instead of handing out garbage.
    long nSize = 0;
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, spDet->GetBitmapBits(0.0, &nSize, nullptr, 80, 60));

    ASSERT_EQ(S_OK, spDet->put_CurrentStream(1));
    ASSERT_EQ(S_OK, spDet->get_StreamType(&type));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, type));
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, spDet->get_FrameRate(&dRate));
    ASSERT_EQ(S_OK, spDet->get_StreamMediaType(&mt));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, mt.subtype));
    ASSERT_TRUE(IsEqualGUID(FORMAT_WaveFormatEx, mt.formattype));
    ASSERT_GE(mt.cbFormat, 16u);
    EXPECT_EQ(44100u, reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat)->nSamplesPerSec);
    FreeMediaType(mt);
    EXPECT_EQ(E_INVALIDARG, spDet->put_CurrentStream(2));
}

TEST(MediaDet, FilesWithoutVideoOrWithoutAviStructureAreToldApart) {
    TempFolder folder;
    // A sound-only AVI opens; none of its streams is video.
    const std::wstring strSound = folder.Path(L"sound.avi");
    WriteFile(strSound, Avi({PcmStreamList(48000, 1)}));
    ComPtr<IMediaDet> spDet;
    ASSERT_EQ(S_OK, OpenDetector(strSound, spDet));
    long nStreams = 0;
    ASSERT_EQ(S_OK, spDet->get_OutputStreams(&nStreams));
    ASSERT_EQ(1, nStreams);
    GUID type = GUID_NULL;
    ASSERT_EQ(S_OK, spDet->get_StreamType(&type));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, type));

    // A file that is no AVI at all, a cut-off header and a missing file are refused.
    const std::wstring strText = folder.Path(L"text.avi");
    WriteFile(strText, Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'v', 'i'});
    const std::wstring strCut = folder.Path(L"cut.avi");
    Bytes cut = Avi({VideoStreamList(Fcc("MJPG"), 24, 320, 240, 30)});
    cut.resize(20);
    WriteFile(strCut, cut);
    for (const std::wstring& strPath : {strText, strCut, folder.Path(L"missing.avi")}) {
        ComPtr<IMediaDet> spRefused;
        EXPECT_TRUE(FAILED(OpenDetector(strPath, spRefused)));
        EXPECT_EQ(E_INVALIDARG, spRefused->get_OutputStreams(&nStreams));
    }

    // After a refused file the detector no longer describes the one it had before.
    BSTR bstrText = ::SysAllocString(strText.c_str());
    EXPECT_TRUE(FAILED(spDet->put_Filename(bstrText)));
    ::SysFreeString(bstrText);
    EXPECT_EQ(E_INVALIDARG, spDet->get_OutputStreams(&nStreams));
}

}  // namespace
