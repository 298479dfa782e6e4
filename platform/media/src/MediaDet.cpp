// The media detector: the streams of an AVI file as a player would see them, their types, the
// frame rate and length, and the picture at a time as a 24-bit bitmap of any size. A recorded DV
// file (Type 1 or Type 2) is opened through the DV reader: a Type 1 file's interleaved stream
// shows as its video and its audio, and its pictures are decoded. Any other AVI file that parses
// shows its own streams with the types and formats its headers give; there is no decoder for them,
// so asking for their picture fails.
#include "AviFileReader.h"
#include "Engine.h"

#include "avi/AviParser.h"
#include "dv/Decoder.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace media {
namespace {

constexpr long VideoStream = 0;
constexpr long AudioStream = 1;
constexpr DWORD DVAudioRate = 48000;  // what the DV splitter gives a Type 1 file's audio
constexpr WORD StereoChannels = 2;

// The media type GUID of a four-character code (what "vids", "auds" and "iavs" are built on).
GUID FourCCType(uint32_t fcc) {
    GUID guid = MEDIATYPE_Video;
    guid.Data1 = fcc;
    return guid;
}

constexpr uint32_t FccVids = 0x73646976;  // "vids"
constexpr uint32_t FccAuds = 0x73647561;  // "auds"

// The media type of a stream of a file that is not a recorded DV file, from its own headers.
MediaType ForeignStreamType(const avi::StreamInfo& stream) {
    MediaType mt;
    mt.major = FourCCType(stream.header.fccType);
    if (stream.header.fccType == FccVids && stream.bHasBitmap) {
        const avi::disk::BitmapInfoHeader& bmp = stream.bitmap;
        mt.sub = bmp.biCompression != BI_RGB ? FourCCType(bmp.biCompression) : (bmp.biBitCount == 24 ? MEDIASUBTYPE_RGB24 : GUID_NULL);
        mt.format = FORMAT_VideoInfo;
        mt.vecFormat.assign(sizeof(VIDEOINFOHEADER), 0);
        VIDEOINFOHEADER vih{};
        if (stream.header.dwRate != 0)
            vih.AvgTimePerFrame = static_cast<REFERENCE_TIME>(static_cast<uint64_t>(stream.header.dwScale) * UnitsPerSecond / stream.header.dwRate);
        vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih.bmiHeader.biWidth = bmp.biWidth;
        vih.bmiHeader.biHeight = bmp.biHeight;
        vih.bmiHeader.biPlanes = bmp.biPlanes;
        vih.bmiHeader.biBitCount = bmp.biBitCount;
        vih.bmiHeader.biCompression = bmp.biCompression;
        vih.bmiHeader.biSizeImage = bmp.biSizeImage;
        std::memcpy(mt.vecFormat.data(), &vih, sizeof(vih));
    } else if (stream.header.fccType == FccAuds && stream.bHasWave) {
        const avi::disk::WaveFormatEx& wave = stream.wave;
        mt.sub = FourCCType(wave.wFormatTag);
        mt.format = FORMAT_WaveFormatEx;
        WAVEFORMATEX wfx{};
        wfx.wFormatTag = wave.wFormatTag;
        wfx.nChannels = wave.nChannels;
        wfx.nSamplesPerSec = wave.nSamplesPerSec;
        wfx.nAvgBytesPerSec = wave.nAvgBytesPerSec;
        wfx.nBlockAlign = wave.nBlockAlign;
        wfx.wBitsPerSample = wave.wBitsPerSample;
        mt.vecFormat.assign(sizeof(wfx), 0);
        std::memcpy(mt.vecFormat.data(), &wfx, sizeof(wfx));
    } else {
        mt.format = FORMAT_None;
    }
    return mt;
}

class MediaDet final : public IMediaDet {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMediaDet)) return HandOut(static_cast<IMediaDet*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_ref.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = m_ref.Drop();
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE put_Filename(BSTR newVal) override {
        if (newVal == nullptr) return E_POINTER;
        m_spReader.reset();
        m_vecForeign.clear();
        m_nCurrent = 0;
        auto spReader = std::make_unique<AviFileReader>();
        HRESULT hr = spReader->Open(newVal);
        if (SUCCEEDED(hr)) {
            m_spReader = std::move(spReader);
            return S_OK;
        }
        if (hr != VFW_E_INVALID_FILE_FORMAT) return hr;
        // Not a recorded DV file: any AVI file whose headers parse is described all the same.
        Win32File file;
        hr = file.OpenForReading(newVal);
        if (FAILED(hr)) return hr;
        avi::AviParser parser;
        if (parser.Parse(file) != avi::AviResult::Ok || parser.Streams().empty()) return VFW_E_INVALID_FILE_FORMAT;
        m_vecForeign = parser.Streams();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_OutputStreams(long* pVal) override {
        if (pVal == nullptr) return E_POINTER;
        if (!IsOpen()) return E_INVALIDARG;
        *pVal = m_spReader ? (HasAudioStream() ? 2 : 1) : static_cast<long>(m_vecForeign.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_CurrentStream(long newVal) override {
        long nStreams = 0;
        const HRESULT hr = get_OutputStreams(&nStreams);
        if (FAILED(hr)) return hr;
        if (newVal < 0 || newVal >= nStreams) return E_INVALIDARG;
        m_nCurrent = newVal;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_StreamType(GUID* pVal) override {
        if (pVal == nullptr) return E_POINTER;
        if (!IsOpen()) return E_INVALIDARG;
        if (!m_spReader) {
            *pVal = FourCCType(CurrentForeign().header.fccType);
            return S_OK;
        }
        *pVal = m_nCurrent == VideoStream ? MEDIATYPE_Video : MEDIATYPE_Audio;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_StreamMediaType(AM_MEDIA_TYPE* pVal) override {
        if (pVal == nullptr) return E_POINTER;
        if (!IsOpen()) return E_INVALIDARG;
        if (!m_spReader) return CopyToAmMediaType(ForeignStreamType(CurrentForeign()), pVal);
        if (m_nCurrent == VideoStream) {
            const dv::System system = m_spReader->Is625() ? dv::System::System625_50 : dv::System::System525_60;
            return CopyToAmMediaType(MakeRgb24Type(dv::FrameWidth(system), dv::FrameHeight(system), m_spReader->FrameTime(1)), pVal);
        }
        if (m_spReader->HasAudio()) return CopyToAmMediaType(MakePcmType(m_spReader->AudioFormat().nSamplesPerSec, m_spReader->AudioFormat().nChannels), pVal);
        return CopyToAmMediaType(MakePcmType(DVAudioRate, StereoChannels), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_StreamLength(double* pVal) override {
        if (pVal == nullptr) return E_POINTER;
        if (!IsOpen()) return E_INVALIDARG;
        if (!m_spReader) {
            const avi::disk::StreamHeader& header = CurrentForeign().header;
            *pVal = header.dwRate != 0 ? static_cast<double>(header.dwLength) * header.dwScale / header.dwRate : 0.0;
            return S_OK;
        }
        *pVal = static_cast<double>(m_spReader->Duration()) / UnitsPerSecond;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FrameRate(double* pVal) override {
        if (pVal == nullptr) return E_POINTER;
        if (!IsOpen()) return E_INVALIDARG;
        if (!m_spReader) {
            const avi::disk::StreamHeader& header = CurrentForeign().header;
            if (header.fccType != FccVids || header.dwScale == 0) return VFW_E_INVALIDMEDIATYPE;
            *pVal = static_cast<double>(header.dwRate) / header.dwScale;
            return S_OK;
        }
        if (m_nCurrent != VideoStream) return VFW_E_INVALIDMEDIATYPE;
        *pVal = m_spReader->FrameRate();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetBitmapBits(double StreamTime, long* pBufferSize, char* pBuffer, long Width, long Height) override {
        if (!IsOpen()) return E_INVALIDARG;
        if (!m_spReader) return VFW_E_INVALIDMEDIATYPE;  // no decoder for the file's video
        if (Width <= 0 || Height <= 0 || Width > MaxBitmapSide || Height > MaxBitmapSide) return E_INVALIDARG;
        const long nStride = Rgb24Stride(Width);
        const long nNeeded = static_cast<long>(sizeof(BITMAPINFOHEADER)) + nStride * Height;
        if (pBuffer == nullptr) {
            if (pBufferSize == nullptr) return E_POINTER;
            *pBufferSize = nNeeded;
            return S_OK;
        }
        if (pBufferSize != nullptr && *pBufferSize < nNeeded) return E_OUTOFMEMORY;
        if (!std::isfinite(StreamTime) || StreamTime < 0) return E_INVALIDARG;
        HRESULT hr = DecodePictureAt(static_cast<REFERENCE_TIME>(StreamTime * UnitsPerSecond), Width, Height);
        if (FAILED(hr)) return hr;
        BITMAPINFOHEADER bih{};
        bih.biSize = sizeof(bih);
        bih.biWidth = Width;
        bih.biHeight = Height;
        bih.biPlanes = 1;
        bih.biBitCount = 24;
        bih.biCompression = BI_RGB;
        bih.biSizeImage = static_cast<DWORD>(nStride * Height);
        std::memcpy(pBuffer, &bih, sizeof(bih));
        ScaleInto(reinterpret_cast<uint8_t*>(pBuffer) + sizeof(bih), Width, Height);
        return S_OK;
    }

private:
    static constexpr long MaxBitmapSide = 4096;

    bool IsOpen() const { return m_spReader || !m_vecForeign.empty(); }
    bool HasAudioStream() const { return m_spReader->AviType() == 1 || m_spReader->HasAudio(); }
    const avi::StreamInfo& CurrentForeign() const { return m_vecForeign[static_cast<size_t>(m_nCurrent)]; }

    // The frame at the time, or the nearest earlier one that was not dropped (else the next one).
    HRESULT DecodePictureAt(REFERENCE_TIME rtTime, long nWidth, long nHeight) {
        const uint32_t nCount = m_spReader->FrameCount();
        if (nCount == 0) return VFW_E_INVALIDMEDIATYPE;
        const uint32_t nWanted = m_spReader->FrameAt(rtTime);
        std::vector<uint8_t> vecFrame;
        bool bFound = false;
        for (uint32_t n = nWanted + 1; n-- > 0 && !bFound;) bFound = m_spReader->ReadFrame(n, vecFrame);
        for (uint32_t n = nWanted + 1; n < nCount && !bFound; ++n) bFound = m_spReader->ReadFrame(n, vecFrame);
        if (!bFound) return E_FAIL;
        dv::System system;
        if (dv::DetectSystem(vecFrame, system) != dv::Result::Ok) return E_FAIL;
        return m_decoder.DecodeRgb(vecFrame, SizeFor(system, nWidth, nHeight), m_picture) == dv::Result::Ok ? S_OK : E_FAIL;
    }

    // The smallest decoded size with at least the asked number of pixels across and down: a
    // thumbnail needs only the DC coefficients (eighth size), a preview half or quarter size.
    static dv::DecodeSize SizeFor(dv::System system, long nWidth, long nHeight) {
        for (const dv::DecodeSize size : {dv::DecodeSize::Eighth, dv::DecodeSize::Quarter, dv::DecodeSize::Half}) {
            if (dv::DecodedWidth(size) >= nWidth && dv::DecodedHeight(system, size) >= nHeight) return size;
        }
        return dv::DecodeSize::Full;
    }

    // Nearest-sample scaling of the decoded picture; both are bottom-up rows.
    void ScaleInto(uint8_t* pOut, long nWidth, long nHeight) const {
        const long nStride = Rgb24Stride(nWidth);
        for (long y = 0; y < nHeight; ++y) {
            const int nSrcY = static_cast<int>(static_cast<int64_t>(y) * m_picture.nHeight / nHeight);
            const uint8_t* pSrcRow = m_picture.pixels.data() + static_cast<size_t>(nSrcY) * m_picture.nStride;
            uint8_t* pRow = pOut + static_cast<size_t>(y) * nStride;
            for (long x = 0; x < nWidth; ++x) {
                const int nSrcX = static_cast<int>(static_cast<int64_t>(x) * m_picture.nWidth / nWidth);
                std::memcpy(pRow + x * 3, pSrcRow + nSrcX * 3, 3);
            }
            std::memset(pRow + nWidth * 3, 0, static_cast<size_t>(nStride - nWidth * 3));
        }
    }

    RefCount m_ref;
    std::unique_ptr<AviFileReader> m_spReader;    // a recorded DV file
    std::vector<avi::StreamInfo> m_vecForeign;  // or the streams of any other AVI file
    long m_nCurrent = 0;
    dv::Decoder m_decoder;
    dv::RgbPicture m_picture;
};

}  // namespace

IUnknown* NewMediaDet() {
    return new MediaDet();
}

}  // namespace media
