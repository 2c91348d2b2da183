#pragma once

#include <windows.h>

// The one file that the games read: "c:\dxerror.ini", section "DirectX Errors".

inline constexpr const wchar_t* SettingsFilePath = L"c:\\dxerror.ini";
inline constexpr const wchar_t* SettingsSection = L"DirectX Errors";

inline constexpr const wchar_t* PageSyncKey = L"pagesync";
inline constexpr const wchar_t* HighSpeedKey = L"highspeed";
inline constexpr const wchar_t* LanguageKey = L"language";

inline constexpr const wchar_t* OnValue = L"1";
inline constexpr const wchar_t* OffValue = L"0";

// Any non-zero value means on.
struct Settings {
    UINT pagesync;
    UINT highspeed;
    UINT language;
};

// Creates the file with its default content when it does not exist; leaves an existing
// file untouched. Raises CFileException when the file can be neither opened nor created.
void EnsureSettingsFile();

// Reads the three values; a missing file, section or key gives that key's default.
Settings ReadSettings();

// Stores key=value in the section, in the platform writer's form, so that a reader at any
// moment sees the file either before or after the store, never in part. Raises
// CFileException when the store fails or did not reach the disk whole; the file then holds
// what it held before. A read-only file is refused.
void StoreSetting(LPCWSTR key, LPCWSTR value);

// Deletes the file; a file that is already gone counts as removed.
// Raises CFileException (without a file name) on any other failure.
void RemoveSettingsFile();

// Adds the hidden attribute, keeping every other attribute and the file's times.
// Raises CFileException (without a file name) when that fails.
void HideSettingsFile();
