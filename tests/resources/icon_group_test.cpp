// Icon group 128 and the images it points at: the window icons, the minimised picture and
// the About box all come from it, and a loader picks an image by what the group claims.

#include <cstring>
#include <memory>
#include <type_traits>

#include "tests/resources/built_executable.h"

namespace restest {
namespace {

struct ExpectedImage {
    unsigned size; // width and height
    std::uint16_t bitCount;
};

// In stored order.
constexpr ExpectedImage kImages[] = {{32, 4}, {48, 8}, {16, 4}, {32, 8}, {32, 1}};

struct IconDestroyer {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct ObjectDeleter {
    void operator()(HBITMAP bitmap) const noexcept { ::DeleteObject(bitmap); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDeleter>;

// Header, palette, colour rows and mask rows, each row padded to 32 bits.
std::size_t ImageBytes(std::uint32_t size, std::uint16_t bitCount) {
    const auto row = [](std::uint32_t pixels, std::uint32_t bits) {
        return (pixels * bits + 31) / 32 * 4;
    };
    const std::size_t palette = bitCount <= 8 ? (std::size_t{1} << bitCount) * 4 : 0;
    return sizeof(BITMAPINFOHEADER) + palette + size * row(size, bitCount) + size * row(size, 1);
}

class IconGroup128 : public ExecutableResources {};

TEST_P(IconGroup128, ListsFiveImagesInOrder) {
    const IconGroup group = ParseIconGroup(Resource(RT_GROUP_ICON, 128));
    EXPECT_EQ(group.reserved, 0u);
    EXPECT_EQ(group.type, 1u) << "not an icon group";
    ASSERT_EQ(group.entries.size(), std::size(kImages));
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const IconGroupEntry& entry = group.entries[i];
        EXPECT_EQ(unsigned{entry.width}, kImages[i].size);
        EXPECT_EQ(unsigned{entry.height}, kImages[i].size);
        EXPECT_EQ(entry.bitCount, kImages[i].bitCount);
        EXPECT_EQ(entry.planes, 1u);
    }
}

TEST_P(IconGroup128, EveryImageIsWhatTheGroupClaimsAndDecodes) {
    const IconGroup group = ParseIconGroup(Resource(RT_GROUP_ICON, 128));
    ASSERT_FALSE(group.entries.empty());
    for (const IconGroupEntry& entry : group.entries) {
        SCOPED_TRACE("RT_ICON " + std::to_string(entry.id));
        const Bytes image = Resource(RT_ICON, entry.id);
        EXPECT_EQ(image.size(), entry.bytesInRes) << "the group gives another size";
        BITMAPINFOHEADER header;
        ASSERT_GE(image.size(), sizeof header);
        std::memcpy(&header, image.data(), sizeof header);
        EXPECT_EQ(header.biSize, sizeof header) << "not a classic bitmap image";
        EXPECT_EQ(header.biWidth, entry.width);
        EXPECT_EQ(header.biHeight, 2 * entry.height) << "colour and mask rows";
        EXPECT_EQ(header.biPlanes, 1u);
        EXPECT_EQ(header.biBitCount, entry.bitCount);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(image.size(), ImageBytes(entry.width, entry.bitCount)) << "truncated or padded";

        UniqueIcon icon(::CreateIconFromResourceEx(
            const_cast<PBYTE>(image.data()), static_cast<DWORD>(image.size()), TRUE, 0x00030000,
            entry.width, entry.height, LR_DEFAULTCOLOR));
        ASSERT_TRUE(icon) << "the system cannot decode it, error " << ::GetLastError();
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
        const UniqueBitmap mask(info.hbmMask), colour(info.hbmColor);
        BITMAP bitmap{};
        ASSERT_NE(::GetObjectW(info.hbmMask, sizeof bitmap, &bitmap), 0);
        EXPECT_EQ(bitmap.bmWidth, entry.width);
    }
}

INSTANTIATE_FOR_BOTH_BUILDS(IconGroup128);

} // namespace
} // namespace restest
