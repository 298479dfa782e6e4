// The file source (names the file and offers it as a byte stream) and the AVI splitter (reads the
// file through the AVI parser and pushes its frames and audio on a thread of its own from the
// position it was sought to; out 0 the first stream, out 1 the audio of a Type 2 file).
#include "AviFileReader.h"
#include "Engine.h"

#include <memory>
#include <thread>

namespace media {
namespace {

class FileSource final : public FilterBase, public IFileSourceFilter {
public:
    FileSource() : FilterBase(CLSID_AsyncReader) { AddPin(PINDIR_OUTPUT); }
    MEDIA_FILTER_IUNKNOWN

    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) override {
        if (pszFileName == nullptr) return E_POINTER;
        if (FindPin(PINDIR_OUTPUT, 0)->IsConnected()) return VFW_E_ALREADY_CONNECTED;
        const HANDLE hFile = ::CreateFileW(pszFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(::GetLastError());
        ::CloseHandle(hFile);
        m_strPath = pszFileName;
        return S_OK;
    }

    const std::wstring& Path() const { return m_strPath; }

    HRESULT CheckInputType(int, const MediaType&) override { return VFW_E_TYPE_NOT_ACCEPTED; }
    HRESULT GetOutputType(int, MediaType& mt) override {
        if (m_strPath.empty()) return VFW_E_NOT_CONNECTED;
        mt = MediaType{};
        mt.major = MEDIATYPE_Stream;
        mt.sub = MEDIASUBTYPE_Avi;
        return S_OK;
    }
    HRESULT Receive(int, const Sample&) override { return E_UNEXPECTED; }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_IFileSourceFilter)) return static_cast<IFileSourceFilter*>(this);
        return nullptr;
    }

private:
    std::wstring m_strPath;
};

class AviSplitter final : public FilterBase, public SeekSource {
public:
    AviSplitter() : FilterBase(CLSID_AviSplitter) { AddPin(PINDIR_INPUT); }
    ~AviSplitter() override { StopThread(); }

    // ---- SeekSource ----
    REFERENCE_TIME Duration() const override { return m_spReader ? m_spReader->Duration() : 0; }
    HRESULT SeekTo(REFERENCE_TIME rtPosition) override {
        if (!m_spReader) return VFW_E_NOT_CONNECTED;
        const bool bStreaming = m_thread.joinable();
        if (bStreaming) {
            BeginFlushOutputs();
            StopThread();
        }
        m_nStartFrame = m_spReader->FrameAt(rtPosition);
        if (bStreaming) {
            EndFlushOutputs();
            StartThread();
        }
        return S_OK;
    }

