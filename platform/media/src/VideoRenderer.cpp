// The video renderer: a window of its own, painted with GDI from the latest 24-bit picture. In a
// live graph it shows pictures as they arrive and drops those that come late; in a file graph it
// shows the first picture at once when paused and every other one when the clock reaches its time.
// A picture is drawn on the delivering thread the moment it is due, and kept for the repaints the
// window asks for: the window's own thread is not woken for every frame. A live picture whose
// window is off the screen is not even made (see WantsSamples).
#include "Engine.h"

#include <cstring>

namespace media {
namespace {

constexpr wchar_t WindowClassName[] = L"PloverVideoRenderer";
// A live picture this far behind the stream time is not worth showing.
constexpr REFERENCE_TIME LiveLateness = 1000000;  // 100 ms
// A file picture this far behind its time is dropped (the first after a pause never is).
constexpr REFERENCE_TIME FileLateness = 2 * FramePeriod525;

class VideoRenderer final : public FilterBase, public IVideoWindow, public IRendererStats {
public:
    VideoRenderer() : FilterBase(CLSID_VideoRendererDefault) {
        AddPin(PINDIR_INPUT);
        CreateVideoWindow();
    }
    ~VideoRenderer() override {
        if (m_hwnd == nullptr) return;
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DWORD dwPid = 0;
        if (::GetWindowThreadProcessId(m_hwnd, &dwPid) == ::GetCurrentThreadId()) ::DestroyWindow(m_hwnd);
        else ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    }
    MEDIA_FILTER_IUNKNOWN

