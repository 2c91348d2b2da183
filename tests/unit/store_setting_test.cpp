#include "settings/settings_file.h"
#include "tests/unit/drive_c.h"

struct Store {
    const char* name;
    std::string_view before;
    DWORD attributes;
    LPCWSTR key;
    LPCWSTR value;
    std::string_view after;
};

class StoreSettingTest : public DriveCTestWithParam<Store> {};

// One profile write: the file ends as "after", byte for byte, with its attributes kept.
TEST_P(StoreSettingTest, WritesOnlyItsKey) {
    const Store& store = GetParam();
    WriteBytes(store.before);
    SetAttributes(store.attributes);

    StoreSetting(store.key, store.value);

    EXPECT_EQ(ReadBytes(), std::string(store.after));
    EXPECT_EQ(AttributesOf(), store.attributes);
}

// A file in the form Wine's profile writer itself produces (CR LF, no blank lines, no
// blanks around "=", a line end after the last line) keeps every other byte.
constexpr std::string_view tidyFile = "[Video]\r\nmode=640x480\r\n"
                                      "[DirectX Errors]\r\n; game flips when 1\r\n"
                                      "pagesync=0\r\nhighspeed=1\r\nlanguage=0\r\n"
                                      "[Sound]\r\nvolume=7\r\n";

INSTANTIATE_TEST_SUITE_P(
    , StoreSettingTest,
    ::testing::Values(
        Store{"Highspeed", tidyFile, archive, L"highspeed", L"0",
              "[Video]\r\nmode=640x480\r\n[DirectX Errors]\r\n; game flips when 1\r\n"
              "pagesync=0\r\nhighspeed=0\r\nlanguage=0\r\n[Sound]\r\nvolume=7\r\n"},
        Store{"Pagesync", tidyFile, archive, L"pagesync", L"1",
              "[Video]\r\nmode=640x480\r\n[DirectX Errors]\r\n; game flips when 1\r\n"
              "pagesync=1\r\nhighspeed=1\r\nlanguage=0\r\n[Sound]\r\nvolume=7\r\n"},
        Store{"Language", tidyFile, archive, L"language", L"1",
              "[Video]\r\nmode=640x480\r\n[DirectX Errors]\r\n; game flips when 1\r\n"
              "pagesync=0\r\nhighspeed=1\r\nlanguage=1\r\n[Sound]\r\nvolume=7\r\n"},
        Store{"MissingKeyEndsItsSection",
              "[DirectX Errors]\r\npagesync=0\r\n[Sound]\r\nvolume=7\r\n", archive, L"language",
              L"1", "[DirectX Errors]\r\npagesync=0\r\nlanguage=1\r\n[Sound]\r\nvolume=7\r\n"},
        Store{"MissingSectionEndsTheFile", "[Sound]\r\nvolume=7\r\n", archive, L"language", L"1",
              "[Sound]\r\nvolume=7\r\n[DirectX Errors]\r\nlanguage=1\r\n"},
        Store{"EmptyFile", "", archive, L"highspeed", L"0", "[DirectX Errors]\r\nhighspeed=0\r\n"},
        Store{"ExistingSpellingOfNamesStays", "[directx errors]\r\nHighSpeed=1\r\n", archive,
              L"highspeed", L"0", "[directx errors]\r\nHighSpeed=0\r\n"},
        Store{"HiddenFileStaysHidden", "[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\n",
              archive | FILE_ATTRIBUTE_HIDDEN, L"pagesync", L"1",
              "[DirectX Errors]\r\npagesync=1\r\nhighspeed=1\r\n"},
        // Wine's profile writer rewrites the whole file in its own form: the default
        // content loses its empty second line ...
        Store{"DefaultContentLosesItsEmptyLine", defaultContent, archive, L"highspeed", L"0",
              "[DirectX Errors]\r\npagesync=0\r\nhighspeed=0\r\nlanguage=0\r\n"},
        // ... and a hand-written file its empty lines, the blanks around "=" (in comments
        // too) and at line ends, and its bare line feeds; the last line gains a line end.
        Store{"HandWrittenFileTakesTheWritersForm",
              "; by hand\n[Video]\nmode = 640x480\n\n[DirectX Errors]\n; 1 = game flips\n"
              "  pagesync = 0  \nhighspeed=1\nbare\n\n[Sound]\nvolume=7",
              archive, L"language", L"1",
              "; by hand\r\n[Video]\r\nmode=640x480\r\n[DirectX Errors]\r\n; 1=game flips\r\n"
              "pagesync=0\r\nhighspeed=1\r\nbare\r\nlanguage=1\r\n[Sound]\r\nvolume=7\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

using StoreSettingAfterRemoval = DriveCTest;

// Another program deleted the file while the dialog was open: the store brings it back,
// with the section and that one key.
TEST_F(StoreSettingAfterRemoval, RecreatesTheFile) {
    EnsureSettingsFile();
    (void)ReadSettings(); // Wine's profile code now has the file in its cache
    ASSERT_TRUE(::DeleteFileW(settingsPath));

    StoreSetting(L"language", L"1");

    EXPECT_EQ(ReadBytes(), "[DirectX Errors]\r\nlanguage=1\r\n");
}

using StoreSettingAsUser = DriveCTest;

// Run as root, Wine writes into a read-only file; the unprivileged user meets the refusal
// that Windows gives everybody.
TEST_F(StoreSettingAsUser, ReadOnlyFileRaisesAccessDeniedAndKeepsTheFile) {
    WriteBytes(defaultContent);
    SetAttributes(archive | FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(FileErrorOf([] { StoreSetting(L"pagesync", L"1"); }),
              L"Access to c:\\dxerror.ini was denied.");

    EXPECT_EQ(ReadBytes(), std::string(defaultContent));
    EXPECT_EQ(AttributesOf(), archive | FILE_ATTRIBUTE_READONLY);
}
