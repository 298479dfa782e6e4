#include <windows.h>

#include "app/RecorderApp.h"
#include "framework/App.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return framework::RunApp<RecorderApp>(); }
