// Stands in for the system help viewer in the end-to-end tests, so they can see which help
// the tool asks for, and looks at the windows the probe leaves out. Prints JSON lines:
//   help_viewer serve [--refuse]   takes the help viewer's place; prints {"ready":...} once
//                                  it can be found and one {"request":...} per help request;
//                                  answers each with success, or with --refuse with failure;
//                                  runs until its standard input ends
//   help_viewer windows            every visible top-level window of every process, with the
//                                  texts of its visible controls
//   help_viewer closebox CAPTION   where the close box of the visible window so captioned is
#include "framework/handles.h"
#include "tests/probe/json.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Wine's WinHelp finds the viewer as the top-level window of this class (starting
// winhlp32.exe -x when there is none), sends it WM_COPYDATA with its mark 0xA1DE505 as the
// tag, and returns the answer as its own result.
constexpr const wchar_t* ViewerClass = L"MS_WINHELP";

// The request as Wine lays it out; the offsets count from its start.
struct HelpRequest {
    WORD size;
    WORD command;
    LONG data;
    LONG reserved;
    WORD ofsFilename;
    WORD ofsData;
};
static_assert(sizeof(HelpRequest) == 16);

constexpr UINT ReplyTimeoutMs = 2000;
bool refuse = false;

void Print(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                &written, nullptr);
}

std::wstring FromAnsi(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

// Everything the request carries, checked against its own length so that a malformed one
// shows as such instead of as a plausible value.
void PrintRequest(HWND caller, const COPYDATASTRUCT& copy) {
    JsonWriter json;
    json.BeginObject()
        .Key("request")
        .BeginObject()
        .Key("caller")
        .Number(reinterpret_cast<LONG_PTR>(caller))
        .Key("tag")
        .Number(static_cast<long long>(copy.dwData))
        .Key("bytes")
        .Number(copy.cbData);
    if (copy.cbData >= sizeof(HelpRequest) && copy.lpData) {
        const auto* bytes = static_cast<const char*>(copy.lpData);
        HelpRequest request{};
        std::memcpy(&request, bytes, sizeof request);
        json.Key("size")
            .Number(request.size)
            .Key("command")
            .Number(request.command)
            .Key("data")
            .Number(static_cast<DWORD>(request.data));
        json.Key("file");
        const std::string_view all(bytes, copy.cbData);
        const std::size_t end =
            request.ofsFilename ? all.find('\0', request.ofsFilename) : std::string_view::npos;
        if (request.ofsFilename >= sizeof request && end != std::string_view::npos) {
            json.String(FromAnsi(all.substr(request.ofsFilename, end - request.ofsFilename)));
        } else {
            json.Null();
        }
    }
    Print(json.EndObject().EndObject().Text());
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COPYDATA:
        PrintRequest(reinterpret_cast<HWND>(wParam), *reinterpret_cast<COPYDATASTRUCT*>(lParam));
        return refuse ? FALSE : TRUE;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// The test ends the viewer by closing its standard input.
DWORD WINAPI WatchInput(void* window) {
    std::array<char, 256> buffer{};
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer.data(),
                      static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0) {
    }
    ::PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
    return 0;
}

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { ::DestroyWindow(window); }
};

int Serve() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &ViewerProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = ViewerClass;
    if (!::RegisterClassExW(&windowClass)) {
        Print(JsonWriter()
                  .BeginObject()
                  .Key("ready")
                  .Bool(false)
                  .Key("error")
                  .Number(::GetLastError())
                  .EndObject()
                  .Text());
        return 1;
    }
    // Hidden: the viewer must be found, not take the activation from the tool.
    std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer> window(
        ::CreateWindowExW(0, ViewerClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                          nullptr, instance, nullptr));
    const UniqueHandle watcher(
        window ? ::CreateThread(nullptr, 0, &WatchInput, window.get(), 0, nullptr) : nullptr);
    Print(JsonWriter()
              .BeginObject()
              .Key("ready")
              .Bool(window && watcher)
              .Key("window")
              .Number(reinterpret_cast<LONG_PTR>(window.get()))
              .EndObject()
              .Text());
    if (!window || !watcher) {
        return 1;
    }
    window.release(); // WM_CLOSE destroys it
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

