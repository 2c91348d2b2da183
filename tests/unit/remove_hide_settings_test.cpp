#include "settings/settings_file.h"
#include "tests/unit/drive_c.h"

class RemoveSettingsFileTest : public DriveCTestWithParam<DWORD> {};

// After OK the file is hidden; the next start's cancel deletes it all the same.
TEST_P(RemoveSettingsFileTest, DeletesThePresentFile) {
    WriteBytes(defaultContent);
    SetAttributes(GetParam());

    RemoveSettingsFile();

    EXPECT_EQ(AttributesOf(), INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(, RemoveSettingsFileTest,
                         ::testing::Values(archive, archive | FILE_ATTRIBUTE_HIDDEN),
                         [](const auto& info) { return info.index == 0 ? "Visible" : "Hidden"; });

using RemoveMissingSettingsFile = DriveCTest;

// Another program deleted it first: that is what removing wanted.
TEST_F(RemoveMissingSettingsFile, CountsAsRemoved) {
    EXPECT_EQ(FileErrorOf(RemoveSettingsFile), L"(no file error)");
    EXPECT_EQ(AttributesOf(), INVALID_FILE_ATTRIBUTES);
}

namespace {

void ExpectReadOnlyFileRefusesRemoval() {
    WriteBytes(defaultContent);
    SetAttributes(archive | FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(FileErrorOf(RemoveSettingsFile), L"Access to an unnamed file was denied.");

    EXPECT_EQ(ReadBytes(), std::string(defaultContent));
    EXPECT_EQ(AttributesOf(), archive | FILE_ATTRIBUTE_READONLY);
}

} // namespace

// Unlike writes, Wine refuses deleting a read-only file to root as well.
using RemoveReadOnlySettingsFile = DriveCTest;
TEST_F(RemoveReadOnlySettingsFile, RaisesAccessDeniedAndKeepsTheFile) {
    ExpectReadOnlyFileRefusesRemoval();
}

using RemoveReadOnlySettingsFileAsUser = DriveCTest;
TEST_F(RemoveReadOnlySettingsFileAsUser, RaisesAccessDeniedAndKeepsTheFile) {
    ExpectReadOnlyFileRefusesRemoval();
}

struct Hide {
    const char* name;
    DWORD before;
    DWORD after;
};

class HideSettingsFileTest : public DriveCTestWithParam<Hide> {};

// Only the hidden bit is added: the other bits, the content and all three times (to the
// fraction of a second) stay as they were.
TEST_P(HideSettingsFileTest, AddsOnlyTheHiddenBit) {
    const Hide& hide = GetParam();
    WriteBytes(defaultContent);
    const FileTimes times = SetTimesWithFractions();
    SetAttributes(hide.before);

    HideSettingsFile();

    EXPECT_EQ(AttributesOf(), hide.after);
    ExpectTimes(times);
    EXPECT_EQ(ReadBytes(), std::string(defaultContent));
}

INSTANTIATE_TEST_SUITE_P(
    , HideSettingsFileTest,
    ::testing::Values(Hide{"Archive", archive, archive | FILE_ATTRIBUTE_HIDDEN},
                      Hide{"AlreadyHidden", archive | FILE_ATTRIBUTE_HIDDEN,
                           archive | FILE_ATTRIBUTE_HIDDEN},
                      Hide{"System", archive | FILE_ATTRIBUTE_SYSTEM,
                           archive | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
                      // As root: the unprivileged user cannot store the hidden bit on a
                      // file it may not write, although Wine reports success.
                      Hide{"ReadOnly", archive | FILE_ATTRIBUTE_READONLY,
                           archive | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN}),
    [](const auto& info) { return std::string(info.param.name); });

using HideMissingSettingsFile = DriveCTest;

TEST_F(HideMissingSettingsFile, RaisesNotFoundAndCreatesNoFile) {
    EXPECT_EQ(FileErrorOf(HideSettingsFile), L"an unnamed file was not found.");
    EXPECT_EQ(AttributesOf(), INVALID_FILE_ATTRIBUTES);
}