    // ---- filter ----
    HRESULT CheckInputType(int, const MediaType& mt) override {
        return IsEqualGUID(mt.major, MEDIATYPE_Stream) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT OnConnected(Pin& pin) override {
        if (pin.Direction() != PINDIR_INPUT) return S_OK;
        auto* pSource = dynamic_cast<FileSource*>(&pin.Peer()->Filter());
        if (pSource == nullptr) return VFW_E_CANNOT_CONNECT;
        auto spReader = std::make_unique<AviFileReader>();
        const HRESULT hr = spReader->Open(pSource->Path());
        if (FAILED(hr)) return hr;
        // The outputs a file needs exist from its first connection on.
        const int nWanted = spReader->AviType() == 2 && spReader->HasAudio() ? 2 : 1;
        while (PinCount(PINDIR_OUTPUT) < nWanted) AddPin(PINDIR_OUTPUT);
        m_spReader = std::move(spReader);
        m_nStartFrame = 0;
        return S_OK;
    }
    void OnDisconnected(Pin& pin) override {
        if (pin.Direction() == PINDIR_INPUT) m_spReader.reset();
    }
    HRESULT GetOutputType(int nOutput, MediaType& mt) override {
        if (!m_spReader) return VFW_E_NOT_CONNECTED;
        if (nOutput == 0) {
            const bool bType1 = m_spReader->AviType() == 1;
            mt = bType1 ? MakeDVType(MEDIATYPE_Interleaved, m_spReader->Is625(), m_spReader->DVAudioRate())
                        : MakeDVType(MEDIATYPE_Video, m_spReader->Is625());
            return S_OK;
        }
        if (!m_spReader->HasAudio()) return VFW_E_NOT_FOUND;
        mt = MakePcmType(m_spReader->AudioFormat().nSamplesPerSec, m_spReader->AudioFormat().nChannels);
        return S_OK;
    }
    HRESULT Receive(int, const Sample&) override { return E_UNEXPECTED; }

protected:
    HRESULT OnPause(FILTER_STATE from) override {
        if (from != State_Stopped) return S_OK;
        if (!m_spReader) return VFW_E_NOT_CONNECTED;
        StartThread();
        return S_OK;
    }
    void OnStop() override { StopThread(); }

private:
    void StartThread() {
        m_bQuit = false;
        m_thread = std::thread([this, nStart = m_nStartFrame] { PushFrom(nStart); });
    }
    void StopThread() {
        m_bQuit = true;
        if (m_thread.joinable()) m_thread.join();
    }
    void BeginFlushOutputs() {
        m_bQuit = true;
        for (const Pin* pPin : Pins())
            if (pPin->Direction() == PINDIR_OUTPUT) pPin->DeliverBeginFlush();
    }
    void EndFlushOutputs() {
        for (const Pin* pPin : Pins())
            if (pPin->Direction() == PINDIR_OUTPUT) pPin->DeliverEndFlush();
    }
    bool Continue() const { return !m_bQuit.load() && State() != State_Stopped; }

    // Frames from nStart to the end, each after the audio that starts before its end; times are
    // counted from the start position, as after every seek.
    void PushFrom(uint32_t nStart) {
        const Pin* pVideo = FindPin(PINDIR_OUTPUT, 0);
        const Pin* pAudio = PinCount(PINDIR_OUTPUT) > 1 ? FindPin(PINDIR_OUTPUT, 1) : nullptr;
        const bool bAudio = pAudio != nullptr && pAudio->IsConnected();
        const REFERENCE_TIME rtBase = m_spReader->FrameTime(nStart);
        size_t nChunk = 0;
        while (bAudio && nChunk < m_spReader->AudioChunkCount() && m_spReader->AudioChunkTime(nChunk) < rtBase) ++nChunk;
        std::vector<uint8_t> vecData;
        bool bFirst = true;
        for (uint32_t n = nStart; n < m_spReader->FrameCount() && Continue(); ++n) {
            const REFERENCE_TIME rtEnd = m_spReader->FrameTime(n + 1);
            for (; bAudio && nChunk < m_spReader->AudioChunkCount() && m_spReader->AudioChunkTime(nChunk) < rtEnd && Continue(); ++nChunk) {
                if (!m_spReader->ReadAudioChunk(nChunk, vecData)) continue;
                Sample audio;
                audio.pData = vecData.data();
                audio.nSize = vecData.size();
                audio.rtStart = std::max<REFERENCE_TIME>(0, m_spReader->AudioChunkTime(nChunk) - rtBase);
                audio.rtStop = audio.rtStart + static_cast<REFERENCE_TIME>(vecData.size() / m_spReader->AudioFormat().nBlockAlign) *
                                                   UnitsPerSecond / m_spReader->AudioFormat().nSamplesPerSec;
                audio.bDiscontinuity = bFirst;
                pAudio->Deliver(audio);
            }
            if (!m_spReader->ReadFrame(n, vecData)) continue;  // dropped during recording
            Sample frame;
            frame.pData = vecData.data();
            frame.nSize = vecData.size();
            frame.rtStart = m_spReader->FrameTime(n) - rtBase;
            frame.rtStop = rtEnd - rtBase;
            frame.nMediaTime = n;
            frame.bDiscontinuity = bFirst;
            bFirst = false;
            if (pVideo->IsConnected()) pVideo->Deliver(frame);
        }
        if (!Continue()) return;
        for (const Pin* pPin : Pins())
            if (pPin->Direction() == PINDIR_OUTPUT) pPin->DeliverEndOfStream();
    }

    std::unique_ptr<AviFileReader> m_spReader;
    uint32_t m_nStartFrame = 0;
    std::atomic<bool> m_bQuit{false};
    std::thread m_thread;
};

}  // namespace

FilterBase* NewFileSource() {
    return new FileSource();
}

FilterBase* NewAviSplitter() {
    return new AviSplitter();
}

}  // namespace media
