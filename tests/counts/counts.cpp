// Prints, as one line of JSON, what a process of the tool holds:
//   counts          the process that shows the configuration dialog, or else the one
//                       running BRIVELCONFIG.EXE
//   counts PID      that process
// Fields: handles (GetProcessHandleCount), systemHandles (the process's entries in the
// system's handle list, which Wine fills although it answers 0 to the first), windows (its
// top-level and child windows), gdiObjects and userObjects (GetGuiResources, each with the
// last error when the call answers 0), and from the process memory record workingSet,
// peakWorkingSet, pagefileUsage and privateUsage, all in bytes. An unreadable handle list is
// null, with systemHandlesError beside it; a process that cannot be opened or asked gives
// only pid and error, and the exit status 1.
#include "tests/probe/json.h"
#include "tests/probe/owners.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* DialogClass = L"#32770";
constexpr const wchar_t* DialogCaption = L"BrivelConfig";
constexpr const wchar_t* ExecutableName = L"BRIVELCONFIG.EXE";

void Print(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                &written, nullptr);
}

DWORD ProcessOfDialog() {
    const HWND dialog = ::FindWindowW(DialogClass, DialogCaption);
    DWORD process = 0;
    if (dialog) {
        ::GetWindowThreadProcessId(dialog, &process);
    }
    return process;
}

// Before the dialog exists, or when another window took its caption, the name decides.
DWORD ProcessOfExecutable() {
    const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, ExecutableName) == 0) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

constexpr NTSTATUS StatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

// The list covers every process; it grows between calls, so ask until it fits.
std::optional<DWORD> SystemHandlesOf(DWORD processId, DWORD& error) {
    std::vector<ULONG_PTR> buffer(4096);
    for (;;) {
        const ULONG size = static_cast<ULONG>(buffer.size() * sizeof buffer[0]);
        ULONG needed = 0;
        const NTSTATUS status =
            ::NtQuerySystemInformation(SystemHandleInformation, buffer.data(), size, &needed);
        if (status == StatusInfoLengthMismatch) {
            buffer.resize(2 * std::max<std::size_t>(buffer.size(), needed / sizeof buffer[0]));
            continue;
        }
        if (status < 0) {
            error = ::RtlNtStatusToDosError(status);
            return std::nullopt;
        }
        const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
        DWORD count = 0;
        for (ULONG i = 0; i < list->Count; ++i) {
            count += list->Handle[i].OwnerPid == processId ? 1 : 0;
        }
        return count;
    }
}

struct WindowCount {
    DWORD process;
    DWORD count;
};

// A named callback: a lambda has no stdcall conversion on 32-bit targets.
BOOL CALLBACK CountChild(HWND, LPARAM windows) {
    ++reinterpret_cast<WindowCount*>(windows)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM windows) {
    auto* counted = reinterpret_cast<WindowCount*>(windows);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == counted->process) {
        ++counted->count;
        ::EnumChildWindows(window, &CountChild, windows);
    }
    return TRUE;
}

DWORD WindowsOf(DWORD processId) {
    WindowCount windows{processId, 0};
    ::EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

// GetGuiResources answers 0 both for "none" and for failure; the error tells them apart.
void GuiResources(JsonWriter& json, HANDLE process, DWORD kind, const char* name) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD count = ::GetGuiResources(process, kind);
    const DWORD error = ::GetLastError();
    json.Key(name).BeginObject();
    json.Field("count", count);
    json.Field("error", count == 0 ? error : ERROR_SUCCESS);
    json.EndObject();
}

int Report(DWORD processId) {
    JsonWriter json;
    json.BeginObject();
    json.Field("pid", processId);
    const UniqueHandle process(
        processId ? ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId)
                  : nullptr);
    if (!process) {
        json.Field("error", processId ? ::GetLastError() : ERROR_NOT_FOUND);
        Print(json.EndObject().Text());
        return 1;
    }
    DWORD handles = 0;
    if (!::GetProcessHandleCount(process.get(), &handles)) {
        json.Field("error", ::GetLastError());
        Print(json.EndObject().Text());
        return 1;
    }
    json.Field("handles", handles);
    DWORD error = ERROR_SUCCESS;
    if (const std::optional<DWORD> systemHandles = SystemHandlesOf(processId, error)) {
        json.Field("systemHandles", *systemHandles);
    } else {
        json.Key("systemHandles").Null();
        json.Field("systemHandlesError", error);
    }
    json.Field("windows", WindowsOf(processId));
    GuiResources(json, process.get(), GR_GDIOBJECTS, "gdiObjects");
    GuiResources(json, process.get(), GR_USEROBJECTS, "userObjects");

    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!::K32GetProcessMemoryInfo(
            process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        json.Field("error", ::GetLastError());
        Print(json.EndObject().Text());
        return 1;
    }
    json.Field("workingSet", memory.WorkingSetSize);
    json.Field("peakWorkingSet", memory.PeakWorkingSetSize);
    json.Field("pagefileUsage", memory.PagefileUsage);
    json.Field("privateUsage", memory.PrivateUsage);
    Print(json.EndObject().Text());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // A crash must end the process, not wait for a debugger.
    ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    if (argc == 1) {
        const DWORD process = ProcessOfDialog();
        return Report(process ? process : ProcessOfExecutable());
    }
    if (argc == 2) {
        wchar_t* end = nullptr;
        const unsigned long process = std::wcstoul(argv[1], &end, 10);
        if (*argv[1] != L'\0' && *end == L'\0' && process != 0) {
            return Report(static_cast<DWORD>(process));
        }
    }
    Print("usage: counts [PID]");
    return 2;
}
