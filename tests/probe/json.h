#pragma once

#include <windows.h>

#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>

// A small JSON writer: the caller puts values and keys in order; commas come by themselves.
class JsonWriter {
public:
    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }

    JsonWriter& Key(std::string_view key) {
        Separate();
        AppendString(key);
        m_text += ':';
        m_afterKey = true;
        return *this;
    }

    JsonWriter& String(std::wstring_view text) { return String(ToUtf8(text)); }
    JsonWriter& String(std::string_view utf8) {
        Separate();
        AppendString(utf8);
        return *this;
    }
    JsonWriter& Number(long long value) { return Raw(std::to_string(value)); }
    JsonWriter& Bool(bool value) { return Raw(value ? "true" : "false"); }
    JsonWriter& Null() { return Raw("null"); }
    JsonWriter& Rect(const RECT& r) {
        BeginObject();
        Field("left", r.left);
        Field("top", r.top);
        Field("right", r.right);
        Field("bottom", r.bottom);
        return EndObject();
    }

    // One member of the object being written.
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) JsonWriter& Field(std::string_view key, Integer value) {
        return Key(key).Number(static_cast<long long>(value));
    }
    JsonWriter& Field(std::string_view key, bool value) { return Key(key).Bool(value); }
    JsonWriter& Field(std::string_view key, HWND value) {
        return Key(key).Number(reinterpret_cast<LONG_PTR>(value));
    }
    JsonWriter& Field(std::string_view key, std::wstring_view value) {
        return Key(key).String(value);
    }
    JsonWriter& Field(std::string_view key, const RECT& value) { return Key(key).Rect(value); }

    // A value that is JSON already (from the hook).
    JsonWriter& Raw(std::string_view json) {
        Separate();
        m_text += json;
        return *this;
    }

    const std::string& Text() const { return m_text; }

    static std::string ToUtf8(std::wstring_view text) {
        if (text.empty()) {
            return {};
        }
        const int length = ::WideCharToMultiByte(
            CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(length), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                              length, nullptr, nullptr);
        return utf8;
    }

private:
    JsonWriter& Open(char bracket) {
        Separate();
        m_text += bracket;
        m_first = true;
        return *this;
    }
    JsonWriter& Close(char bracket) {
        m_text += bracket;
        m_first = false;
        return *this;
    }
    void Separate() {
        if (m_afterKey) {
            m_afterKey = false;
        } else if (!m_first) {
            m_text += ',';
        }
        m_first = false;
    }
    void AppendString(std::string_view utf8) {
        m_text += '"';
        for (const char c : utf8) {
            switch (c) {
            case '"':
                m_text += "\\\"";
                break;
            case '\\':
                m_text += "\\\\";
                break;
            case '\n':
                m_text += "\\n";
                break;
            case '\r':
                m_text += "\\r";
                break;
            case '\t':
                m_text += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    m_text += escaped;
                } else {
                    m_text += c;
                }
            }
        }
        m_text += '"';
    }

    std::string m_text;
    bool m_first = true;
    bool m_afterKey = false;
};
