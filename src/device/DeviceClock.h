// Time for the camcorder link's pacing: the 500 ms polls, the 3-second node-count settling, the
// 30-second PC-information pacing, the 20 ms command spacing and the load steps' waits.
// The program uses the system's clock; tests give a clock of their own so they need not sleep.
#pragma once

#include <windows.h>

class DeviceClock {
public:
    virtual DWORD GetTickCount() = 0;
    virtual void Sleep(DWORD dwMilliseconds) = 0;

    // GetTickCount and Sleep of the system.
    static DeviceClock& System();

protected:
    ~DeviceClock() = default;
};
