#include "settings/settings_file.h"
#include "tests/faults/child_process.h"
#include "tests/faults/settings_view.h"
#include "tests/faults/store_report.h"
#include "tests/unit/drive_c.h"

#include <iostream>
#include <map>
#include <sstream>

namespace {

constexpr int burst = 3000;

struct ReaderCounts {
    std::map<std::string, long> counts;
    std::string codes;
    std::string sample;
};

ReaderCounts ParseReport(const std::string& line, const std::optional<std::string>& sample) {
    ReaderCounts report;
    std::istringstream words(line);
    std::string name, value;
    while (words >> name >> value) {
        if (name == "codes") {
            report.codes = value;
        } else {
            report.counts[name] = std::stol(value);
        }
    }
    if (sample) {
        report.sample = *sample;
    }
    return report;
}

struct Start {
    const char* name;
    std::string_view content;
    // Whether a game's own open of the file must always succeed. A store that changes the
    // file's length puts a new file in its place; in the instant after that rename the
    // platform still holds the new file open for deletion, and an open that does not
    // share deletion (a plain fopen) is refused once.
    bool everyOpenSucceeds;
};

void PrintTo(const Start& start, std::ostream* out) { *out << start.name; }

} // namespace

// A game reads the file in a loop while the tool stores thousands of clicks, two processes
// on two cores. Whenever the game looks, it must find the whole file with all three keys,
// and every store must reach the file without an error that only the game's reading caused.
class SettingsFileReadWhileStoring : public DriveCTestWithParam<Start> {};

TEST_P(SettingsFileReadWhileStoring, GameAlwaysSeesTheWholeFileAndEveryStoreLands) {
    WriteBytes(GetParam().content);

    ChildProcess reader(L"game_reader.exe");
    ASSERT_TRUE(reader.Started());
    ASSERT_EQ(reader.ReadLine(), "ready");

    const ULONGLONG begin = ::GetTickCount64();
    ChildProcess writer(L"store_burst.exe", std::to_wstring(burst));
    ASSERT_TRUE(writer.Started());
    StoreReport stores;
    while (const auto line = writer.ReadLine()) {
        stores.Take(*line);
    }
    ASSERT_EQ(writer.Wait(), 0u);
    const ULONGLONG elapsed = ::GetTickCount64() - begin;
    reader.CloseInput();
    const auto line = reader.ReadLine();
    ASSERT_TRUE(line) << "the reader gave no report";
    const ReaderCounts report = ParseReport(*line, reader.ReadLine());
    ASSERT_EQ(reader.Wait(), 0u);

    std::string failureList;
    for (const auto& [code, n] : stores.failures) {
        failureList.append(" ")
            .append(std::to_string(n))
            .append(" with code ")
            .append(std::to_string(code));
    }
    std::cout << "stores " << stores.stored << " of " << burst << " in " << elapsed << " ms ("
              << static_cast<double>(elapsed) * 1000.0 / burst
              << " us each), failed:" << (failureList.empty() ? " none" : failureList)
              << "\nreader: " << *line << "\n"
              << report.sample << "\n";

    // The game really read while the stores ran.
    EXPECT_GE(report.counts.at("rounds"), 500);
    EXPECT_EQ(report.counts.at("missing_key"), 0) << "profile reads that found a key missing";
    EXPECT_EQ(report.counts.at("empty"), 0) << "reads of an empty file";
    EXPECT_EQ(report.counts.at("cut"), 0) << "reads of a cut-off file";
    if (GetParam().everyOpenSucceeds) {
        EXPECT_EQ(report.counts.at("open_failed"), 0) << "opens refused, codes " << report.codes;
    }
    EXPECT_EQ(stores.stored, burst) << "stores that raised a file error:" << failureList;

    const SettingsView last = ViewOf(ReadAsGame().value_or(""));
    EXPECT_EQ(last.shape, Shape::complete);
    for (int k = 0; k < keyCount; ++k) {
        EXPECT_EQ(last.values[k], stores.expected[k] ? "1" : "0") << "key " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    , SettingsFileReadWhileStoring,
    ::testing::Values(
        // The file as the platform's writer keeps it: every click changes one value.
        Start{"ValuesChange", "[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\nlanguage=0\r\n",
              true},
        // A first start's file: the first store also drops its empty line.
        Start{"FirstStartFile", defaultContent, false}),
    [](const auto& info) { return std::string(info.param.name); });
