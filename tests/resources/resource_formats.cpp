#include "tests/resources/resource_formats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace restest {

std::string Escaped(std::u16string_view text) {
    std::string out;
    for (const char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F && unit != u'\\') {
            out += static_cast<char>(unit);
        } else if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'\n') {
            out += "\\n";
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(unit));
            out += code;
        }
    }
    return out;
}

testing::AssertionResult SameCodeUnits(std::u16string_view actual, std::u16string_view expected) {
    if (actual == expected) {
        return testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    const auto around = [at](std::u16string_view text) {
        const std::size_t from = at < 12 ? 0 : at - 12;
        return Escaped(text.substr(from, 30));
    };
    return testing::AssertionFailure()
           << "first difference at code unit " << at << " (lengths " << actual.size() << " and "
           << expected.size() << ")\n  stored:   ..." << around(actual) << "...\n  expected: ..."
           << around(expected) << "...\n  whole stored text: \"" << Escaped(actual) << "\"";
}

void PrintTo(Hex hex, std::ostream* os) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(hex.value));
    *os << text;
}

void PrintTo(const NameOrOrdinal& value, std::ostream* os) {
    if (value.ordinal) {
        char code[16];
        std::snprintf(code, sizeof code, "#0x%04x", static_cast<unsigned>(*value.ordinal));
        *os << code;
    } else {
        *os << '"' << Escaped(value.text) << '"';
    }
}

void ByteReader::Need(std::size_t count) const {
    if (count > bytes_.size() - offset_) {
        throw MalformedResource("resource data ends at byte " + std::to_string(bytes_.size()) +
                                ", " + std::to_string(count) + " more needed at byte " +
                                std::to_string(offset_));
    }
}

std::uint8_t ByteReader::U8() {
    Need(1);
    return bytes_[offset_++];
}

std::uint16_t ByteReader::U16() {
    Need(2);
    const std::uint16_t value =
        static_cast<std::uint16_t>(bytes_[offset_] | bytes_[offset_ + 1] << 8);
    offset_ += 2;
    return value;
}

std::uint32_t ByteReader::U32() {
    const std::uint32_t low = U16();
    return low | static_cast<std::uint32_t>(U16()) << 16;
}

std::u16string ByteReader::ZeroTerminated() {
    std::u16string text;
    for (char16_t unit = static_cast<char16_t>(U16()); unit != 0;
         unit = static_cast<char16_t>(U16())) {
        text += unit;
    }
    return text;
}

NameOrOrdinal ByteReader::NameOrOrd() {
    const std::uint16_t first = U16();
    if (first == 0xFFFF) {
        return NameOrOrdinal::Ordinal(U16());
    }
    NameOrOrdinal name;
    if (first != 0) {
        name.text = static_cast<char16_t>(first) + ZeroTerminated();
    }
    return name;
}

Bytes ByteReader::Take(std::size_t count) {
    Need(count);
    const Bytes part = bytes_.subspan(offset_, count);
    offset_ += count;
    return part;
}

void ByteReader::AlignTo4() {
    // Padding after the last field may be cut off at the end of the data.
    offset_ = std::min((offset_ + 3) & ~std::size_t{3}, bytes_.size());
}

void ByteReader::Seek(std::size_t offset) {
    if (offset > bytes_.size()) {
        throw MalformedResource("offset " + std::to_string(offset) + " lies beyond the data");
    }
    offset_ = offset;
}

namespace {

constexpr std::uint32_t kSetFont = 0x40; // DS_SETFONT: a font block follows the caption

DialogControl ParseControl(ByteReader& in, bool extended) {
    in.AlignTo4();
    DialogControl control;
    if (extended) {
        control.helpId = in.U32();
        control.exStyle = in.U32();
        control.style = in.U32();
    } else {
        control.style = in.U32();
        control.exStyle = in.U32();
    }
    control.x = in.I16();
    control.y = in.I16();
    control.cx = in.I16();
    control.cy = in.I16();
    control.id = extended ? in.U32() : in.U16();
    control.windowClass = in.NameOrOrd();
    control.title = in.NameOrOrd();
    control.creationDataSize = in.U16();
    if (control.creationDataSize != 0) {
        in.Take(control.creationDataSize);
    }
    return control;
}

} // namespace

