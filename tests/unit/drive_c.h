#pragma once

// Test support: the settings file on Wine's drive C, prepared and inspected through the
// same Win32 calls a second program (a game, Explorer) would use.

#include "framework/exceptions.h"
#include "framework/handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// The 57 bytes a first start writes, spelled out here rather than taken from the code
// under test.
inline constexpr std::string_view defaultContent =
    "[DirectX Errors]\r\n\r\npagesync=0\r\nhighspeed=1\r\nlanguage=0\r\n";
static_assert(defaultContent.size() == 57);

inline constexpr const wchar_t* settingsPath = L"c:\\dxerror.ini";

// Wine reports every plain file as archived.
inline constexpr DWORD archive = FILE_ATTRIBUTE_ARCHIVE;

// The whole content, or nothing when the file cannot be opened for reading.
std::optional<std::string> ReadBytes(LPCWSTR path = settingsPath);

// Replaces the content (creating the file); the attributes become archive only.
void WriteBytes(std::string_view bytes, LPCWSTR path = settingsPath);

// GetFileAttributesW, INVALID_FILE_ATTRIBUTES for a missing file.
DWORD AttributesOf(LPCWSTR path = settingsPath);
void SetAttributes(DWORD attributes, LPCWSTR path = settingsPath);

struct FileTimes {
    FILETIME creation;
    FILETIME lastAccess;
    FILETIME lastWrite;
};
bool operator==(const FILETIME& a, const FILETIME& b);
std::ostream& operator<<(std::ostream& out, const FILETIME& time);

FileTimes TimesOf(LPCWSTR path = settingsPath);
// Gives the file distinct times from 2021 with fractions of a second (which would show any
// rounding) and returns them as the file system now reports them. Wine keeps no creation
// time of its own and reports the modification time in its place.
FileTimes SetTimesWithFractions(LPCWSTR path = settingsPath);
// All three times exactly as given. Take the times before reading the content: reading a
// file last read long ago moves its access time.
void ExpectTimes(const FileTimes& expected, LPCWSTR path = settingsPath);

// Grants the current user nothing on the file (Wine turns that into mode 000).
void MakeUnreadable(LPCWSTR path = settingsPath);

// Clears what an earlier test in the same process may have left behind.
void RemoveLeftovers();

// The text of the file error that operation raises, or a marker when it raises none.
template <typename Operation> std::wstring FileErrorOf(Operation operation) {
    try {
        operation();
    } catch (const CFileException& error) {
        return error.GetErrorMessage();
    }
    return L"(no file error)";
}

// Who keeps the file open, allowing nobody else in, while a holder lives.
enum class Holder { anotherHandle, anotherProcess };
std::string HolderName(const ::testing::TestParamInfo<Holder>& info);

class FileHolder {
public:
    explicit FileHolder(Holder holder, LPCWSTR path = settingsPath);
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    // Lets go of the file and, for another process, waits for that process to end.
    ~FileHolder();

private:
    void StartHolderProcess(LPCWSTR path);

    UniqueHandle m_file;
    UniqueHandle m_process;
    UniqueHandle m_release; // the holder's standard input; closing it lets go
};

// Every test starts from a drive C without the settings file.
class DriveCTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveLeftovers(); }
};

template <typename Param>
class DriveCTestWithParam : public DriveCTest, public ::testing::WithParamInterface<Param> {};
