#include "settings/settings_file.h"
#include "tests/faults/child_process.h"
#include "tests/faults/settings_view.h"
#include "tests/faults/store_report.h"
#include "tests/unit/drive_c.h"

#include <iostream>
#include <random>

namespace {

struct Start {
    const char* name;
    std::string_view content;
    unsigned seed;
};

void PrintTo(const Start& start, std::ostream* out) { *out << start.name; }

constexpr int moments = 100;

// Busy, not asleep: the kill should land anywhere inside a store, not on a tick.
void Spin(LONGLONG microseconds) {
    LARGE_INTEGER frequency{}, now{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    const LONGLONG until = now.QuadPart + microseconds * frequency.QuadPart / 1'000'000;
    while (now.QuadPart < until) {
        ::QueryPerformanceCounter(&now);
    }
}

bool NothingBesideTheFile() {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(L"c:\\dxerror*", &found);
    if (search == INVALID_HANDLE_VALUE) {
        return true;
    }
    int files = 1;
    while (::FindNextFileW(search, &found)) {
        ++files;
    }
    ::FindClose(search);
    return files == 1;
}

} // namespace

// The tool is killed (task manager, power cut) in the middle of a burst of stores, at a
// hundred random moments. Afterwards the file must be whole and hold every value whose
// store had returned before the kill; only the store in flight may be missing. Other
// programs' sections must survive too.
class StoreSettingKilled : public DriveCTestWithParam<Start> {};

TEST_P(StoreSettingKilled, FileIsWholeAndKeepsEveryFinishedStore) {
    const Start& start = GetParam();
    std::mt19937 random(start.seed);
    int empty = 0, cut = 0, gone = 0, lost = 0, leftovers = 0, beforeFirstStore = 0;
    std::string firstBroken;
    for (int moment = 0; moment < moments; ++moment) {
        RemoveLeftovers();
        WriteBytes(start.content);
        ChildProcess writer(L"store_burst.exe", L"100000");
        ASSERT_TRUE(writer.Started());
        ASSERT_EQ(writer.ReadLine(), "ready");
        int storesToWait = std::uniform_int_distribution<int>(0, 15)(random);
        StoreReport stores;
        while (storesToWait-- >= 0) {
            const auto line = writer.ReadLine();
            ASSERT_TRUE(line) << "the writer ended early";
            stores.Take(*line);
        }
        Spin(std::uniform_int_distribution<LONGLONG>(0, 3000)(random));
        writer.Kill();
        while (const auto line = writer.ReadLine()) {
            stores.Take(*line);
        }
        beforeFirstStore += stores.next == 0;
        // The store in flight, and any that raised, may or may not have reached the file.
        bool uncertain[keyCount]{};
        for (int k = 0; k < keyCount; ++k) {
            uncertain[k] = stores.failed[k];
        }
        uncertain[stores.next % keyCount] = true;

        const auto bytes = ReadAsGame();
        const SettingsView view = ViewOf(bytes.value_or(""));
        bool whole = bytes && view.shape == Shape::complete;
        // Other programs' sections, where the file has them.
        for (const std::string_view line : {"mode=640x480\r\n", "volume=7\r\n"}) {
            whole = whole && (start.content.find(line) == std::string_view::npos ||
                              bytes->find(line) != std::string::npos);
        }
        bool kept = whole;
        for (int k = 0; k < keyCount && whole; ++k) {
            kept = kept && (view.values[k] == (stores.expected[k] ? "1" : "0") || uncertain[k]);
        }
        gone += !bytes;
        empty += bytes && bytes->empty();
        cut += bytes && !bytes->empty() && !whole;
        lost += whole && !kept;
        leftovers += !NothingBesideTheFile();
        if ((!whole || !kept) && firstBroken.empty()) {
            firstBroken = bytes ? ::testing::PrintToString(*bytes) : "no file at all";
        }
    }
    const int broken = empty + cut + gone;
    std::cout << moments << " kills (" << beforeFirstStore << " before the first store): " << empty
              << " files empty, " << cut << " cut, " << gone << " gone; " << lost
              << " whole files that lost a finished store; " << leftovers
              << " left something beside the file\n"
              << (firstBroken.empty() ? "" : "first bad file: ") << firstBroken << "\n";
    EXPECT_EQ(broken, 0) << "files not whole after a kill, the first: " << firstBroken;
    EXPECT_EQ(lost, 0) << "files that lost a finished store, the first: " << firstBroken;

    // The next store cleans up whatever a killed one left.
    StoreSetting(L"pagesync", L"1");
    EXPECT_TRUE(NothingBesideTheFile());
    EXPECT_EQ(ViewOf(ReadAsGame().value_or("")).values[0], "1");
}

INSTANTIATE_TEST_SUITE_P(
    , StoreSettingKilled,
    ::testing::Values(
        Start{"DefaultContent",
              "[DirectX Errors]\r\n\r\npagesync=0\r\nhighspeed=1\r\nlanguage=0\r\n", 1},
        // More sections, more writes per store: a wider window to be killed in.
        Start{"AmongOtherSections",
              "[Video]\r\nmode=640x480\r\n[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\n"
              "language=0\r\n[Sound]\r\nvolume=7\r\n",
              2}),
    [](const auto& info) { return std::string(info.param.name); });
