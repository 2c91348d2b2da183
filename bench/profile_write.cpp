// profile_write COUNT: times COUNT bare profile writes of the priority option, the work one
// click on a priority button asks of the system, and prints each one's microseconds on a line.
// The values alternate: a write of the value already stored changes nothing on disk.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t Section[] = L"DirectX Errors";
constexpr wchar_t Key[] = L"highspeed";
constexpr wchar_t Path[] = L"c:\\dxerror.ini";

LONGLONG Now() {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const long count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 0;
    if (count <= 0) {
        std::fprintf(stderr, "usage: profile_write COUNT\n");
        return 2;
    }
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);

    // As in the dialog: the file has been read once before the first click.
    UINT stored = ::GetPrivateProfileIntW(Section, Key, 1, Path);
    for (long i = -1; i < count; ++i) {
        stored = stored != 0 ? 0 : 1;
        const LONGLONG before = Now();
        const BOOL written = ::WritePrivateProfileStringW(Section, Key, stored ? L"1" : L"0", Path);
        const LONGLONG after = Now();
        if (!written) {
            std::fprintf(stderr, "WritePrivateProfileStringW failed: %lu\n", ::GetLastError());
            return 1;
        }
        if (i >= 0) { // the first write warms the profile cache and is not counted
            std::printf("%.1f\n", static_cast<double>(after - before) * 1e6 /
                                      static_cast<double>(frequency.QuadPart));
        }
    }
    return 0;
}