    // ---- IVideoWindow ----
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND Owner) override {
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        HWND hwndOwner = reinterpret_cast<HWND>(Owner);
        if (hwndOwner != nullptr && !::IsWindow(hwndOwner)) return E_INVALIDARG;
        ::SetParent(m_hwnd, hwndOwner);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND Drain) override {
        m_hwndDrain = reinterpret_cast<HWND>(Drain);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Visible(LONG Visible) override {
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        ::ShowWindow(m_hwnd, Visible ? SW_SHOWNA : SW_HIDE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Visible(LONG* pVisible) override {
        if (pVisible == nullptr) return E_POINTER;
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        *pVisible = ::IsWindowVisible(m_hwnd) ? OATRUE : OAFALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_WindowStyle(LONG WindowStyle) override {
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        // Visibility is put_Visible's business, as for the host's video window.
        const LONG_PTR nVisible = ::GetWindowLongPtrW(m_hwnd, GWL_STYLE) & WS_VISIBLE;
        ::SetWindowLongPtrW(m_hwnd, GWL_STYLE, (static_cast<LONG_PTR>(WindowStyle) & ~static_cast<LONG_PTR>(WS_VISIBLE)) | nVisible);
        ::SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetWindowPosition(LONG Left, LONG Top, LONG Width, LONG Height) override {
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        if (Width < 0 || Height < 0) return E_INVALIDARG;
        return ::MoveWindow(m_hwnd, Left, Top, Width, Height, TRUE) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE SetWindowForeground(LONG Focus) override {
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        ::SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (Focus != OAFALSE) ::SetFocus(m_hwnd);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyOwnerMessage(OAHWND, long uMsg, LONG_PTR wParam, LONG_PTR lParam) override {
        if (m_hwnd == nullptr) return E_UNEXPECTED;
        switch (uMsg) {
        case WM_SYSCOLORCHANGE:
        case WM_PALETTECHANGED:
        case WM_PALETTEISCHANGING:
        case WM_QUERYNEWPALETTE:
        case WM_DEVMODECHANGE:
        case WM_DISPLAYCHANGE:
        case WM_SETTINGCHANGE:
            ::SendMessageW(m_hwnd, static_cast<UINT>(uMsg), static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
            break;
        default:
            break;
        }
        return S_OK;
    }

    // ---- IRendererStats ----
    HRESULT STDMETHODCALLTYPE GetFramesDrawn(long* plDrawn) override {
        if (plDrawn == nullptr) return E_POINTER;
        *plDrawn = m_nDrawn.load();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFramesDropped(long* plDropped) override {
        if (plDropped == nullptr) return E_POINTER;
        *plDropped = m_nDropped.load();
        return S_OK;
    }

    // ---- filter ----
    HRESULT CheckInputType(int, const MediaType& mt) override {
        const VIDEOINFOHEADER* pVih = mt.VideoInfo();
        if (!mt.IsA(MEDIATYPE_Video, MEDIASUBTYPE_RGB24) || pVih == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
        if (pVih->bmiHeader.biWidth <= 0 || pVih->bmiHeader.biHeight <= 0) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT OnConnected(Pin& pin) override {
        std::lock_guard lock(m_mtxImage);
        m_bmi = pin.Type().VideoInfo()->bmiHeader;
        m_rtFrame = pin.Type().VideoInfo()->AvgTimePerFrame;
        m_bHaveImage = false;
        return S_OK;
    }
    bool IsRenderer() const override { return true; }
    bool WantsSamples() const override {
        // A file's pictures pace its playing whether or not they are seen.
        if (m_hwnd == nullptr || m_pSite == nullptr || !m_pSite->IsLiveGraph()) return true;
        const WindowDC dc(m_hwnd);
        RECT rcClip;
        return dc.Get() != nullptr && ::GetClipBox(dc.Get(), &rcClip) != NULLREGION;
    }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        const size_t nImage = static_cast<size_t>(Rgb24Stride(m_bmi.biWidth)) * m_bmi.biHeight;
        if (sample.nSize < nImage) return E_INVALIDARG;
        m_rtLastStop = sample.rtStop;
        if (m_pSite != nullptr && m_pSite->IsLiveGraph()) {
            if (State() == State_Running && StreamTimeNow() - sample.rtStart > LiveLateness) {
                ++m_nDropped;
                return S_OK;
            }
            Present(sample.pData, nImage);
            return S_OK;
        }
        const bool bPreroll = m_bNeedPreroll.exchange(false);
        if (bPreroll) Present(sample.pData, nImage);
        if (!WaitForStreamTime(sample.rtStart)) return S_FALSE;
        if (bPreroll) return S_OK;
        if (StreamTimeNow() - sample.rtStart > std::max(FileLateness, 2 * m_rtFrame)) {
            ++m_nDropped;
            return S_OK;
        }
        Present(sample.pData, nImage);
        return S_OK;
    }

    void EndOfStream(int) override {
        // The stream ends when its last picture has had its time.
        if (m_pSite == nullptr || !IsStreaming()) return;
        if (!m_pSite->IsLiveGraph() && !WaitForStreamTime(m_rtLastStop)) return;
        m_pSite->ReportEndOfStream(this);
    }

    void BeginFlush(int nInput) override {
        FilterBase::BeginFlush(nInput);
        m_bNeedPreroll = true;
    }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_IVideoWindow)) return static_cast<IVideoWindow*>(this);
        if (IsEqualGUID(riid, IID_IRendererStats)) return static_cast<IRendererStats*>(this);
        return nullptr;
    }
    HRESULT OnPause(FILTER_STATE from) override {
        if (from == State_Stopped) m_bNeedPreroll = true;
        return S_OK;
    }
    void OnStop() override {
        m_bNeedPreroll = true;
        m_rtLastStop = 0;
    }

private:
    static ATOM RegisterClassOnce() {
        static const ATOM atom = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = &VideoRenderer::WindowProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = WindowClassName;
            return ::RegisterClassExW(&wc);
        }();
        return atom;
    }

    void CreateVideoWindow() {
        if (RegisterClassOnce() == 0) return;
        m_hwnd = ::CreateWindowExW(0, WindowClassName, L"ActiveMovie Window", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 240, 180,
                                   nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (m_hwnd) ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    // The DC of the window's client area, taken on any thread.
    class WindowDC {
    public:
        explicit WindowDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
        ~WindowDC() {
            if (m_hdc != nullptr) ::ReleaseDC(m_hwnd, m_hdc);
        }
        WindowDC(const WindowDC&) = delete;
        WindowDC& operator=(const WindowDC&) = delete;
        HDC Get() const { return m_hdc; }

    private:
        HWND m_hwnd;
        HDC m_hdc;
    };

    void Present(const uint8_t* pPixels, size_t nBytes) {
        const WindowDC dc(m_hwnd);
        bool bDrawn = false;
        {
            std::lock_guard lock(m_mtxImage);
            if (m_bHaveImage && !m_bPainted) ++m_nDropped;  // never seen before the next one came
            m_vecImage.assign(pPixels, pPixels + nBytes);
            m_bHaveImage = true;
            m_bPainted = false;
            m_bRepaintAsked = false;
            bDrawn = dc.Get() != nullptr && DrawImage(dc.Get());
        }
        if (!bDrawn) return;
        // The window system shows what a thread drew once that thread looks at its message queue
        // (under Wine, the drawing waits in the window's surface until then).
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }

    // Draws the kept picture over the client area; false when none of the window is on the screen.
    // Called with the picture locked.
    bool DrawImage(HDC hdc) {
        RECT rcClip;
        if (::GetClipBox(hdc, &rcClip) == NULLREGION) return false;
        RECT rc;
        ::GetClientRect(m_hwnd, &rc);
        BITMAPINFO bmi{};
        bmi.bmiHeader = m_bmi;
        bmi.bmiHeader.biCompression = BI_RGB;
        ::SetStretchBltMode(hdc, COLORONCOLOR);
        ::StretchDIBits(hdc, 0, 0, rc.right, rc.bottom, 0, 0, m_bmi.biWidth, m_bmi.biHeight, m_vecImage.data(), &bmi, DIB_RGB_COLORS,
                        SRCCOPY);
        if (!m_bPainted) ++m_nDrawn;
        m_bPainted = true;
        return true;
    }

    void Paint(HWND hwnd) {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(hwnd, &ps);
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        bool bAskRepaint = false;
        {
            std::lock_guard lock(m_mtxImage);
            if (m_bHaveImage) {
                DrawImage(hdc);
            } else {
                ::FillRect(hdc, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
                // Paused without a picture: the graph is asked to show its current one again.
                bAskRepaint = State() == State_Paused && !m_bRepaintAsked;
                m_bRepaintAsked = m_bRepaintAsked || bAskRepaint;
            }
        }
        ::EndPaint(hwnd, &ps);
        if (bAskRepaint && m_pSite) m_pSite->PostGraphEvent(EC_REPAINT, 0, 0);
    }

    static bool IsInputMessage(UINT uMsg) {
        return (uMsg >= WM_MOUSEFIRST && uMsg <= WM_MOUSELAST) || (uMsg >= WM_KEYFIRST && uMsg <= WM_KEYLAST);
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        auto* pThis = reinterpret_cast<VideoRenderer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (pThis == nullptr) {
            if (uMsg == WM_CLOSE) {
                ::DestroyWindow(hwnd);
                return 0;
            }
            return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
        }
        switch (uMsg) {
        case WM_PAINT:
            pThis->Paint(hwnd);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers the whole client area
        case WM_CLOSE:
            pThis->put_Visible(OAFALSE);
            return 0;
        default:
            break;
        }
        if (pThis->m_hwndDrain != nullptr && IsInputMessage(uMsg)) {
            ::PostMessageW(pThis->m_hwndDrain, uMsg, wParam, lParam);
            return 0;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
    HWND m_hwndDrain = nullptr;
    std::mutex m_mtxImage;
    BITMAPINFOHEADER m_bmi{};
    REFERENCE_TIME m_rtFrame = FramePeriod625;
    std::vector<uint8_t> m_vecImage;
    bool m_bHaveImage = false;
    bool m_bPainted = false;
    bool m_bRepaintAsked = false;
    std::atomic<bool> m_bNeedPreroll{true};
    std::atomic<REFERENCE_TIME> m_rtLastStop{0};
    std::atomic<long> m_nDrawn{0};
    std::atomic<long> m_nDropped{0};
};

}  // namespace

FilterBase* NewVideoRenderer() {
    return new VideoRenderer();
}

}  // namespace media
