#include "settings/settings_file.h"
#include "tests/unit/drive_c.h"

using EnsureSettingsFileTest = DriveCTest;

TEST_F(EnsureSettingsFileTest, CreatesExactlyTheDefaultContentWhenMissing) {
    EnsureSettingsFile();

    EXPECT_EQ(ReadBytes(), std::string(defaultContent));
    const Settings settings = ReadSettings();
    EXPECT_EQ(settings.pagesync, 0u);
    EXPECT_EQ(settings.highspeed, 1u);
    EXPECT_EQ(settings.language, 0u);
}

struct ExistingFile {
    const char* name;
    std::string_view content;
    DWORD attributes;
};

class EnsureSettingsFileExisting : public DriveCTestWithParam<ExistingFile> {};

// An existing file holds the player's choices (and possibly other programs' lines): it is
// not rewritten, not even with equal bytes, which its times would show.
TEST_P(EnsureSettingsFileExisting, LeavesItByteForByte) {
    const ExistingFile& file = GetParam();
    WriteBytes(file.content);
    const FileTimes times = SetTimesWithFractions();
    SetAttributes(file.attributes);

    EnsureSettingsFile();

    ExpectTimes(times);
    EXPECT_EQ(AttributesOf(), file.attributes);
    EXPECT_EQ(ReadBytes(), std::string(file.content));
}

INSTANTIATE_TEST_SUITE_P(
    , EnsureSettingsFileExisting,
    ::testing::Values(
        ExistingFile{"Empty", "", archive},
        ExistingFile{"Hidden", defaultContent, archive | FILE_ATTRIBUTE_HIDDEN},
        ExistingFile{"ExtraSectionsAndComments",
                     "; written by hand\n[Video]\nmode = 640x480\n\n[DirectX Errors]\n"
                     "; 1 = game flips\npagesync=1\nlanguage=1\nhighspeed=0\nvolume=7\n[Sound]\nx",
                     archive}),
    [](const auto& info) { return std::string(info.param.name); });

// Wine opens a directory for reading, without backup semantics, with ERROR_ACCESS_DENIED.
TEST_F(EnsureSettingsFileTest, DirectoryInPlaceRaisesAccessDeniedAndStays) {
    ASSERT_TRUE(::CreateDirectoryW(settingsPath, nullptr));

    EXPECT_EQ(FileErrorOf(EnsureSettingsFile), L"Access to c:\\dxerror.ini was denied.");

    EXPECT_EQ(AttributesOf(), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

using EnsureSettingsFileAsUser = DriveCTest;

// Root reads any file, so only the unprivileged user meets a file it may not read.
TEST_F(EnsureSettingsFileAsUser, UnreadableFileRaisesAccessDeniedAndStays) {
    WriteBytes(defaultContent);
    const FileTimes times = SetTimesWithFractions();
    MakeUnreadable();

    EXPECT_EQ(FileErrorOf(EnsureSettingsFile), L"Access to c:\\dxerror.ini was denied.");

    // Its content cannot be read any more; size and time show it was neither cut nor
    // rewritten.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(settingsPath, GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, defaultContent.size());
    EXPECT_EQ(data.ftLastWriteTime, times.lastWrite);
}

using EnsureSettingsFileFullDisk = DriveCTest;

// The launcher gives this suite a drive C filled to the last byte: the file can be created,
// but none of its bytes can be written.
TEST_F(EnsureSettingsFileFullDisk, RaisesDiskFullAndLeavesNoFile) {
    ULARGE_INTEGER freeBytes{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"c:\\", &freeBytes, nullptr, nullptr));
    ASSERT_EQ(freeBytes.QuadPart, 0u) << "drive C is not full";

    EXPECT_EQ(FileErrorOf(EnsureSettingsFile), L"Disk full while accessing c:\\dxerror.ini.");

    // A cut-off file would pass for a complete one on the next start.
    EXPECT_EQ(AttributesOf(), INVALID_FILE_ATTRIBUTES);
}

using EnsureSettingsFileLockedRootAsUser = DriveCTest;

// The launcher gives this suite a drive C whose root the user may read but not write.
TEST_F(EnsureSettingsFileLockedRootAsUser, CreatingOpenDeniedRaisesAccessDenied) {
    EXPECT_EQ(FileErrorOf(EnsureSettingsFile), L"Access to c:\\dxerror.ini was denied.");

    EXPECT_EQ(AttributesOf(), INVALID_FILE_ATTRIBUTES);
}

struct StoredValues {
    const char* name;
    std::optional<std::string_view> content; // none: no file at all
    Settings expected;
};

class ReadSettingsTest : public DriveCTestWithParam<StoredValues> {};

// Values come back as stored (any non-zero one means on); a missing file, section or key
// gives the key's default: pagesync 0, highspeed 1, language 1.
TEST_P(ReadSettingsTest, GivesStoredValuesOrDefaults) {
    const StoredValues& values = GetParam();
    if (values.content) {
        WriteBytes(*values.content);
    }

    const Settings settings = ReadSettings();

    EXPECT_EQ(settings.pagesync, values.expected.pagesync);
    EXPECT_EQ(settings.highspeed, values.expected.highspeed);
    EXPECT_EQ(settings.language, values.expected.language);
}

INSTANTIATE_TEST_SUITE_P(
    , ReadSettingsTest,
    ::testing::Values(
        StoredValues{"AllZero",
                     "[DirectX Errors]\r\npagesync=0\r\nhighspeed=0\r\nlanguage=0\r\n",
                     {0, 0, 0}},
        StoredValues{
            "AllOne", "[DirectX Errors]\r\npagesync=1\r\nhighspeed=1\r\nlanguage=1\r\n", {1, 1, 1}},
        StoredValues{"TwoAndSeventeen",
                     "[DirectX Errors]\r\npagesync=2\r\nhighspeed=17\r\nlanguage=2\r\n",
                     {2, 17, 2}},
        StoredValues{"SeventeenAndTwo",
                     "[DirectX Errors]\r\npagesync=17\r\nhighspeed=2\r\nlanguage=17\r\n",
                     {17, 2, 17}},
        StoredValues{"DefaultContent", defaultContent, {0, 1, 0}},
        StoredValues{
            "OneKeyMissing", "[DirectX Errors]\r\npagesync=1\r\nhighspeed=0\r\n", {1, 0, 1}},
        StoredValues{"AllKeysMissing", "[DirectX Errors]\r\n", {0, 1, 1}},
        StoredValues{"KeysInAnotherSection",
                     "[Other]\r\npagesync=1\r\nhighspeed=0\r\nlanguage=0\r\n",
                     {0, 1, 1}},
        StoredValues{"EmptyFile", "", {0, 1, 1}}, StoredValues{"NoFile", std::nullopt, {0, 1, 1}}),
    [](const auto& info) { return std::string(info.param.name); });
