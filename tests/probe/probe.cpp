// Looks at the running tool from outside, as the tests need it, and prints JSON:
//   probe dump               the configuration dialog, its controls, focus and system
//                                menu, and every window it owns (message boxes)
//   probe closebox           where the dialog's close box is
//   probe acp                the process's ANSI and OEM code pages
//   probe attributes PATH    the file's attributes
//   probe hold PATH          opens PATH shared with nobody, prints, and keeps it open
//                                until its standard input ends
// What Wine keeps inside the tool's process (its menus, its icons) comes from
// probe_hook.dll, which the probe hooks into the tool's thread for one dump.
#include "tests/probe/hook_protocol.h"
#include "tests/probe/json.h"
#include "tests/probe/owners.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* DialogClass = L"#32770";
constexpr const wchar_t* DialogCaption = L"BrivelConfig";
constexpr UINT ReplyTimeoutMs = 2000;

void Print(const std::string& line) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring ClassOf(HWND window) {
    std::array<wchar_t, 256> name{};
    const int length = ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return std::wstring(name.data(), static_cast<std::size_t>(length));
}

// A control of another process answers WM_GETTEXT; GetWindowText would not ask it.
std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ReplyTimeoutMs,
                               &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, ReplyTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

RECT RectOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

// Asks the hook inside the process that owns the windows of one thread.
class Inside {
public:
    explicit Inside(HWND anyWindowOfThread) {
        std::array<wchar_t, MAX_PATH> path{};
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
        std::wstring dll(path.data(), length);
        dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"probe_hook.dll";

        m_section.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             ResultSectionSize, ResultSectionName));
        m_view.reset(m_section
                         ? ::MapViewOfFile(m_section.get(), FILE_MAP_WRITE, 0, 0, ResultSectionSize)
                         : nullptr);
        m_library.reset(::LoadLibraryW(dll.c_str()));
        const auto proc = m_library ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                          ::GetProcAddress(m_library.get(), HookProcName)))
                                    : nullptr;
        const DWORD thread = ::GetWindowThreadProcessId(anyWindowOfThread, nullptr);
        m_hook.reset(proc ? ::SetWindowsHookExW(WH_CALLWNDPROC, proc, m_library.get(), thread)
                          : nullptr);
    }

    // The hook's JSON answer, or null when there is none.
    std::string Ask(QueryKind kind, HWND target) {
        if (!m_hook || !m_view) {
            return "null";
        }
        auto* result = static_cast<char*>(m_view.get());
        result[0] = '\0';
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(target, ::RegisterWindowMessageW(QueryMessageName), kind,
                              reinterpret_cast<LPARAM>(target), SMTO_ABORTIFHUNG, ReplyTimeoutMs,
                              &ignored);
        result[ResultSectionSize - 1] = '\0';
        return result[0] ? std::string(result) : std::string("null");
    }

private:
    UniqueHandle m_section;
    UniqueView m_view;
    UniqueLibrary m_library;
    UniqueHook m_hook;
};

void WriteControl(JsonWriter& json, HWND control, Inside& inside) {
    const std::wstring className = ClassOf(control);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    json.BeginObject();
    json.Field("hwnd", control);
    json.Field("id", static_cast<short>(::GetDlgCtrlID(control)));
    json.Field("class", className);
    json.Field("text", TextOf(control));
    json.Field("style", static_cast<DWORD>(style));
    json.Field("exStyle", static_cast<DWORD>(::GetWindowLongW(control, GWL_EXSTYLE)));
    json.Field("rect", RectOf(control));
    json.Field("tabStop", (style & WS_TABSTOP) != 0);
    json.Field("visible", ::IsWindowVisible(control) != FALSE);
    json.Field("enabled", ::IsWindowEnabled(control) != FALSE);
    if (::lstrcmpiW(className.c_str(), L"Button") == 0) {
        DWORD_PTR check = 0;
        ::SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, ReplyTimeoutMs, &check);
        json.Field("check", check);
    }
    if (::lstrcmpiW(className.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
        json.Key("icon").Raw(inside.Ask(queryIcon, control));
    }
    json.EndObject();
}

// Every field the tests look at, for a dialog or a message box.
void WriteWindow(JsonWriter& json, HWND window, Inside& inside) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    json.Field("hwnd", window);
    json.Field("pid", process);
    json.Field("class", ClassOf(window));
    json.Field("caption", TextOf(window));
    json.Field("rect", RectOf(window));
    json.Field("style", static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)));
    json.Field("exStyle", static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)));
    json.Field("visible", ::IsWindowVisible(window) != FALSE);
    json.Field("enabled", ::IsWindowEnabled(window) != FALSE);
    json.Key("controls").BeginArray();
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        WriteControl(json, child, inside);
    }
    json.EndArray();
}

