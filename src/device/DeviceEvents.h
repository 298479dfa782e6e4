// The event channel from the camcorder link and the graphs to the main window, and the
// connection status code that tells the user interface why the camcorder cannot be used.
#pragma once

#include <windows.h>

// Event codes (wParam of the event message).
enum DeviceEventCode : int {
    EVENT_DVMODECHANGE = 1,      // lParam: the new device mode 0..7 (sent)
    EVENT_TAPESTATUSCHANGE = 2,  // lParam: the new tape status 0..5 (sent)
    EVENT_DVCOMMAND = 3,         // lParam: a command code the camcorder sent to the virtual VCR (sent)
    EVENT_DISKFULL = 4,          // sent
    EVENT_FILELIMIT = 5,         // sent
    EVENT_PLAYPOSITION = 6,      // sent
    EVENT_PLAYCOMPLETE = 7,      // sent
    EVENT_RECASPECT = 8,         // lParam: wide-screen flag (posted from streaming threads)
    EVENT_PLAYASPECT = 9,        // posted
    EVENT_RECFORMAT = 10,        // posted
    EVENT_PLAYFORMAT = 11,       // posted
    EVENT_WRITEERROR = 12,       // lParam: the HRESULT of the record graph's failed write (sent)
};

// Connection status codes; the record panel shows a message for every code but Ready.
enum DeviceStatusCode : int {
    DEVICE_STATUS_INITIAL = 0,            // nothing decided yet
    DEVICE_STATUS_TOO_MANY_NODES = 1,     // three or more nodes on the bus
    DEVICE_STATUS_NO_CAMCORDER = 2,       // none, lost, a query failed, or one node only
    DEVICE_STATUS_NOT_SUPPORTED = 3,      // not a camcorder of the maker
    DEVICE_STATUS_NO_DVCONTROL_ANSWER = 4,
    DEVICE_STATUS_CARD_MODE = 5,          // card or another mode
    DEVICE_STATUS_NOT_CAMERA_MODE = 6,    // a tape, but not camera mode
    DEVICE_STATUS_DVCONTROL_OFF = 7,
    DEVICE_STATUS_READY = 8,
};

// The program's private window messages, all of them here so that no two collide on one window.
// The message id the main panel gives the manager: WM_APP + 1.
inline constexpr UINT WM_DEVICE_EVENT = WM_APP + 1;
// Main panel's system-event filter -> main window: wParam a SystemEventCode, lParam for
// EVENT_QUERYENDSESSION a pointer to the LRESULT answer (non-zero lets the session end).
inline constexpr UINT WM_SYSTEM_EVENT = WM_APP + 2;
// Main window -> itself: close the next modal window after a permitted end of session.
inline constexpr UINT WM_CLOSE_MODAL_WINDOWS = WM_APP + 3;
// History list -> record panel, drop slider -> play panel: list and slider notifications.
inline constexpr UINT WM_LIST_NOTIFY = WM_APP + 10;
// File list -> play panel: file list notifications.
inline constexpr UINT WM_FILE_LIST_NOTIFY = WM_APP + 11;
// Performance-check worker -> its dialog: one second's measurement.
inline constexpr UINT WM_PERF_MEASURED = WM_APP + 30;
// Thumbnail worker -> file list: a thumbnail is ready.
inline constexpr UINT WM_THUMBNAIL_READY = WM_APP + 100;

// Codes of WM_SYSTEM_EVENT, handed on to the record and play panels (all but the last).
enum SystemEventCode : int {
    EVENT_SUSPEND = 1,          // the computer is about to suspend or go to standby
    EVENT_SESSIONLOCK = 2,      // the session was locked or its console disconnected
    EVENT_SESSIONUNLOCK = 3,    // the session was unlocked or its console connected again
    EVENT_QUERYENDSESSION = 4,  // the session is asked to end
};

// The channel itself: the target window, the message id and the status code.
class DeviceEventChannel {
public:
    // Sends (bPost FALSE) or posts (bPost TRUE) the event message; the result of the call.
    // Posting is the one operation that streaming threads may use.
    LRESULT NotifyEvent(int nCode, LPARAM lParam, BOOL bPost) const {
        if (bPost) return ::PostMessageW(m_hWnd, m_nMessage, static_cast<WPARAM>(nCode), lParam);
        return ::SendMessageW(m_hWnd, m_nMessage, static_cast<WPARAM>(nCode), lParam);
    }
    int GetDeviceStatus() const { return m_nDeviceStatus; }
    void SetDeviceStatus(int nStatus) { m_nDeviceStatus = nStatus; }

protected:
    HWND m_hWnd = nullptr;
    UINT m_nMessage = 0;
    int m_nDeviceStatus = DEVICE_STATUS_INITIAL;
};
