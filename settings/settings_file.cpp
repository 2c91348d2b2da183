#include "settings/settings_file.h"

#include "framework/file.h"

namespace {

constexpr const char* defaultContent[] = {
    "[DirectX Errors]\n\n",
    "pagesync=0\n",
    "highspeed=1\n",
    "language=0\n",
};

[[noreturn]] void ThrowLastError(std::wstring fileName) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), std::move(fileName));
}

} // namespace

void EnsureSettingsFile() {
    CStdioFile file;
    CFileException error;
    // modeRead is 0, named for the reader.
    // cppcheck-suppress badBitmaskCheck
    if (file.Open(SettingsFilePath, CFile::modeRead | CFile::shareExclusive | CFile::typeText,
                  &error)) {
        file.Close();
        return;
    }
    // Only a missing file is created: any other failure may hide a file that still holds
    // the player's choices, and truncating it would lose them.
    if (error.m_lOsError != ERROR_FILE_NOT_FOUND) {
        throw error;
    }
    if (!file.Open(SettingsFilePath,
                   CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeText,
                   &error)) {
        throw error;
    }
    try {
        for (const char* line : defaultContent) {
            file.WriteString(line);
        }
        file.Close();
    } catch (const CFileException&) {
        // A cut-off file would be read as if complete on the next start; without a file,
        // the next start creates it afresh.
        file.Abort();
        ::DeleteFileW(SettingsFilePath);
        throw;
    }
}

Settings ReadSettings() {
    Settings settings{};
    settings.pagesync = ::GetPrivateProfileIntW(SettingsSection, PageSyncKey, 0, SettingsFilePath);
    settings.highspeed =
        ::GetPrivateProfileIntW(SettingsSection, HighSpeedKey, 1, SettingsFilePath);
    settings.language = ::GetPrivateProfileIntW(SettingsSection, LanguageKey, 1, SettingsFilePath);
    return settings;
}

void StoreSetting(LPCWSTR key, LPCWSTR value) {
    if (!::WritePrivateProfileStringW(SettingsSection, key, value, SettingsFilePath)) {
        ThrowLastError(SettingsFilePath);
    }
}

void RemoveSettingsFile() {
    try {
        CFile::Remove(SettingsFilePath);
    } catch (const CFileException& error) {
        // Gone already (another program deleted it): that is what removing wanted.
        if (error.m_lOsError != ERROR_FILE_NOT_FOUND && error.m_lOsError != ERROR_PATH_NOT_FOUND) {
            throw;
        }
    }
}

void HideSettingsFile() {
    const DWORD attributes = ::GetFileAttributesW(SettingsFilePath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ThrowLastError({});
    }
    // "Normal" is only valid alone, so it gives way to "hidden". One call, and the file's
    // times are never touched.
    if (!::SetFileAttributesW(SettingsFilePath,
                              (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN)) {
        ThrowLastError({});
    }
}
