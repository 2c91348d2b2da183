#include "settings/settings_file.h"
#include "tests/unit/drive_c.h"

#include <array>

namespace {

struct Kept {
    const char* name;
    DWORD attributes;
    std::string_view before;
    LPCWSTR key;
    std::string_view after;
};

void PrintTo(const Kept& kept, std::ostream* out) { *out << kept.name; }

constexpr std::string_view twoKeys = "[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\n";

// ASCII text as UTF-16 (little end first) behind its byte-order mark.
constexpr std::string_view utf16Before("\xFF\xFE[\0D\0i\0r\0e\0c\0t\0X\0 \0E\0r\0r\0o\0r\0s\0]\0"
                                       "\r\0\n\0p\0a\0g\0e\0s\0y\0n\0c\0=\0\x30\0\r\0\n\0",
                                       62);
constexpr std::string_view utf16After("\xFF\xFE[\0D\0i\0r\0e\0c\0t\0X\0 \0E\0r\0r\0o\0r\0s\0]\0"
                                      "\r\0\n\0p\0a\0g\0e\0s\0y\0n\0c\0=\0\x31\0\r\0\n\0",
                                      62);

} // namespace

// However a store changes the file (one value, a key added, the whole file in the
// platform writer's form), it stays the settings file the games know: same name, same
// attributes, hidden and system included, and the form the platform's writer gives it,
// whatever the text's encoding or the order of its sections.
class StoreSettingKeepsTheFile : public DriveCTestWithParam<Kept> {};

TEST_P(StoreSettingKeepsTheFile, KeepsItsAttributesAndForm) {
    const Kept& kept = GetParam();
    WriteBytes(kept.before);
    SetAttributes(kept.attributes);

    StoreSetting(kept.key, L"1");

    EXPECT_EQ(ReadBytes(), std::string(kept.after));
    EXPECT_EQ(AttributesOf(), kept.attributes);
}

INSTANTIATE_TEST_SUITE_P(
    , StoreSettingKeepsTheFile,
    ::testing::Values(
        Kept{"ValueChangedHidden", archive | FILE_ATTRIBUTE_HIDDEN, twoKeys, L"pagesync",
             "[DirectX Errors]\r\npagesync=1\r\nhighspeed=1\r\n"},
        Kept{"KeyAddedHidden", archive | FILE_ATTRIBUTE_HIDDEN, twoKeys, L"language",
             "[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\nlanguage=1\r\n"},
        Kept{"KeyAddedHiddenSystem", archive | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
             twoKeys, L"language",
             "[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\nlanguage=1\r\n"},
        Kept{"FirstStartFileHidden", archive | FILE_ATTRIBUTE_HIDDEN, defaultContent, L"pagesync",
             "[DirectX Errors]\r\npagesync=1\r\nhighspeed=1\r\nlanguage=0\r\n"},
        Kept{"Utf16Text", archive, utf16Before, L"pagesync", utf16After},
        Kept{"Utf8Mark", archive, "\xEF\xBB\xBF[DirectX Errors]\r\npagesync=0\r\n", L"highspeed",
             "\xEF\xBB\xBF[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\n"},
        // The key goes into the first of two sections of that name.
        Kept{"SectionTwice", archive,
             "[DirectX Errors]\r\npagesync=0\r\n[Other]\r\nx=1\r\n"
             "[DirectX Errors]\r\nlanguage=0\r\n",
             L"highspeed",
             "[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\n[Other]\r\nx=1\r\n"
             "[DirectX Errors]\r\nlanguage=0\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

// Leaves the current user only reading and listing in drive C's root: files in it stay
// writable, but no new one can be made there (Wine turns the list into mode bits).
void ForbidCreatingInRoot() {
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    const UniqueHandle tokenOwner(token);
    std::array<BYTE, 256> userBuffer{};
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, userBuffer.data(),
                                      static_cast<DWORD>(userBuffer.size()), &size));
    PSID user = reinterpret_cast<TOKEN_USER*>(userBuffer.data())->User.Sid;
    std::array<BYTE, 256> aclBuffer{};
    auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
    ASSERT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(aclBuffer.size()), ACL_REVISION));
    ASSERT_TRUE(
        ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, user));
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    ASSERT_TRUE(::SetFileSecurityW(L"c:\\", DACL_SECURITY_INFORMATION, &descriptor))
        << "error " << ::GetLastError();
    const UniqueHandle probe = AdoptFileHandle(::CreateFileW(
        L"c:\\probe.tmp", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_FALSE(probe) << "a file can still be created in drive C's root";
}

} // namespace

// A player without the right to create files in drive C's root (as on Windows for a
// standard user) may still change a settings file that is there: stores keep working.
using StoreSettingNoCreateRightAsUser = DriveCTest;

TEST_F(StoreSettingNoCreateRightAsUser, StoresIntoTheExistingFile) {
    WriteBytes(twoKeys);
    ForbidCreatingInRoot();

    StoreSetting(L"pagesync", L"1");
    StoreSetting(L"language", L"0");

    EXPECT_EQ(ReadBytes(), "[DirectX Errors]\r\npagesync=1\r\nhighspeed=1\r\nlanguage=0\r\n");
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(L"c:\\dxerror*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(::FindNextFileW(search, &found)) << "left beside the file";
    ::FindClose(search);
}
