// The one way messages are pumped: the application's loop and every modal loop of the framework.
#pragma once

#include <windows.h>

#include <functional>

namespace framework {

// Offers a message to the application's PreTranslateMessage (or, without an application object, to
// the windows' PreTranslateMessage walk) and otherwise translates and dispatches it.
void TranslateAndDispatch(MSG& msg);

// Pumps messages while `keepRunning` holds. When the queue first runs empty, `showOnIdle` (if given)
// is shown. Returns false when WM_QUIT arrived (it is posted again for the outer loop), with its
// exit code in `quitCode`.
bool RunModalLoop(const std::function<bool()>& keepRunning, HWND showOnIdle, int* quitCode = nullptr);

class Window;

// The window a modal window of `self` disables: the top-level window of `parent` when given, else
// of the application's main window (unless that is `self`); null when there is none.
HWND FindModalOwner(const Window* parent, const Window* self);

}  // namespace framework
