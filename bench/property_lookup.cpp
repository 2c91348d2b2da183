// property_lookup COUNT: times COUNT window-property lookups (GetPropW) on a window of its own,
// the lookup a window procedure makes that finds its object through a property, and prints
// each one's microseconds on a line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <type_traits>

namespace {

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { ::DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

constexpr wchar_t Property[] = L"BenchObject";

LONGLONG Now() {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const long count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 0;
    if (count <= 0) {
        std::fprintf(stderr, "usage: property_lookup COUNT\n");
        return 2;
    }
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);

    const UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                                nullptr, nullptr, nullptr));
    if (!window || !::SetPropW(window.get(), Property, window.get())) {
        std::fprintf(stderr, "no window with a property: %lu\n", ::GetLastError());
        return 1;
    }
    for (long i = -1; i < count; ++i) {
        const LONGLONG before = Now();
        const HANDLE found = ::GetPropW(window.get(), Property);
        const LONGLONG after = Now();
        if (found != window.get()) {
            std::fprintf(stderr, "GetPropW found %p\n", found);
            return 1;
        }
        if (i >= 0) { // the first lookup is not counted
            std::printf("%.2f\n", static_cast<double>(after - before) * 1e6 /
                                      static_cast<double>(frequency.QuadPart));
        }
    }
    ::RemovePropW(window.get(), Property);
    return 0;
}
