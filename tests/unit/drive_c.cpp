#include "tests/unit/drive_c.h"

#include <array>
#include <ostream>

std::optional<std::string> ReadBytes(LPCWSTR path) {
    const UniqueHandle file =
        AdoptFileHandle(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    std::array<char, 4096> chunk{};
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) &&
           read > 0) {
        bytes.append(chunk.data(), read);
    }
    return bytes;
}

void WriteBytes(std::string_view bytes, LPCWSTR path) {
    const UniqueHandle file = AdoptFileHandle(::CreateFileW(
        path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot create the file, error " << ::GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

DWORD AttributesOf(LPCWSTR path) { return ::GetFileAttributesW(path); }

void SetAttributes(DWORD attributes, LPCWSTR path) {
    ASSERT_TRUE(::SetFileAttributesW(path, attributes)) << "error " << ::GetLastError();
}

bool operator==(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

std::ostream& operator<<(std::ostream& out, const FILETIME& time) {
    const ULONGLONG ticks = (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return out << ticks << " (100 ns)";
}

FileTimes TimesOf(LPCWSTR path) {
    FileTimes times{};
    const UniqueHandle file = AdoptFileHandle(::CreateFileW(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(file) << "error " << ::GetLastError();
    if (file) {
        EXPECT_TRUE(
            ::GetFileTime(file.get(), &times.creation, &times.lastAccess, &times.lastWrite));
    }
    return times;
}

void ExpectTimes(const FileTimes& expected, LPCWSTR path) {
    const FileTimes actual = TimesOf(path);
    EXPECT_EQ(actual.creation, expected.creation) << "creation time";
    EXPECT_EQ(actual.lastAccess, expected.lastAccess) << "last access time";
    EXPECT_EQ(actual.lastWrite, expected.lastWrite) << "last write time";
}

namespace {

FILETIME In2021(WORD month, WORD second, ULONGLONG fraction) {
    const SYSTEMTIME utc{2021, month, 0, 4, 5, 6, second, 0};
    FILETIME time{};
    ::SystemTimeToFileTime(&utc, &time);
    const ULONGLONG ticks =
        ((ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime) + fraction;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

} // namespace

FileTimes SetTimesWithFractions(LPCWSTR path) {
    const FileTimes wanted{In2021(3, 7, 1'234'567), In2021(4, 8, 7'654'321),
                           In2021(5, 9, 5'000'001)};
    {
        const UniqueHandle file = AdoptFileHandle(
            ::CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(file) << "error " << ::GetLastError();
        EXPECT_TRUE(
            ::SetFileTime(file.get(), &wanted.creation, &wanted.lastAccess, &wanted.lastWrite));
    }
    const FileTimes times = TimesOf(path);
    EXPECT_EQ(times.lastAccess, wanted.lastAccess);
    EXPECT_EQ(times.lastWrite, wanted.lastWrite);
    return times;
}

void MakeUnreadable(LPCWSTR path) {
    std::array<BYTE, sizeof(ACL)> aclBuffer{};
    auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
    ASSERT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(aclBuffer.size()), ACL_REVISION));
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    ASSERT_TRUE(::SetFileSecurityW(path, DACL_SECURITY_INFORMATION, &descriptor))
        << "error " << ::GetLastError();
}

void RemoveLeftovers() {
    const DWORD attributes = AttributesOf();
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryW(settingsPath);
    } else {
        ::SetFileAttributesW(settingsPath, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(settingsPath);
    }
    ASSERT_EQ(AttributesOf(), INVALID_FILE_ATTRIBUTES) << "c:\\dxerror.ini is left from before";
}

std::string HolderName(const ::testing::TestParamInfo<Holder>& info) {
    return info.param == Holder::anotherHandle ? "AnotherHandle" : "AnotherProcess";
}

namespace {

// file_holder.exe is built next to the test program.
std::wstring HolderProgram() {
    std::array<wchar_t, MAX_PATH> self{};
    const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), MAX_PATH);
    std::wstring path(self.data(), length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"file_holder.exe";
}

} // namespace

FileHolder::FileHolder(Holder holder, LPCWSTR path) {
    if (holder == Holder::anotherHandle) {
        m_file = AdoptFileHandle(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(m_file) << "cannot hold the file open, error " << ::GetLastError();
    } else {
        StartHolderProcess(path);
    }
}

void FileHolder::StartHolderProcess(LPCWSTR path) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE handles[4]{};
    ASSERT_TRUE(::CreatePipe(&handles[0], &handles[1], &inheritable, 0));
    ASSERT_TRUE(::CreatePipe(&handles[2], &handles[3], &inheritable, 0));
    UniqueHandle childInput(handles[0]);
    m_release.reset(handles[1]);
    const UniqueHandle signal(handles[2]);
    UniqueHandle childOutput(handles[3]);
    ::SetHandleInformation(m_release.get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(signal.get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring program = HolderProgram();
    std::wstring commandLine = L"\"" + program + L"\" \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.get();
    startup.hStdOutput = childOutput.get();
    startup.hStdError = childOutput.get();
    PROCESS_INFORMATION process{};
    const BOOL started =
        ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    ASSERT_TRUE(started) << "cannot start file_holder.exe, error " << ::GetLastError();
    ::CloseHandle(process.hThread);
    m_process.reset(process.hProcess);
    // Our copies of the child's ends must go, or the read below would never see its end.
    childInput.reset();
    childOutput.reset();

    // The holder writes one line once the file is open; waiting for it (rather than for a
    // fixed time) starts the test exactly when the file is held.
    std::array<char, 64> line{};
    DWORD read = 0;
    ASSERT_TRUE(
        ::ReadFile(signal.get(), line.data(), static_cast<DWORD>(line.size() - 1), &read, nullptr))
        << "the holder ended without opening the file";
    ASSERT_STREQ(line.data(), "held\n");
}

FileHolder::~FileHolder() {
    m_file.reset();
    m_release.reset();
    if (m_process) {
        ::WaitForSingleObject(m_process.get(), 30'000);
    }
}
