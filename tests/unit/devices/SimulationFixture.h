// A fresh simulated bus, and a window that counts the capture-category notifications it receives.
#pragma once

#include "devices/Bus.h"
#include "devices/Faces.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

class NotificationWindow {
public:
    NotificationWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PloverBusTestWindow";
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = devices::KsCategoryCapture;
        m_hNotify = devices::RegisterDeviceNotificationW(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    ~NotificationWindow() {
        devices::UnregisterDeviceNotification(m_hNotify);
        ::DestroyWindow(m_hWnd);
    }
    // "+name" for an arrival, "-name" for a removal.
    std::vector<std::wstring> m_vecSeen;
    HDEVNOTIFY m_hNotify = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* pThis = reinterpret_cast<NotificationWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (pThis != nullptr && message == WM_DEVICECHANGE) {
            const auto* p = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
            if (p->dbcc_devicetype == DBT_DEVTYP_DEVICEINTERFACE && IsEqualGUID(p->dbcc_classguid, devices::KsCategoryCapture)) {
                pThis->m_vecSeen.push_back((wParam == DBT_DEVICEARRIVAL ? L"+" : L"-") + std::wstring(p->dbcc_name));
            }
            return TRUE;
        }
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    HWND m_hWnd = nullptr;
};

class SimulationTest : public ::testing::Test {
protected:
    void SetUp() override {
        devices::Bus::Get().Reset(devices::BusScenario{});
        devices::Bus::Get().SetTickSource(nullptr);
    }
    devices::VcrDriver& Driver() { return devices::Bus::Get().Driver(); }
};
