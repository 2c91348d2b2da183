#include "framework/exceptions.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

struct Kind {
    CFileException::Cause cause;
    std::initializer_list<LONG> osErrors;
    const wchar_t* named;   // the message for c:\dxerror.ini
    const wchar_t* unnamed; // the message for an empty file name
};

// Each kind with the system error codes that stand for it and its two messages.
const Kind kinds[] = {
    {CFileException::fileNotFound,
     {2, 6, 18, 107},
     L"c:\\dxerror.ini was not found.",
     L"an unnamed file was not found."},
    {CFileException::badPath,
     {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267},
     L"c:\\dxerror.ini contains an invalid path.",
     L"an unnamed file contains an invalid path."},
    {CFileException::tooManyOpenFiles,
     {4, 36, 68, 113},
     L"c:\\dxerror.ini could not be opened because there are too many open files.",
     L"an unnamed file could not be opened because there are too many open files."},
    {CFileException::accessDenied,
     {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999},
     L"Access to c:\\dxerror.ini was denied.",
     L"Access to an unnamed file was denied."},
    {CFileException::invalidFile,
     {11, 26, 60, 66, 114, 182, 191, 193},
     L"An invalid file handle was associated with c:\\dxerror.ini.",
     L"An invalid file handle was associated with an unnamed file."},
    {CFileException::removeCurrentDir,
     {16, 145},
     L"c:\\dxerror.ini could not be removed because it is the current directory.",
     L"an unnamed file could not be removed because it is the current directory."},
    {CFileException::directoryFull,
     {62},
     L"c:\\dxerror.ini could not be created because the directory is full.",
     L"an unnamed file could not be created because the directory is full."},
    {CFileException::badSeek,
     {24, 25, 27, 30, 131, 132},
     L"Seek failed on c:\\dxerror.ini",
     L"Seek failed on an unnamed file"},
    {CFileException::hardIO,
     {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997},
     L"A hardware I/O error was reported while accessing c:\\dxerror.ini.",
     L"A hardware I/O error was reported while accessing an unnamed file."},
    {CFileException::sharingViolation,
     {32},
     L"A sharing violation occurred while accessing c:\\dxerror.ini.",
     L"A sharing violation occurred while accessing an unnamed file."},
    {CFileException::lockViolation,
     {33, 108, 167},
     L"A locking violation occurred while accessing c:\\dxerror.ini.",
     L"A locking violation occurred while accessing an unnamed file."},
    {CFileException::diskFull,
     {39, 112},
     L"Disk full while accessing c:\\dxerror.ini.",
     L"Disk full while accessing an unnamed file."},
    {CFileException::endOfFile,
     {38},
     L"An attempt was made to access c:\\dxerror.ini past its end.",
     L"An attempt was made to access an unnamed file past its end."},
    // Codes in no row above, several next to ones that are; "other" claims them all.
    {CFileException::genericException,
     {0, 1, 7, 8, 31, 35, 37, 40, 87, 109, 998, 1000, 0x7FFFFFFF, -1},
     L"An unknown error occurred while accessing c:\\dxerror.ini.",
     L"An unknown error occurred while accessing an unnamed file."},
};

} // namespace

TEST(FileException, EverySystemErrorCodeMapsToItsKind) {
    for (const Kind& kind : kinds) {
        for (const LONG osError : kind.osErrors) {
            EXPECT_EQ(CFileException::OsErrorToException(osError), kind.cause)
                << "system error code " << osError;
        }
    }
}

TEST(FileException, RaisedSystemErrorKeepsCodeKindAndName) {
    for (const Kind& kind : kinds) {
        const LONG osError = *kind.osErrors.begin();
        try {
            CFileException::ThrowOsError(osError, L"c:\\dxerror.ini");
            ADD_FAILURE() << "nothing raised for code " << osError;
        } catch (const CFileException& error) {
            EXPECT_EQ(error.m_cause, kind.cause) << "system error code " << osError;
            EXPECT_EQ(error.m_lOsError, osError);
            EXPECT_EQ(error.GetErrorMessage(), kind.named);
        }
    }
}

TEST(FileException, EveryKindHasItsMessageWithAndWithoutAName) {
    for (const Kind& kind : kinds) {
        EXPECT_EQ(CFileException(kind.cause, 0, L"c:\\dxerror.ini").GetErrorMessage(), kind.named);
        EXPECT_EQ(CFileException(kind.cause, 0).GetErrorMessage(), kind.unnamed);
    }
}

// A file error shows a stop icon and a single OK button.
TEST(FileException, IsReportedWithAStopIconAndOk) {
    EXPECT_EQ(CFileException(CFileException::accessDenied, 5).GetReportType(),
              static_cast<UINT>(MB_OK | MB_ICONSTOP));
}
