#include "framework/strings.h"
#include "tests/unit/load_string_test.h"

#include <gtest/gtest.h>

namespace {

std::wstring Digits(std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<wchar_t>(L'0' + i % 10));
    }
    return text;
}

} // namespace

// A text comes back whole however long it is, also when it ends right at or just short of
// a buffer size; the umlauts show the resource compiler read the texts as UTF-8.
TEST(StringResources, GivesEveryTextWhole) {
    struct Case {
        UINT id;
        std::wstring text;
    };
    const Case cases[] = {
        {IDS_DIGITS_253, Digits(253)},
        {IDS_DIGITS_254, Digits(254)},
        {IDS_DIGITS_255, Digits(255)},
        {IDS_DIGITS_256, Digits(256)},
        {IDS_DIGITS_509, Digits(509)},
        {IDS_DIGITS_510, Digits(510)},
        {IDS_UMLAUTS_600,
         Digits(252) + L"\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc" + Digits(340) + L"\u00df"},
    };
    for (const Case& c : cases) {
        const std::wstring text = AfxLoadString(c.id);
        EXPECT_EQ(text.size(), c.text.size()) << "string " << c.id;
        EXPECT_EQ(text, c.text) << "string " << c.id;
    }
}

TEST(StringResources, GivesAnEmptyTextForAnIdWithoutOne) {
    EXPECT_EQ(AfxLoadString(IDS_NO_TEXT_IN_BLOCK), L"");
    EXPECT_EQ(AfxLoadString(IDS_NO_TEXT_NO_BLOCK), L"");
}