std::wstring ClassOf(HWND window) {
    std::array<wchar_t, 256> name{};
    const int length = ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return std::wstring(name.data(), static_cast<std::size_t>(length));
}

std::wstring CaptionOf(HWND window) {
    std::array<wchar_t, 512> text{};
    const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<std::size_t>(length));
}

std::wstring ImageOf(DWORD process) {
    const UniqueHandle opened(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    std::array<wchar_t, MAX_PATH> path{};
    DWORD length = MAX_PATH;
    if (!opened || !::QueryFullProcessImageNameW(opened.get(), 0, path.data(), &length)) {
        return {};
    }
    const std::wstring full(path.data(), length);
    return full.substr(full.find_last_of(L"\\/") + 1);
}

// A control of another process answers WM_GETTEXT; GetWindowText would not ask it.
std::wstring TextOf(HWND control) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ReplyTimeoutMs,
                               &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, ReplyTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

RECT RectOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

// A named CALLBACK: a lambda has no stdcall form on 32-bit Windows.
BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
    if (::IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

int Windows() {
    JsonWriter json;
    json.BeginObject().Key("windows").BeginArray();
    for (const HWND window : VisibleTopLevelWindows()) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        json.BeginObject()
            .Key("hwnd")
            .Number(reinterpret_cast<LONG_PTR>(window))
            .Key("process")
            .String(ImageOf(process))
            .Key("class")
            .String(ClassOf(window))
            .Key("caption")
            .String(CaptionOf(window))
            .Key("owner")
            .Number(reinterpret_cast<LONG_PTR>(::GetWindow(window, GW_OWNER)))
            .Key("enabled")
            .Bool(::IsWindowEnabled(window) != FALSE)
            .Key("rect")
            .Rect(RectOf(window))
            .Key("controls")
            .BeginArray();
        for (HWND child = ::GetWindow(window, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (::IsWindowVisible(child)) {
                json.BeginObject()
                    .Key("class")
                    .String(ClassOf(child))
                    .Key("text")
                    .String(TextOf(child))
                    .Key("rect")
                    .Rect(RectOf(child))
                    .EndObject();
            }
        }
        json.EndArray().EndObject();
    }
    Print(json.EndArray().EndObject().Text());
    return 0;
}

// The points of the window's top right corner that it hit-tests as HTCLOSE; Wine draws the
// caption itself when no window manager runs.
std::optional<RECT> CloseBoxOf(HWND window) {
    const RECT frame = RectOf(window);
    constexpr LONG reach = 48;
    std::optional<RECT> box;
    for (LONG y = frame.top; y < frame.top + reach; ++y) {
        for (LONG x = frame.right - reach; x < frame.right; ++x) {
            DWORD_PTR hit = HTNOWHERE;
            ::SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG,
                                  ReplyTimeoutMs, &hit);
            if (hit != HTCLOSE) {
                continue;
            }
            if (!box) {
                box = RECT{x, y, x + 1, y + 1};
            }
            box->left = std::min(box->left, x);
            box->top = std::min(box->top, y);
            box->right = std::max(box->right, x + 1);
            box->bottom = std::max(box->bottom, y + 1);
        }
    }
    return box;
}

int CloseBox(const std::wstring& caption) {
    JsonWriter json;
    json.BeginObject().Key("closeBox");
    std::optional<RECT> box;
    for (const HWND window : VisibleTopLevelWindows()) {
        if (CaptionOf(window) == caption) {
            box = CloseBoxOf(window);
            break;
        }
    }
    if (box) {
        json.Rect(*box);
    } else {
        json.Null();
    }
    Print(json.EndObject().Text());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // A crash must end the process, not wait for a debugger.
    ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"serve" && (argc == 2 || (argc == 3 && std::wstring(argv[2]) == L"--refuse"))) {
        refuse = argc == 3;
        return Serve();
    }
    if (command == L"windows" && argc == 2) {
        return Windows();
    }
    if (command == L"closebox" && argc == 3) {
        return CloseBox(argv[2]);
    }
    Print("usage: help_viewer serve [--refuse] | windows | closebox CAPTION");
    return 2;
}