// A named callback: a lambda has no stdcall conversion on 32-bit targets.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Where the window itself places its close box: the points of its top right corner that it
// hit-tests as HTCLOSE. Wine draws the caption itself when no window manager runs.
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

HWND FindDialog(const std::vector<HWND>& windows) {
    for (const HWND window : windows) {
        if (ClassOf(window) == DialogClass && TextOf(window) == DialogCaption) {
            return window;
        }
    }
    return nullptr;
}

int Dump() {
    const std::vector<HWND> windows = TopLevelWindows();
    const HWND dialog = FindDialog(windows);
    JsonWriter json;
    json.BeginObject();
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    json.Field("workArea", workArea);
    if (!dialog) {
        json.Key("dialog").Null();
        json.Key("owned").BeginArray().EndArray();
        json.EndObject();
        Print(json.Text());
        return 0;
    }
    Inside inside(dialog);
    json.Key("dialog").BeginObject();
    WriteWindow(json, dialog, inside);
    json.Key("systemMenu").Raw(inside.Ask(querySystemMenu, dialog));

    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread);
    json.Field("active", thread.hwndActive);
    json.Key("focus");
    if (thread.hwndFocus) {
        json.BeginObject();
        json.Field("hwnd", thread.hwndFocus);
        json.Field("id", static_cast<short>(::GetDlgCtrlID(thread.hwndFocus)));
        json.Field("class", ClassOf(thread.hwndFocus));
        json.Field("topLevel", ::GetAncestor(thread.hwndFocus, GA_ROOT));
        json.EndObject();
    } else {
        json.Null();
    }
    json.EndObject();

    // Popup menus (the system menu when open) belong to the process, not to the dialog.
    DWORD dialogProcess = 0;
    ::GetWindowThreadProcessId(dialog, &dialogProcess);
    int popupMenus = 0;
    for (const HWND window : windows) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == dialogProcess && ::IsWindowVisible(window) && ClassOf(window) == L"#32768") {
            ++popupMenus;
        }
    }
    json.Field("popupMenus", popupMenus);

    json.Key("owned").BeginArray();
    for (const HWND window : windows) {
        if (::GetWindow(window, GW_OWNER) == dialog && ::IsWindowVisible(window)) {
            json.BeginObject();
            WriteWindow(json, window, inside);
            json.EndObject();
        }
    }
    json.EndArray().EndObject();
    Print(json.Text());
    return 0;
}

int CloseBox() {
    JsonWriter json;
    json.BeginObject().Key("closeBox");
    const HWND dialog = FindDialog(TopLevelWindows());
    if (const std::optional<RECT> closeBox = dialog ? CloseBoxOf(dialog) : std::nullopt) {
        json.Rect(*closeBox);
    } else {
        json.Null();
    }
    Print(json.EndObject().Text());
    return 0;
}

int CodePages() {
    JsonWriter json;
    json.BeginObject();
    json.Field("acp", ::GetACP());
    json.Field("oemcp", ::GetOEMCP());
    Print(json.EndObject().Text());
    return 0;
}

int Attributes(LPCWSTR path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    JsonWriter json;
    json.BeginObject();
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        json.Key("attributes").Null();
        json.Field("error", ::GetLastError());
    } else {
        json.Field("attributes", attributes);
    }
    Print(json.EndObject().Text());
    return 0;
}

// Wine keeps the sharing rules in its server, so only a Windows process can hold a file
// against the tool.
int Hold(LPCWSTR path) {
    const HANDLE opened = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    JsonWriter json;
    json.BeginObject();
    json.Field("held", opened != INVALID_HANDLE_VALUE);
    if (opened == INVALID_HANDLE_VALUE) {
        json.Field("error", ::GetLastError());
        Print(json.EndObject().Text());
        return 1;
    }
    const UniqueHandle file(opened);
    Print(json.EndObject().Text());
    std::array<char, 256> buffer{};
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer.data(),
                      static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0) {
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // A crash must end the process, not wait for a debugger.
    ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"dump" && argc == 2) {
        return Dump();
    }
    if (command == L"closebox" && argc == 2) {
        return CloseBox();
    }
    if (command == L"acp" && argc == 2) {
        return CodePages();
    }
    if (command == L"attributes" && argc == 3) {
        return Attributes(argv[2]);
    }
    if (command == L"hold" && argc == 3) {
        return Hold(argv[2]);
    }
    Print("usage: probe dump | closebox | acp | attributes PATH | hold PATH");
    return 2;
}
