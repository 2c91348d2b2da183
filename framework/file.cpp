#include "framework/file.h"

#include <array>

namespace {

DWORD ShareModeOf(UINT openFlags) {
    switch (openFlags & 0x70) {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return 0;
    }
}

DWORD AccessOf(UINT openFlags) {
    switch (openFlags & 0x03) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

std::wstring FullPathOf(LPCWSTR fileName) {
    std::array<wchar_t, MAX_PATH> buffer{};
    const DWORD length = ::GetFullPathNameW(fileName, MAX_PATH, buffer.data(), nullptr);
    return length == 0 || length >= MAX_PATH ? std::wstring(fileName)
                                             : std::wstring(buffer.data(), length);
}

} // namespace

bool CFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error) {
    Abort();
    m_hFile = AdoptFileHandle(::CreateFileW(
        fileName, AccessOf(openFlags), ShareModeOf(openFlags), nullptr,
        (openFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hFile) {
        if (error) {
            const LONG osError = static_cast<LONG>(::GetLastError());
            *error = CFileException(CFileException::OsErrorToException(osError), osError, fileName);
        }
        return false;
    }
    m_strFileName = FullPathOf(fileName);
    return true;
}

void CFile::Close() {
    if (m_hFile && !::CloseHandle(m_hFile.release())) {
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    }
}

void CFile::Abort() noexcept { m_hFile.reset(); }

void CFile::Remove(LPCWSTR fileName) {
    if (!::DeleteFileW(fileName)) {
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()));
    }
}

bool CStdioFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error) {
    m_buffer.clear();
    m_textMode = !(openFlags & typeBinary);
    return CFile::Open(fileName, openFlags, error);
}

void CStdioFile::WriteString(std::string_view text) {
    if (!m_hFile) {
        throw CFileException(CFileException::diskFull, ERROR_INVALID_HANDLE, m_strFileName);
    }
    for (const char c : text) {
        if (c == '\n' && m_textMode) {
            m_buffer.push_back('\r');
        }
        m_buffer.push_back(c);
    }
    constexpr std::size_t bufferSize = 4096;
    if (m_buffer.size() >= bufferSize) {
        Flush();
    }
}

void CStdioFile::Flush() {
    std::string_view pending = m_buffer;
    while (!pending.empty()) {
        DWORD written = 0;
        if (!::WriteFile(m_hFile.get(), pending.data(), static_cast<DWORD>(pending.size()),
                         &written, nullptr) ||
            written == 0) {
            const LONG osError = static_cast<LONG>(::GetLastError());
            throw CFileException(CFileException::diskFull, osError, m_strFileName);
        }
        pending.remove_prefix(written);
    }
    m_buffer.clear();
}

void CStdioFile::Close() {
    if (!m_hFile) {
        return;
    }
    try {
        Flush();
    } catch (const CFileException&) {
        Abort();
        throw;
    }
    if (!::CloseHandle(m_hFile.release())) {
        throw CFileException(CFileException::diskFull, static_cast<LONG>(::GetLastError()),
                             m_strFileName);
    }
}

void CStdioFile::Abort() noexcept {
    m_buffer.clear();
    CFile::Abort();
}
