// The version record walked node by node, so the order of the keys counts, and read once
// more through the system's own reader, which is what file properties show.

#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/resources/built_executable.h"

namespace restest {
namespace {

struct ExpectedValue {
    std::u16string_view key;
    std::optional<std::u16string_view> text; // none: any text that is not empty
};

const ExpectedValue kStrings[] = {
    {u"CompanyName", u""},
    {u"FileDescription", u"BRIVELCONFIG MFC Application"},
    {u"FileVersion", u"1, 0, 0, 1"},
    {u"InternalName", u"BRIVELCONFIG"},
    {u"LegalCopyright", std::nullopt},
    {u"LegalTrademarks", u""},
    {u"OriginalFilename", u"BRIVELCONFIG.EXE"},
    {u"ProductName", u"BRIVELCONFIG Application"},
    {u"ProductVersion", u"1, 0, 0, 1"},
};

std::vector<std::u16string> Keys(const VersionNode& node) {
    std::vector<std::u16string> keys;
    for (const VersionNode& child : node.children) {
        keys.push_back(child.key);
    }
    return keys;
}

void PrintKeys(const std::vector<std::u16string>& keys, std::ostream* os) {
    for (const std::u16string& key : keys) {
        *os << '"' << Escaped(key) << "\" ";
    }
}

class VersionRecord : public ExecutableResources {
protected:
    VersionNode Root() const { return ParseVersionInfo(Resource(RT_VERSION, 1)); }
};

TEST_P(VersionRecord, FixedPartAsDescribed) {
    const VersionNode root = Root();
    EXPECT_TRUE(SameCodeUnits(root.key, u"VS_VERSION_INFO"));
    EXPECT_EQ(root.type, 0u);
    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwStrucVersion, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u) << "file version 1.0";
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00000001u) << "file version .0.1";
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, 0x4u); // VOS__WINDOWS32
    EXPECT_EQ(fixed.dwFileType, 1u); // VFT_APP
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS, 0u);
    EXPECT_EQ(fixed.dwFileDateLS, 0u);
}

TEST_P(VersionRecord, OneUSEnglishStringBlockWithTheKeysInOrder) {
    const VersionNode root = Root();
    ASSERT_EQ(Keys(root), (std::vector<std::u16string>{u"StringFileInfo", u"VarFileInfo"}));
    const VersionNode& stringInfo = root.children[0];
    ASSERT_EQ(Keys(stringInfo), std::vector<std::u16string>{u"040904B0"});
    const VersionNode& block = stringInfo.children[0];

    std::vector<std::u16string> expectedKeys;
    for (const ExpectedValue& value : kStrings) {
        expectedKeys.emplace_back(value.key);
    }
    const std::vector<std::u16string> keys = Keys(block);
    ASSERT_EQ(keys, expectedKeys) << [&] {
        std::ostringstream os;
        PrintKeys(keys, &os);
        return "stored keys: " + os.str();
    }();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const VersionNode& value = block.children[i];
        SCOPED_TRACE("value " + Escaped(value.key));
        EXPECT_EQ(value.type, 1u) << "not stored as text";
        EXPECT_TRUE(value.children.empty());
        if (kStrings[i].text) {
            EXPECT_TRUE(SameCodeUnits(value.Text(), *kStrings[i].text));
        } else {
            EXPECT_FALSE(value.Text().empty());
        }
        EXPECT_EQ(value.UnitsAfterTerminator(), 0u) << "more follows the text's terminator";
    }
}

TEST_P(VersionRecord, TranslationIsUSEnglishUnicode) {
    const VersionNode root = Root();
    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& varInfo = root.children[1];
    ASSERT_EQ(Keys(varInfo), std::vector<std::u16string>{u"Translation"});
    const VersionNode& translation = varInfo.children[0];
    EXPECT_EQ(translation.type, 0u);
    ASSERT_EQ(translation.value.size(), 4u);
    ByteReader in(translation.value);
    EXPECT_EQ(in.U16(), 0x0409u);
    EXPECT_EQ(in.U16(), 0x04B0u);
}

TEST_P(VersionRecord, SystemReaderSeesTheSameValues) {
    const std::wstring path = Path();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "error " << ::GetLastError();
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    void* data = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &data, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(data)[0], 0x0409u);
    EXPECT_EQ(static_cast<const WORD*>(data)[1], 0x04B0u);

    for (const ExpectedValue& value : kStrings) {
        if (!value.text) {
            continue;
        }
        const std::wstring query =
            L"\\StringFileInfo\\040904B0\\" + std::wstring(value.key.begin(), value.key.end());
        SCOPED_TRACE(Escaped(value.key));
        data = nullptr;
        ASSERT_TRUE(::VerQueryValueW(info.data(), query.c_str(), &data, &length));
        const std::u16string text(static_cast<const char16_t*>(data));
        EXPECT_TRUE(SameCodeUnits(text, *value.text));
    }
}

INSTANTIATE_FOR_BOTH_BUILDS(VersionRecord);

} // namespace
} // namespace restest
