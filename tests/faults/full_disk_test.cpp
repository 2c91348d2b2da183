#include "settings/settings_file.h"
#include "tests/faults/settings_view.h"
#include "tests/unit/drive_c.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The launcher fills drive C (a tiny file system) to the last byte with this file; giving
// back some of it makes exactly that much room.
constexpr const wchar_t* fillerPath = L"c:\\filler";
constexpr ULONGLONG page = 4096; // the file system's allocation unit

ULONGLONG FreeBytes() {
    ULARGE_INTEGER freeBytes{};
    EXPECT_TRUE(::GetDiskFreeSpaceExW(L"c:\\", &freeBytes, nullptr, nullptr));
    return freeBytes.QuadPart;
}

void GiveBack(ULONGLONG pages) {
    if (pages == 0) {
        return;
    }
    const UniqueHandle filler = AdoptFileHandle(
        ::CreateFileW(fillerPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(filler) << "no filler on drive C, error " << ::GetLastError();
    LARGE_INTEGER size{};
    ASSERT_TRUE(::GetFileSizeEx(filler.get(), &size));
    ASSERT_GE(static_cast<ULONGLONG>(size.QuadPart), pages * page);
    LARGE_INTEGER end{};
    end.QuadPart = size.QuadPart - static_cast<LONGLONG>(pages * page);
    ASSERT_TRUE(::SetFilePointerEx(filler.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(filler.get()));
}

enum class Place { sectionLast, sectionFirst };

// A settings file in the platform writer's own form, 4090 bytes long, that one more key
// takes past its first allocation unit: the tool's section with two keys, and a section of
// another program's own settings.
std::vector<std::string> FileLines(Place place) {
    const std::vector<std::string> ours = {"[DirectX Errors]", "pagesync=1", "highspeed=0"};
    std::vector<std::string> theirs = {"[Video]"};
    std::size_t size = 0;
    for (const auto& line : ours) {
        size += line.size() + 2;
    }
    size += theirs.front().size() + 2;
    for (int i = 0; size + 30 < 4090; ++i) {
        theirs.push_back("mode" + std::to_string(i) + "=" + std::string(20, 'v'));
        size += theirs.back().size() + 2;
    }
    theirs.push_back("last=" + std::string(4090 - size - 7, 'w'));
    std::vector<std::string> lines = place == Place::sectionLast ? theirs : ours;
    const auto& second = place == Place::sectionLast ? ours : theirs;
    lines.insert(lines.end(), second.begin(), second.end());
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) {
        bytes.append(line).append("\r\n");
    }
    return bytes;
}

struct FullStore {
    const char* name;
    Place place;
    ULONGLONG room; // allocation units left free once the file is there
    LPCWSTR key;
    LPCWSTR value;
    const char* line; // the line the store leaves in the section
};

void PrintTo(const FullStore& store, std::ostream* out) { *out << store.name; }

// Where two long files part, and how each goes on from there.
std::string Difference(const std::string& actual, const std::string& expected) {
    const auto parted =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const auto at = static_cast<std::size_t>(parted.first - actual.begin());
    const auto from = at < 40 ? 0 : at - 40;
    return "at byte " + std::to_string(at) + " of " + std::to_string(actual.size()) + " (" +
           std::to_string(expected.size()) + " expected): on disk " +
           ::testing::PrintToString(actual.substr(from, 80)) + ", expected " +
           ::testing::PrintToString(expected.substr(from, 80));
}

} // namespace

// Drive C is full while a store rewrites the file. Either the store reaches the disk whole
// (the new value and every other line are on disk), or it raises the disk-full error and
// the file is byte for byte what it was. A store that returns while the disk holds less is
// a click the player believes saved, and may cost values stored before.
class StoreSettingFullDisk : public DriveCTestWithParam<FullStore> {};

TEST_P(StoreSettingFullDisk, StoresWholeOrRaisesDiskFullKeepingTheFile) {
    const FullStore& store = GetParam();
    ASSERT_EQ(FreeBytes(), 0u) << "drive C is not full";
    std::vector<std::string> lines = FileLines(store.place);
    const std::string before = Joined(lines);
    ASSERT_EQ(before.size(), 4090u);
    GiveBack(1);
    WriteBytes(before);
    ASSERT_EQ(FreeBytes(), 0u);
    GiveBack(store.room);

    const std::wstring error = FileErrorOf([&] { StoreSetting(store.key, store.value); });

    const std::string after = ReadBytes().value_or("(no file)");
    std::wcout << L"store: " << error << L"; the file holds " << after.size() << L" bytes\n";
    if (error == L"(no file error)") {
        // Whole: the new line in the section, after its last key; nothing else changed.
        const auto section = std::find(lines.begin(), lines.end(), "[DirectX Errors]");
        auto next = std::find_if(section + 1, lines.end(),
                                 [](const std::string& line) { return line.front() == '['; });
        const std::string key(store.line, std::string(store.line).find('='));
        const auto existing = std::find_if(section + 1, next, [&](const std::string& line) {
            return line.starts_with(key + "=");
        });
        if (existing != next) {
            *existing = store.line;
        } else {
            lines.insert(next, store.line);
        }
        const std::string whole = Joined(lines);
        EXPECT_TRUE(after == whole)
            << "the store returned, but the file differs " << Difference(after, whole);
    } else {
        EXPECT_EQ(error, L"Disk full while accessing c:\\dxerror.ini.");
        EXPECT_TRUE(after == before)
            << "the failed store changed the file " << Difference(after, before);
    }
    // Nothing of the store is left beside the file.
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(L"c:\\dxerror*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, L"dxerror.ini");
    EXPECT_FALSE(::FindNextFileW(search, &found))
        << "left beside it: " << ::testing::PrintToString(std::wstring(found.cFileName));
    ::FindClose(search);
}

INSTANTIATE_TEST_SUITE_P(
    , StoreSettingFullDisk,
    ::testing::Values(
        // The new key ends the file and is cut off: its value is lost.
        FullStore{"NewKeyAtTheEnd", Place::sectionLast, 0, L"language", L"1", "language=1"},
        // The new key pushes the other program's last line past the end: that is lost.
        FullStore{"NewKeyBeforeOtherSettings", Place::sectionFirst, 0, L"language", L"1",
                  "language=1"},
        // Room for one more allocation unit: the file may grow once.
        FullStore{"NewKeyWithRoomToGrow", Place::sectionLast, 1, L"language", L"1", "language=1"},
        // A value changed in place needs no more room than the file has.
        FullStore{"ChangedValue", Place::sectionLast, 0, L"highspeed", L"1", "highspeed=1"}),
    [](const auto& info) { return std::string(info.param.name); });
