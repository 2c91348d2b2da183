#include "settings/settings_file.h"
#include "tests/unit/drive_c.h"

// Another program (a game) holds the file open and lets nobody else in: every operation
// that needs the file reports the sharing violation and leaves the file as it is.
using SettingsFileHeldOpen = DriveCTestWithParam<Holder>;

constexpr std::string_view heldContent = "[DirectX Errors]\r\npagesync=1\r\nlanguage=1\r\n";

TEST_P(SettingsFileHeldOpen, EnsureRaisesTheSharingViolation) {
    WriteBytes(heldContent);
    {
        const FileHolder holder(GetParam());
        EXPECT_EQ(FileErrorOf(EnsureSettingsFile),
                  L"A sharing violation occurred while accessing c:\\dxerror.ini.");
    }
    EXPECT_EQ(ReadBytes(), std::string(heldContent));
}

TEST_P(SettingsFileHeldOpen, StoreRaisesTheSharingViolation) {
    WriteBytes(heldContent);
    {
        const FileHolder holder(GetParam());
        EXPECT_EQ(FileErrorOf([] { StoreSetting(L"highspeed", L"0"); }),
                  L"A sharing violation occurred while accessing c:\\dxerror.ini.");
    }
    EXPECT_EQ(ReadBytes(), std::string(heldContent));
}

TEST_P(SettingsFileHeldOpen, RemoveRaisesTheSharingViolation) {
    WriteBytes(heldContent);
    {
        const FileHolder holder(GetParam());
        EXPECT_EQ(FileErrorOf(RemoveSettingsFile),
                  L"A sharing violation occurred while accessing an unnamed file.");
    }
    EXPECT_EQ(ReadBytes(), std::string(heldContent));
}

INSTANTIATE_TEST_SUITE_P(, SettingsFileHeldOpen,
                         ::testing::Values(Holder::anotherHandle, Holder::anotherProcess),
                         HolderName);
