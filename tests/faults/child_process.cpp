#include "tests/faults/child_process.h"

#include <array>

namespace {

// The helper programs are built next to the test program.
std::wstring NextToSelf(const std::wstring& program) {
    std::array<wchar_t, MAX_PATH> self{};
    const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), MAX_PATH);
    const std::wstring path(self.data(), length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + program;
}

} // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE ends[4]{};
    if (!::CreatePipe(&ends[0], &ends[1], &inheritable, 0)) {
        return;
    }
    const UniqueHandle childInput(ends[0]);
    m_input.reset(ends[1]);
    if (!::CreatePipe(&ends[2], &ends[3], &inheritable, 0)) {
        return;
    }
    m_output.reset(ends[2]);
    const UniqueHandle childOutput(ends[3]);
    ::SetHandleInformation(m_input.get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(m_output.get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring path = NextToSelf(program);
    std::wstring commandLine = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.get();
    startup.hStdOutput = childOutput.get();
    startup.hStdError = childOutput.get();
    PROCESS_INFORMATION process{};
    // Under Wine a start now and then fails at once (seen once in hundreds of starts right
    // after a kill); a second try starts it.
    const auto start = [&] {
        return ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    };
    if (start() || start()) {
        ::CloseHandle(process.hThread);
        m_process.reset(process.hProcess);
    }
    // Our copies of the child's ends close here, so its output ends when it does.
}

ChildProcess::~ChildProcess() {
    if (m_process && Wait(0) == STILL_ACTIVE) {
        Kill();
    }
}

std::optional<std::string> ChildProcess::ReadLine() {
    for (;;) {
        const auto end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return line;
        }
        std::array<char, 4096> chunk{};
        DWORD read = 0;
        if (!m_output ||
            !::ReadFile(m_output.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read,
                        nullptr) ||
            read == 0) {
            return std::nullopt;
        }
        m_pending.append(chunk.data(), read);
    }
}

void ChildProcess::Kill() {
    ::TerminateProcess(m_process.get(), 9);
    ::WaitForSingleObject(m_process.get(), 30'000);
}

DWORD ChildProcess::Wait(DWORD milliseconds) {
    ::WaitForSingleObject(m_process.get(), milliseconds);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}
