#pragma once

// What another program finds in the settings file: its bytes, read the way a game reads a
// file, and the three values as far as those bytes hold them.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

inline constexpr const wchar_t* settingsFile = L"c:\\dxerror.ini";
inline constexpr const wchar_t* settingsSection = L"DirectX Errors";
inline constexpr const wchar_t* settingsKeys[] = {L"pagesync", L"highspeed", L"language"};
inline constexpr int keyCount = 3;

// The whole content, opened as a game opens a file for reading (others may read and
// write), or nothing with the reason in *error.
std::optional<std::string> ReadAsGame(LPCWSTR path = settingsFile, DWORD* error = nullptr);

enum class Shape {
    complete, // every line ends in CR LF and the section holds all three keys
    empty,
    cut, // anything else: a file cut off part way, or a key missing
};

struct SettingsView {
    Shape shape = Shape::cut;
    // The value text of each key of settingsKeys in the section; empty when missing.
    std::string values[keyCount];
};

// Reads bytes as the profile reader does (section and key names without regard to case,
// blanks around names and values ignored).
SettingsView ViewOf(std::string_view bytes);

const char* ShapeName(Shape shape);
