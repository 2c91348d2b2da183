// Starts one dialog program at a time and watches it from outside, for the benchmark driver.
// Commands come one a line on standard input; each gets one line of answer on standard output:
//   start PATH    starts PATH; "shown PID CREATED_US SHOWN_US" once its dialog is visible
//   centre ID     "centre X Y": the screen point in the middle of control ID of that dialog
//   pushed ID MS  "pushed" once button ID shows as pressed (a mouse button is down on it), or
//                 "timeout" after MS milliseconds
//   checked ID MS "checked" once radio button ID is selected, or "timeout"
//   memory        "memory PEAK_WORKING_SET WORKING_SET" of the process, in bytes
//   wait          "gone EXIT_CODE" once the process has ended
// Times are microseconds from just before the process was created. The dialog is found
// through an out-of-context event hook: nothing runs inside the watched process, and any
// program showing the same template raises the same events.
#include <windows.h>
#include <psapi.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct EventUnhooker {
    void operator()(HWINEVENTHOOK hook) const noexcept { ::UnhookWinEvent(hook); }
};
using UniqueEventHook = std::unique_ptr<std::remove_pointer_t<HWINEVENTHOOK>, EventUnhooker>;

constexpr DWORD TimeoutMs = 10000;
// The granularity of the show time.
constexpr DWORD PollMs = 1;

LONGLONG Now() {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

LONGLONG Microseconds(LONGLONG from, LONGLONG to) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value{};
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    return (to - from) * 1000000 / frequency;
}

// Set by the hook callback, which runs on this thread while it pumps messages.
HWND createdDialog = nullptr;
LONGLONG createdAt = 0;

void CALLBACK OnCreate(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (createdDialog || object != OBJID_WINDOW || child != CHILDID_SELF || !window) {
        return;
    }
    std::array<wchar_t, 16> className{};
    ::GetClassNameW(window, className.data(), static_cast<int>(className.size()));
    // Top-level and of the dialog class: not a control, not one of the system's helper windows.
    if (::GetAncestor(window, GA_PARENT) == ::GetDesktopWindow() &&
        std::wstring_view(className.data()) == L"#32770") {
        createdAt = Now();
        createdDialog = window;
    }
}

class Watcher {
public:
    std::string Start(const std::wstring& path) {
        Reset();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + path + L"\"";
        const LONGLONG startedAt = Now();
        if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                              CREATE_SUSPENDED, nullptr, L"C:\\", &startup, &info)) {
            return "error CreateProcessW " + std::to_string(::GetLastError());
        }
        m_process.reset(info.hProcess);
        const UniqueHandle thread(info.hThread);
        m_processId = info.dwProcessId;
        // Wine reports the creation of windows to such a hook, not their showing: the hook finds
        // the dialog, and its visibility is polled from then on. The hook exists before the
        // program runs, and sees that program only.
        const UniqueEventHook hook(::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE,
                                                     nullptr, &OnCreate, info.dwProcessId, 0,
                                                     WINEVENT_OUTOFCONTEXT));
        if (!hook) {
            return "error SetWinEventHook " + std::to_string(::GetLastError());
        }
        ::ResumeThread(thread.get());

        const ULONGLONG deadline = ::GetTickCount64() + TimeoutMs;
        LONGLONG shownAt = 0;
        while (!shownAt) {
            if (::GetTickCount64() >= deadline) {
                return "error no dialog shown";
            }
            HANDLE process = m_process.get();
            if (::MsgWaitForMultipleObjectsEx(1, &process, PollMs, QS_ALLINPUT,
                                              MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) {
                return "error the program ended before its dialog was shown";
            }
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::DispatchMessageW(&message);
            }
            if (createdDialog && ::IsWindowVisible(createdDialog)) {
                shownAt = Now();
            }
        }
        m_dialog = createdDialog;
        return "shown " + std::to_string(m_processId) + " " +
               std::to_string(Microseconds(startedAt, createdAt)) + " " +
               std::to_string(Microseconds(startedAt, shownAt));
    }

    std::string Centre(int id) const {
        RECT rect{};
        const HWND control = ::GetDlgItem(m_dialog, id);
        if (!control || !::GetWindowRect(control, &rect)) {
            return "error no control " + std::to_string(id);
        }
        return "centre " + std::to_string((rect.left + rect.right) / 2) + " " +
               std::to_string((rect.top + rect.bottom) / 2);
    }

    // Polls the button through the message queue of its own thread, so a state it reports
    // is one that thread has reached.
    std::string WaitForButton(int id, DWORD timeoutMs, UINT message, LRESULT mask,
                              const char* answer) const {
        const HWND control = ::GetDlgItem(m_dialog, id);
        if (!control) {
            return "error no control " + std::to_string(id);
        }
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
        while (::GetTickCount64() < deadline) {
            DWORD_PTR state = 0;
            if (::SendMessageTimeoutW(control, message, 0, 0, SMTO_ABORTIFHUNG, TimeoutMs,
                                      &state) &&
                (static_cast<LRESULT>(state) & mask) == mask) {
                return answer;
            }
            ::Sleep(1);
        }
        return "timeout";
    }

    std::string Memory() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!::K32GetProcessMemoryInfo(m_process.get(), &counters, sizeof counters)) {
            return "error K32GetProcessMemoryInfo " + std::to_string(::GetLastError());
        }
        return "memory " + std::to_string(counters.PeakWorkingSetSize) + " " +
               std::to_string(counters.WorkingSetSize);
    }

    std::string Wait() {
        if (::WaitForSingleObject(m_process.get(), TimeoutMs) != WAIT_OBJECT_0) {
            return "error still running";
        }
        DWORD code = 0;
        ::GetExitCodeProcess(m_process.get(), &code);
        Reset();
        return "gone " + std::to_string(code);
    }

private:
    void Reset() {
        m_process.reset();
        m_processId = 0;
        m_dialog = nullptr;
        createdDialog = nullptr;
        createdAt = 0;
    }

    UniqueHandle m_process;
    DWORD m_processId = 0;
    HWND m_dialog = nullptr;
};

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return wide;
}

} // namespace

int wmain() {
    Watcher watcher;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        std::string answer;
        if (command == "start") {
            answer = watcher.Start(Widen(argument));
        } else if (command == "centre") {
            answer = watcher.Centre(std::stoi(argument));
        } else if (command == "pushed" || command == "checked") {
            std::size_t idEnd = 0;
            const int id = std::stoi(argument, &idEnd);
            const auto timeoutMs = static_cast<DWORD>(std::stoul(argument.substr(idEnd)));
            answer =
                command == "pushed"
                    ? watcher.WaitForButton(id, timeoutMs, BM_GETSTATE, BST_PUSHED, "pushed")
                    : watcher.WaitForButton(id, timeoutMs, BM_GETCHECK, BST_CHECKED, "checked");
        } else if (command == "memory") {
            answer = watcher.Memory();
        } else if (command == "wait") {
            answer = watcher.Wait();
        } else if (command == "quit") {
            break;
        } else {
            answer = "error unknown command " + command;
        }
        std::printf("%s\n", answer.c_str());
        std::fflush(stdout);
    }
    return 0;
}
