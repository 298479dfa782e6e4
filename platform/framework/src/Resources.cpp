#include "framework/Resources.h"

namespace framework {
namespace {
HINSTANCE g_resourceModule = nullptr;
}

HINSTANCE GetInstanceHandle() { return GetModuleHandleW(nullptr); }

HINSTANCE GetResourceHandle() { return g_resourceModule ? g_resourceModule : GetInstanceHandle(); }

void SetResourceHandle(HINSTANCE module) { g_resourceModule = module; }

std::wstring LoadResString(UINT id) {
  // With a zero buffer size LoadStringW hands back a read-only pointer into the resource itself,
  // so strings of any length are copied whole.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace framework
