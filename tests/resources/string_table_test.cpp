// The text table read raw from its RT_STRING blocks: LoadString would cut long texts and
// hides whether a text is missing or stored empty.

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/resources/built_executable.h"

namespace restest {
namespace {

// Written with escapes so the expected texts do not depend on this file's encoding.
const std::map<WORD, std::u16string_view> kFixedTexts = {
    {101, u"&About BrivelConfig..."},
    {102, u"On some system configurations the game runs too slow in the \"Normal Priority "
          u"Mode\". That problem could often be solved by selecting \"High Priority Mode\", "
          u"which disables the multitasking environment during the game."},
    {103, u"Je  nach Rechnerkonfiguration kann das Spiel in normaler Einstellung zu langsam "
          u"laufen - und dadurch ruckeln. In vielen F\u00e4llen hilft hier ein Wechseln zum "
          u"\"High Priority Mode\", welcher alle anderen Prozesse blockiert."},
    {104, u"Some DirectX drivers do not handle the pageflipping correctly. This causes the game "
          u"to run too quick and can only be solved by using \"Pageflipping via game\"-mode."},
    {105, u"Bei einigen DirectX Treibern funktioniert das Pageflipping nicht richtig. Das Spiel "
          u"wird dann nicht mehr synchronisiert und l\u00e4uft somit zu schnell. In diesem Fall "
          u"kann die Einstellung \"Pageflipping via game\" Abhilfe schaffen."},
    {106, u"Language, which the texts in the game are in. Currently there are only two languages "
          u"available and German is not featured by all our games."},
    {107, u"Sprache, in der die Bildschirmtexte und Sprachausgaben verfa\u00dft sind.\nIm Moment "
          u"werden nur Englisch und Deutsch angeboten, wobei einige Spiele Deutsch nicht "
          u"unterst\u00fctzen.\n"},
    {110, u"Remove dxerror.ini"},
    {111, u"dxerror.ini l\u00f6schen"},
    {61703, u"Failed to launch help."},
};

// The introduction texts: a fixed first piece, the maker's e-mail address, the homepage
// piece and the maker's URL. The two addresses are the tool's own choice.
constexpr std::u16string_view kIntroEnglish =
    u"With this tool You configure all Brivel games. The configuration will be saved at "
    u"c:\\dxerrors.ini.\nIf a game doesn't run correctly, make some changes below and try "
    u"again!\n\nBrivel contact adress: ";
constexpr std::u16string_view kIntroGerman =
    u"Mit diesem Programm erstellen Sie eine Konfiguration f\u00fcr alle Spiele von Brivel: "
    u"c:\\dxerrors.ini !\nFalls ein Spiel nicht zufriedenstellend l\u00e4uft, \u00e4ndern Sie "
    u"diese Einstellungen und versuchen es erneut.\n\nBrivel Kontaktadresse: ";
constexpr std::u16string_view kHomepage = u"\nHomepage: ";
static_assert(kIntroEnglish.size() + kHomepage.size() == 206);
static_assert(kIntroGerman.size() + kHomepage.size() == 237);

const std::set<WORD> kAllIds = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 61703};

struct IntroParts {
    std::u16string address;
    std::u16string url;
};

// Splits an introduction text after its first piece, or fails naming what is wrong.
testing::AssertionResult SplitIntro(std::u16string_view text, std::u16string_view firstPiece,
                                    IntroParts& parts) {
    if (!text.starts_with(firstPiece)) {
        return testing::AssertionFailure()
               << "the first piece differs: "
               << SameCodeUnits(text.substr(0, firstPiece.size()), firstPiece).message();
    }
    const std::u16string_view rest = text.substr(firstPiece.size());
    const std::size_t homepage = rest.find(kHomepage);
    if (homepage == std::u16string_view::npos) {
        return testing::AssertionFailure()
               << "no \"\\nHomepage: \" after the first piece in \"" << Escaped(rest) << "\"";
    }
    parts.address = rest.substr(0, homepage);
    parts.url = rest.substr(homepage + kHomepage.size());
    const auto blank = [](std::u16string_view s) {
        return s.find_first_of(u" \t\r\n") != std::u16string_view::npos;
    };
    const std::size_t at = parts.address.find(u'@');
    if (at == 0 || at == std::u16string::npos || at + 1 == parts.address.size() ||
        blank(parts.address)) {
        return testing::AssertionFailure()
               << "\"" << Escaped(parts.address) << "\" is not an e-mail address";
    }
    if (!(parts.url.starts_with(u"http://") || parts.url.starts_with(u"https://")) ||
        parts.url.size() <= 8 || blank(parts.url)) {
        return testing::AssertionFailure()
               << "\"" << Escaped(parts.url) << "\" is not a URL, or something follows it";
    }
    return testing::AssertionSuccess();
}

BOOL CALLBACK AddBlockNumber(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(
        IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)) : 0);
    return TRUE;
}

class StringTable : public ExecutableResources {
protected:
    std::u16string Text(WORD id) const {
        const StringBlock block =
            ParseStringBlock(Resource(RT_STRING, static_cast<WORD>(id / 16 + 1)));
        return block.texts[id % 16];
    }
};

TEST_P(StringTable, FixedTextsAreStoredExactly) {
    for (const auto& [id, expected] : kFixedTexts) {
        EXPECT_TRUE(SameCodeUnits(Text(id), expected)) << "string " << id;
    }
}

TEST_P(StringTable, IntroTextsCarryTheSameContactsAfterTheirFirstPiece) {
    IntroParts english, german;
    ASSERT_TRUE(SplitIntro(Text(108), kIntroEnglish, english)) << "string 108";
    ASSERT_TRUE(SplitIntro(Text(109), kIntroGerman, german)) << "string 109";
    EXPECT_EQ(english.address, german.address);
    EXPECT_EQ(english.url, german.url);
}

// Enumerated rather than looked up, so a stray text shows up too; ResourceInventory checks
// that every block is US English only.
TEST_P(StringTable, HoldsTheseTwelveTextsOnly) {
    std::vector<WORD> blocks;
    ASSERT_TRUE(::EnumResourceNamesW(Module(), RT_STRING, AddBlockNumber,
                                     reinterpret_cast<LONG_PTR>(&blocks)));

    std::set<WORD> ids;
    for (const WORD block : blocks) {
        SCOPED_TRACE("string block " + std::to_string(block));
        ASSERT_NE(block, 0) << "a string block with a name instead of a number";
        const Bytes bytes = Resource(RT_STRING, block);
        const StringBlock texts = ParseStringBlock(bytes);
        EXPECT_EQ(bytes.size() - texts.bytesUsed, 0u) << "bytes after the block's sixteen texts";
        for (WORD slot = 0; slot < 16; ++slot) {
            if (!texts.texts[slot].empty()) {
                ids.insert(static_cast<WORD>((block - 1) * 16 + slot));
            }
        }
    }
    EXPECT_EQ(ids, kAllIds);
}

INSTANTIATE_FOR_BOTH_BUILDS(StringTable);

} // namespace
} // namespace restest
