// The two dialog templates as stored: the dialog code finds its controls by these ids, and
// the layout, tab order and radio grouping come from nothing but these bytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tests/resources/built_executable.h"

namespace restest {
namespace {

constexpr std::uint16_t kButton = 0x0080;
constexpr std::uint16_t kStatic = 0x0082;

// Control styles as the templates hold them (WS_CHILD | WS_VISIBLE | ...).
constexpr std::uint32_t kDefaultPushTab = 0x50010001; // BS_DEFPUSHBUTTON, WS_TABSTOP
constexpr std::uint32_t kPushTab = 0x50010000;        // BS_PUSHBUTTON, WS_TABSTOP
constexpr std::uint32_t kTextGroup = 0x50020000;      // SS_LEFT, WS_GROUP
constexpr std::uint32_t kGroupBox = 0x50000007;       // BS_GROUPBOX
constexpr std::uint32_t kAutoRadio = 0x50000009;      // BS_AUTORADIOBUTTON
constexpr std::uint32_t kStaticEdge = 0x00020000;     // WS_EX_STATICEDGE

struct ExpectedControl {
    std::uint32_t id;
    std::uint16_t windowClass;
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int16_t x, y, cx, cy;
    std::optional<NameOrOrdinal> title; // none: any text that is not empty
};

NameOrOrdinal Text(std::u16string_view text) { return NameOrOrdinal::Text(text); }

// In creation order, which is also tab order and the order in which WS_GROUP starts groups.
const ExpectedControl kConfigControls[] = {
    {1, kButton, kDefaultPushTab, 0, 7, 245, 270, 19, Text(u"OK")},
    {0xFFFFFFFF, kStatic, kTextGroup, 0, 7, 7, 69, 8, Text(u"Brivel Config Tool")},
    {0xFFFFFFFF, kButton, kGroupBox, 0, 7, 130, 356, 49, Text(u"Game Priority Mode ")},
    {1000, kButton, kAutoRadio, 0, 22, 143, 95, 10, Text(u"High Priority Mode")},
    {1001, kButton, kAutoRadio, 0, 22, 159, 103, 10, Text(u"Normal Priority Mode")},
    {1008, kStatic, kTextGroup, 0, 139, 199, 217, 36, Text(u"")},
    {0xFFFFFFFF, kButton, kGroupBox, 0, 7, 188, 356, 49, Text(u"Pageflip Sync Error ")},
    {1002, kButton, kAutoRadio, 0, 22, 218, 106, 10, Text(u"Pageflipping via game")},
    {1003, kButton, kAutoRadio, 0, 22, 201, 112, 10, Text(u"Pageflipping via DirectX")},
    {1007, kStatic, kTextGroup, 0, 139, 140, 217, 36, Text(u"")},
    {2, kButton, kPushTab, kStaticEdge, 282, 245, 81, 19, Text(u"Remove dxerror.ini")},
    {1010, kStatic, kTextGroup, 0, 7, 21, 356, 43, Text(u"")},
    {0xFFFFFFFF, kButton, kGroupBox, 0, 7, 73, 356, 49, Text(u"Language selection ")},
    {1005, kButton, kAutoRadio, 0, 22, 86, 66, 10, Text(u"Deutsch")},
    {1006, kButton, kAutoRadio, 0, 22, 102, 66, 10, Text(u"English")},
    {1009, kStatic, kTextGroup, 0, 139, 82, 217, 36, Text(u"")},
};

// A classic template stores 16-bit ids; the notice line's wording is free.
const ExpectedControl kAboutControls[] = {
    {0xFFFF, kStatic, 0x50000003, 0, 11, 17, 20, 20, NameOrOrdinal::Ordinal(128)}, // SS_ICON
    {0xFFFF, kStatic, 0x50020080, 0, 40, 10, 119, 8, Text(u"BrivelConfig Version 1.0")},
    {0xFFFF, kStatic, 0x50020000, 0, 40, 25, 119, 8, std::nullopt},
    {1, kButton, 0x50030001, 0, 178, 7, 32, 14, Text(u"OK")},
};

void ExpectControls(const DialogTemplate& dialog, std::span<const ExpectedControl> expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const DialogControl& actual = dialog.controls[i];
        EXPECT_EQ(actual.helpId, 0u);
        EXPECT_EQ(Hex{actual.exStyle}, Hex{expected[i].exStyle});
        EXPECT_EQ(Hex{actual.style}, Hex{expected[i].style});
        EXPECT_EQ(actual.x, expected[i].x);
        EXPECT_EQ(actual.y, expected[i].y);
        EXPECT_EQ(actual.cx, expected[i].cx);
        EXPECT_EQ(actual.cy, expected[i].cy);
        EXPECT_EQ(Hex{actual.id}, Hex{expected[i].id});
        EXPECT_EQ(actual.windowClass, NameOrOrdinal::Ordinal(expected[i].windowClass));
        if (expected[i].title) {
            EXPECT_EQ(actual.title, *expected[i].title);
        } else {
            EXPECT_FALSE(actual.title.ordinal.has_value());
            EXPECT_FALSE(actual.title.text.empty()) << "the text is empty";
        }
        EXPECT_EQ(actual.creationDataSize, 0u);
    }
}

class DialogTemplates : public ExecutableResources {};

TEST_P(DialogTemplates, ConfigDialogIsAnExtendedTemplateAsDescribed) {
    const DialogTemplate dialog = ParseDialogTemplate(Resource(RT_DIALOG, 102));
    ASSERT_TRUE(dialog.extended) << "template 102 is a classic DLGTEMPLATE";
    EXPECT_EQ(dialog.version, 1u);
    EXPECT_EQ(Hex{dialog.signature}, Hex{0xFFFF});
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(Hex{dialog.exStyle}, Hex{0x00040080}); // WS_EX_APPWINDOW | WS_EX_TOOLWINDOW
    EXPECT_EQ(Hex{dialog.style}, Hex{0x90CB00C4});
    EXPECT_EQ(dialog.controlCount, 16u);
    EXPECT_EQ(dialog.x, 0); // (0, 0) lets the framework centre the dialog
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 370);
    EXPECT_EQ(dialog.cy, 271);
    EXPECT_EQ(dialog.menu, NameOrOrdinal::None());
    EXPECT_EQ(dialog.windowClass, NameOrOrdinal::None());
    EXPECT_TRUE(SameCodeUnits(dialog.caption, u"BrivelConfig"));
    ASSERT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.pointSize, 8u);
    EXPECT_TRUE(SameCodeUnits(dialog.typeface, u"MS Sans Serif"));
    EXPECT_EQ(dialog.weight, 0u);
    EXPECT_EQ(+dialog.italic, 0);
    EXPECT_EQ(+dialog.charset, 1);
}

