#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// Owners for the few kernel and USER handles the framework opens itself.

struct KernelHandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleCloser>;

// CreateFileW reports failure as INVALID_HANDLE_VALUE, not as a null handle.
inline UniqueHandle AdoptFileHandle(HANDLE handle) noexcept {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct HookUnhooker {
    void operator()(HHOOK hook) const noexcept { ::UnhookWindowsHookEx(hook); }
};
using UniqueHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, HookUnhooker>;
