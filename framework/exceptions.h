#pragma once

#include <windows.h>

#include <string>

// Errors raised inside message handlers. The window procedure catches them around the
// dispatch of each message and reports them in a message box; the dialog then goes on.
class CException {
public:
    virtual ~CException() = default;

    virtual std::wstring GetErrorMessage() const = 0;

    // Message-box style of the report.
    virtual UINT GetReportType() const { return MB_OK | MB_ICONSTOP; }

    // Shows the error text in a message box captioned with the application name.
    void ReportError() const;
};

class CMemoryException : public CException {
public:
    std::wstring GetErrorMessage() const override { return L"Out of memory."; }
    UINT GetReportType() const override { return MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL; }
};

class CFileException : public CException {
public:
    enum Cause {
        genericException, // "other": every system error code that no other kind claims
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException() = default;
    CFileException(Cause cause, LONG osError, std::wstring fileName = {})
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    static Cause OsErrorToException(LONG osError);

    // Raises the error that a failed system call reported, named by fileName
    // (empty: "an unnamed file").
    [[noreturn]] static void ThrowOsError(LONG osError, std::wstring fileName = {});

    std::wstring GetErrorMessage() const override;

    Cause m_cause = genericException;
    LONG m_lOsError = 0;
    std::wstring m_strFileName;
};
