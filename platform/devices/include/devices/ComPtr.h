// A reference-counted holder for the COM-style interfaces of the simulated bus.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace devices {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Release(); }

    ComPtr& operator=(const ComPtr& other) { ComPtr(other).Swap(*this); return *this; }
    ComPtr& operator=(ComPtr&& other) noexcept { ComPtr(std::move(other)).Swap(*this); return *this; }

    void Release() { if (m_p) std::exchange(m_p, nullptr)->Release(); }
    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Address for an out-parameter; whatever was held is released first.
    T** operator&() { Release(); return &m_p; }
    void** AsVoid() { Release(); return reinterpret_cast<void**>(&m_p); }

    // Takes over a reference the caller already owns.
    void Attach(T* p) { Release(); m_p = p; }
    T* Detach() { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};

} // namespace devices