TEST_P(DialogTemplates, ConfigDialogHoldsItsSixteenControlsInOrder) {
    const Bytes bytes = Resource(RT_DIALOG, 102);
    const DialogTemplate dialog = ParseDialogTemplate(bytes);
    ExpectControls(dialog, kConfigControls);
    // A count below the real number of controls would leave bytes unread.
    EXPECT_EQ(bytes.size() - dialog.bytesUsed, 0u);
}

TEST_P(DialogTemplates, AboutBoxIsAClassicTemplateAsDescribed) {
    const Bytes bytes = Resource(RT_DIALOG, 100);
    const DialogTemplate dialog = ParseDialogTemplate(bytes);
    ASSERT_FALSE(dialog.extended) << "template 100 is an extended template";
    EXPECT_EQ(Hex{dialog.style}, Hex{0x80C800C0});
    EXPECT_EQ(Hex{dialog.exStyle}, Hex{0});
    EXPECT_EQ(dialog.controlCount, 4u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 217);
    EXPECT_EQ(dialog.cy, 55);
    EXPECT_EQ(dialog.menu, NameOrOrdinal::None());
    EXPECT_EQ(dialog.windowClass, NameOrOrdinal::None());
    EXPECT_TRUE(SameCodeUnits(dialog.caption, u"About BrivelConfig"));
    ASSERT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.pointSize, 8u);
    EXPECT_TRUE(SameCodeUnits(dialog.typeface, u"MS Sans Serif"));
    ExpectControls(dialog, kAboutControls);
    EXPECT_EQ(bytes.size() - dialog.bytesUsed, 0u);
}

INSTANTIATE_FOR_BOTH_BUILDS(DialogTemplates);

} // namespace
} // namespace restest
