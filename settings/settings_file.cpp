#include "settings/settings_file.h"

#include "framework/file.h"
#include "framework/handles.h"

#include <cwchar>
#include <iterator>
#include <string>
#include <string_view>

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

// A game may read the settings file at any moment, and the tool may be killed at any
// moment, but the platform's writer empties a file before it writes it anew and may cut
// it off on a full disk without saying so. It therefore works on a copy beside the file,
// and the file then changes in one step: the one byte of a flipped value is written in
// place, any other change puts the copy in the file's place.
constexpr const wchar_t* copyPath = L"c:\\dxerror.ini.new";

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes a renamed copy takes over from the file it replaces.
constexpr DWORD keptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A game that has the file open blocks the rename, but only for the moment of its read.
constexpr ULONGLONG renameTimeoutMs = 200;

[[noreturn]] void ThrowStoreError(DWORD osError) {
    CFileException::ThrowOsError(static_cast<LONG>(osError), SettingsFilePath);
}

UniqueHandle OpenExisting(LPCWSTR path, DWORD access) {
    return AdoptFileHandle(::CreateFileW(path, access, shareAll, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAll(HANDLE file, std::string& bytes) {
    bytes.clear();
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr)) {
        if (read == 0) {
            return true;
        }
        bytes.append(chunk, read);
    }
    return false;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// The platform's profile code caches the files it has read; what is on disk must be read
// afresh.
void ForgetCached(LPCWSTR path) { ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path); }

// Calls list(buffer, size) with a growing buffer until the double-null-terminated list fits.
template <typename List> std::wstring ProfileList(List list) {
    std::wstring buffer(1024, L'\0');
    for (;;) {
        const DWORD length = list(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length + 2 < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Everything the platform's reader finds in the file except the lines of key in the
// settings section: a store must leave that as it was.
std::wstring ProfileContentBesides(LPCWSTR path, std::wstring_view key) {
    ForgetCached(path);
    std::wstring content;
    const std::wstring names = ProfileList([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesW(buffer, size, path);
    });
    for (const wchar_t* name = names.c_str(); *name; name += std::wcslen(name) + 1) {
        const bool settings = SameName(name, SettingsSection);
        std::wstring lines;
        const std::wstring section = ProfileList([&](wchar_t* buffer, DWORD size) {
            return ::GetPrivateProfileSectionW(name, buffer, size, path);
        });
        for (const wchar_t* line = section.c_str(); *line; line += std::wcslen(line) + 1) {
            const std::wstring_view text(line);
            if (!settings || !SameName(text.substr(0, text.find(L'=')), key)) {
                lines.append(text).push_back(L'\n');
            }
        }
        // The store may have added the section just for the key.
        if (!settings || !lines.empty()) {
            content.append(L"[").append(name).append(L"]\n").append(lines);
        }
    }
    return content;
}

// Whether the platform's writer put all of its work on disk: the key reads back as the
// value, and nothing else changed. It does not always say when the disk was full.
void VerifyStore(LPCWSTR path, std::wstring_view contentBefore, LPCWSTR key, LPCWSTR value) {
    const bool restKept = ProfileContentBesides(path, key) == contentBefore;
    wchar_t stored[16]{};
    ::GetPrivateProfileStringW(SettingsSection, key, L"", stored,
                               static_cast<DWORD>(std::size(stored)), path);
    if (!restKept || std::wstring_view(stored) != value) {
        ThrowStoreError(ERROR_DISK_FULL);
    }
}

// Deletes the copy beside the file unless it became the file.
class CopyBesideFile {
public:
    CopyBesideFile() = default;
    CopyBesideFile(const CopyBesideFile&) = delete;
    CopyBesideFile& operator=(const CopyBesideFile&) = delete;
    ~CopyBesideFile() {
        if (m_present) {
            ::DeleteFileW(copyPath);
        }
    }

    // Writes the file's bytes; false, with the reason in the last error, when no copy can
    // be made beside the file (a full disk, a folder the player may not create files in).
    bool Create(std::string_view bytes) {
        // A store killed earlier may have left a copy.
        ::SetFileAttributesW(copyPath, FILE_ATTRIBUTE_NORMAL);
        const UniqueHandle file = AdoptFileHandle(::CreateFileW(
            copyPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        m_present = static_cast<bool>(file);
        return file && WriteAll(file.get(), bytes);
    }

    // The bytes of the copy after the platform's writer stored key=value in it, verified.
    std::string Store(LPCWSTR key, LPCWSTR value) {
        const std::wstring contentBefore = ProfileContentBesides(copyPath, key);
        if (!::WritePrivateProfileStringW(SettingsSection, key, value, copyPath)) {
            ThrowStoreError(::GetLastError());
        }
        VerifyStore(copyPath, contentBefore, key, value);
        const UniqueHandle file = OpenExisting(copyPath, GENERIC_READ);
        std::string bytes;
        if (!file || !ReadAll(file.get(), bytes)) {
            ThrowStoreError(::GetLastError());
        }
        return bytes;
    }

    // Puts the copy in the file's place; false when a reader keeps it from there too long.
    bool Replace(DWORD attributes) {
        // A renamed file keeps the copy's attributes, not those of the file it replaces.
        const DWORD kept = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & keptAttributes;
        if (!::SetFileAttributesW(copyPath, kept ? kept : FILE_ATTRIBUTE_NORMAL)) {
            ThrowStoreError(::GetLastError());
        }
        // The content must be on disk before the name points at it.
        if (const UniqueHandle file = OpenExisting(copyPath, GENERIC_WRITE);
            !file || !::FlushFileBuffers(file.get())) {
            ThrowStoreError(::GetLastError());
        }
        const ULONGLONG deadline = ::GetTickCount64() + renameTimeoutMs;
        while (!::MoveFileExW(copyPath, SettingsFilePath,
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
                ThrowStoreError(error);
            }
            if (::GetTickCount64() >= deadline) {
                return false;
            }
            ::Sleep(1);
        }
        m_present = false;
        return true;
    }

private:
    bool m_present = false;
};

// Where before and after differ in just one byte; npos otherwise. Writing that byte in
// place shows a reader either value, and no rename stands in a reader's way.
std::size_t OnlyChangedByte(std::string_view before, std::string_view after) {
    if (before.size() != after.size()) {
        return std::string_view::npos;
    }
    std::size_t changed = std::string_view::npos;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i]) {
            if (changed != std::string_view::npos) {
                return std::string_view::npos;
            }
            changed = i;
        }
    }
    return changed;
}

void WriteByteInPlace(std::size_t offset, char byte) {
    const UniqueHandle file = OpenExisting(SettingsFilePath, GENERIC_WRITE);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    if (!file || !::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !::WriteFile(file.get(), &byte, 1, &written, nullptr) || written != 1) {
        ThrowStoreError(::GetLastError());
    }
}

// No copy can be made or put in place: the platform's writer rewrites the file itself. A
// game may then see it cut for a moment, but a store that did not reach the disk whole is
// reported and the file put back as it was.
void StoreInPlace(const std::string* before, LPCWSTR key, LPCWSTR value) {
    const std::wstring contentBefore = ProfileContentBesides(SettingsFilePath, key);
    if (!::WritePrivateProfileStringW(SettingsSection, key, value, SettingsFilePath)) {
        ThrowStoreError(::GetLastError());
    }
    try {
        VerifyStore(SettingsFilePath, contentBefore, key, value);
    } catch (const CFileException&) {
        // The cut file freed at least the room the old content needs.
        if (!before) {
            ::DeleteFileW(SettingsFilePath);
        } else if (const UniqueHandle file = OpenExisting(SettingsFilePath, GENERIC_WRITE)) {
            if (WriteAll(file.get(), *before)) {
                ::SetEndOfFile(file.get());
            }
        }
        throw;
    }
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
    DWORD attributes = ::GetFileAttributesW(SettingsFilePath);
    if (attributes == INVALID_FILE_ATTRIBUTES && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        ThrowLastError(SettingsFilePath);
    }
    // Windows refuses to write into a read-only file; the rename would replace it all the
    // same.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ThrowStoreError(ERROR_ACCESS_DENIED);
    }
    std::string before;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const UniqueHandle file = OpenExisting(SettingsFilePath, GENERIC_READ);
        if (file) {
            if (!ReadAll(file.get(), before)) {
                ThrowLastError(SettingsFilePath);
            }
        } else if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            attributes = INVALID_FILE_ATTRIBUTES; // another program deleted it just now
        } else {
            ThrowLastError(SettingsFilePath);
        }
    }
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;

    CopyBesideFile copy;
    if (!copy.Create(before)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_DISK_FULL && error != ERROR_HANDLE_DISK_FULL &&
            error != ERROR_ACCESS_DENIED) {
            ThrowStoreError(error);
        }
        StoreInPlace(existed ? &before : nullptr, key, value);
        return;
    }
    const std::string after = copy.Store(key, value);
    if (existed) {
        if (after == before) {
            return;
        }
        if (const std::size_t changed = OnlyChangedByte(before, after);
            changed != std::string::npos) {
            WriteByteInPlace(changed, after[changed]);
            return;
        }
    }
    if (!copy.Replace(attributes)) {
        StoreInPlace(existed ? &before : nullptr, key, value);
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
