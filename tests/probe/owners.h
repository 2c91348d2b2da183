#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// Owners for the handles the probe and its hook open.

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct ViewUnmapper {
    void operator()(void* view) const noexcept { ::UnmapViewOfFile(view); }
};
using UniqueView = std::unique_ptr<void, ViewUnmapper>;

struct LibraryFreer {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

struct HookUnhooker {
    void operator()(HHOOK hook) const noexcept { ::UnhookWindowsHookEx(hook); }
};
using UniqueHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, HookUnhooker>;