DialogTemplate ParseDialogTemplate(Bytes bytes) {
    ByteReader in(bytes);
    DialogTemplate dialog;
    const std::uint16_t first = in.U16();
    const std::uint16_t second = in.U16();
    dialog.extended = first == 1 && second == 0xFFFF;
    if (dialog.extended) {
        dialog.version = first;
        dialog.signature = second;
        dialog.helpId = in.U32();
        dialog.exStyle = in.U32();
        dialog.style = in.U32();
    } else {
        dialog.style = first | static_cast<std::uint32_t>(second) << 16;
        dialog.exStyle = in.U32();
    }
    dialog.controlCount = in.U16();
    dialog.x = in.I16();
    dialog.y = in.I16();
    dialog.cx = in.I16();
    dialog.cy = in.I16();
    dialog.menu = in.NameOrOrd();
    dialog.windowClass = in.NameOrOrd();
    dialog.caption = in.ZeroTerminated();
    dialog.hasFont = (dialog.style & kSetFont) != 0;
    if (dialog.hasFont) {
        dialog.pointSize = in.U16();
        if (dialog.extended) {
            dialog.weight = in.U16();
            dialog.italic = in.U8();
            dialog.charset = in.U8();
        }
        dialog.typeface = in.ZeroTerminated();
    }
    for (std::uint16_t i = 0; i < dialog.controlCount; ++i) {
        dialog.controls.push_back(ParseControl(in, dialog.extended));
    }
    dialog.bytesUsed = in.Offset();
    return dialog;
}

std::u16string VersionNode::Text() const {
    std::u16string text(value.size() / 2, u'\0');
    std::memcpy(text.data(), value.data(), text.size() * 2);
    return text.substr(0, text.find(u'\0'));
}

std::size_t VersionNode::UnitsAfterTerminator() const {
    const std::size_t units = value.size() / 2;
    const std::size_t text = Text().size();
    return text < units ? units - text - 1 : 0;
}

namespace {

VersionNode ParseVersionNode(ByteReader& in, std::size_t limit) {
    in.AlignTo4();
    const std::size_t start = in.Offset();
    VersionNode node;
    node.length = in.U16();
    node.valueLength = in.U16();
    node.type = in.U16();
    node.key = in.ZeroTerminated();
    const std::size_t end = start + node.length;
    if (node.length < 6 || end > limit) {
        throw MalformedResource("version node \"" + Escaped(node.key) + "\" at byte " +
                                std::to_string(start) + " claims " + std::to_string(node.length) +
                                " bytes, its parent ends at byte " + std::to_string(limit));
    }
    in.AlignTo4();
    if (node.valueLength != 0) {
        node.value = in.Take(node.type == 1 ? node.valueLength * std::size_t{2} : node.valueLength);
    }
    if (in.Offset() > end) {
        throw MalformedResource("the value of version node \"" + Escaped(node.key) +
                                "\" runs past the node's end");
    }
    for (in.AlignTo4(); in.Offset() < end; in.AlignTo4()) {
        node.children.push_back(ParseVersionNode(in, end));
    }
    in.Seek(end);
    return node;
}

} // namespace

VersionNode ParseVersionInfo(Bytes bytes) {
    ByteReader in(bytes);
    return ParseVersionNode(in, bytes.size());
}

StringBlock ParseStringBlock(Bytes bytes) {
    ByteReader in(bytes);
    StringBlock block;
    for (std::u16string& text : block.texts) {
        const std::uint16_t length = in.U16();
        const Bytes units = in.Take(length * std::size_t{2});
        text.resize(length);
        std::memcpy(text.data(), units.data(), units.size());
    }
    block.bytesUsed = in.Offset();
    return block;
}

IconGroup ParseIconGroup(Bytes bytes) {
    ByteReader in(bytes);
    IconGroup group;
    group.reserved = in.U16();
    group.type = in.U16();
    const std::uint16_t count = in.U16();
    for (std::uint16_t i = 0; i < count; ++i) {
        IconGroupEntry entry;
        entry.width = in.U8();
        entry.height = in.U8();
        entry.colorCount = in.U8();
        entry.reserved = in.U8();
        entry.planes = in.U16();
        entry.bitCount = in.U16();
        entry.bytesInRes = in.U32();
        entry.id = in.U16();
        group.entries.push_back(entry);
    }
    return group;
}

} // namespace restest
