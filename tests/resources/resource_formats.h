#pragma once

// Readers for the compiled resource formats, written from the published layouts so the
// tests see the bytes the resource compiler stored, not what a system loader makes of them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace restest {

using Bytes = std::span<const std::uint8_t>;

// Every reader throws this on data that runs past its end or contradicts its own lengths.
struct MalformedResource : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Code units shown one by one where they are not printable ASCII, so a lost blank,
// line feed or umlaut is visible in a failure message.
std::string Escaped(std::u16string_view text);

// Exact comparison in UTF-16 code units that names the first differing position.
testing::AssertionResult SameCodeUnits(std::u16string_view actual, std::u16string_view expected);

// Styles and flags compared as numbers but shown in hex.
struct Hex {
    std::uint32_t value;
    bool operator==(const Hex&) const = default;
};
void PrintTo(Hex hex, std::ostream* os);

// A field that holds either a 16-bit ordinal or a text (dialog menu, class, title).
struct NameOrOrdinal {
    std::optional<std::uint16_t> ordinal;
    std::u16string text;

    static NameOrOrdinal Ordinal(std::uint16_t value) { return {value, {}}; }
    static NameOrOrdinal Text(std::u16string_view value) {
        return {std::nullopt, std::u16string(value)};
    }
    static NameOrOrdinal None() { return {}; }
    bool operator==(const NameOrOrdinal&) const = default;
};
void PrintTo(const NameOrOrdinal& value, std::ostream* os);

class ByteReader {
public:
    explicit ByteReader(Bytes bytes) : bytes_(bytes) {}

    std::uint8_t U8();
    std::uint16_t U16();
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::uint32_t U32();
    std::u16string ZeroTerminated();
    NameOrOrdinal NameOrOrd();
    Bytes Take(std::size_t count);
    // Alignment counts from the start of the resource, which the image keeps DWORD aligned.
    void AlignTo4();
    std::size_t Offset() const { return offset_; }
    void Seek(std::size_t offset);

private:
    void Need(std::size_t count) const;

    Bytes bytes_;
    std::size_t offset_ = 0;
};

struct DialogControl {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t id = 0; // a classic template stores 16 bits, widened here
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    std::uint16_t creationDataSize = 0;
};

struct DialogTemplate {
    bool extended = false;
    std::uint16_t version = 0;   // extended only
    std::uint16_t signature = 0; // extended only
    std::uint32_t helpId = 0;    // extended only
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::uint16_t controlCount = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::u16string caption;
    bool hasFont = false;
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0; // extended only
    std::uint8_t italic = 0;  // extended only
    std::uint8_t charset = 0; // extended only
    std::u16string typeface;
    std::vector<DialogControl> controls;
    std::size_t bytesUsed = 0; // up to the end of the last control
};

// DLGTEMPLATE or DLGTEMPLATEEX, told apart by the signature word, with all its controls.
DialogTemplate ParseDialogTemplate(Bytes bytes);

// One node of a VS_VERSIONINFO tree.
struct VersionNode {
    std::uint16_t length = 0;
    std::uint16_t valueLength = 0; // bytes for binary values, code units for text
    std::uint16_t type = 0;        // 0 binary, 1 text
    std::u16string key;
    Bytes value;
    std::vector<VersionNode> children;

    // The text before the first NUL of a text value.
    std::u16string Text() const;
    // Code units of a text value after the text's own NUL terminator.
    std::size_t UnitsAfterTerminator() const;
};

// The whole tree, checking that every node lies within its parent.
VersionNode ParseVersionInfo(Bytes bytes);

// The sixteen counted texts of one RT_STRING block; block n holds ids 16(n-1) .. 16(n-1)+15.
struct StringBlock {
    std::array<std::u16string, 16> texts;
    std::size_t bytesUsed = 0;
};
StringBlock ParseStringBlock(Bytes bytes);

struct IconGroupEntry {
    std::uint8_t width = 0, height = 0, colorCount = 0, reserved = 0;
    std::uint16_t planes = 0, bitCount = 0;
    std::uint32_t bytesInRes = 0;
    std::uint16_t id = 0;
};
struct IconGroup {
    std::uint16_t reserved = 0, type = 0;
    std::vector<IconGroupEntry> entries;
};
IconGroup ParseIconGroup(Bytes bytes);

} // namespace restest
