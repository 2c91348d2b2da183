#include "framework/exceptions.h"

#include "framework/app.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace {

struct FileErrorKind {
    CFileException::Cause cause;
    const wchar_t* message; // "%1" stands for the file name
    std::initializer_list<LONG> osErrors;
};

// A system error code in no row is "other", the last row.
// clang-format off
const FileErrorKind fileErrorKinds[] = {
    {CFileException::fileNotFound, L"%1 was not found.", {2, 6, 18, 107}},
    {CFileException::badPath, L"%1 contains an invalid path.",
     {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
    {CFileException::tooManyOpenFiles,
     L"%1 could not be opened because there are too many open files.", {4, 36, 68, 113}},
    {CFileException::accessDenied, L"Access to %1 was denied.",
     {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999}},
    {CFileException::invalidFile, L"An invalid file handle was associated with %1.",
     {11, 26, 60, 66, 114, 182, 191, 193}},
    {CFileException::removeCurrentDir,
     L"%1 could not be removed because it is the current directory.", {16, 145}},
    {CFileException::directoryFull, L"%1 could not be created because the directory is full.",
     {62}},
    {CFileException::badSeek, L"Seek failed on %1", {24, 25, 27, 30, 131, 132}},
    {CFileException::hardIO, L"A hardware I/O error was reported while accessing %1.",
     {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
    {CFileException::sharingViolation, L"A sharing violation occurred while accessing %1.", {32}},
    {CFileException::lockViolation, L"A locking violation occurred while accessing %1.",
     {33, 108, 167}},
    {CFileException::diskFull, L"Disk full while accessing %1.", {39, 112}},
    {CFileException::endOfFile, L"An attempt was made to access %1 past its end.", {38}},
    {CFileException::genericException, L"An unknown error occurred while accessing %1.", {}},
};
// clang-format on

const FileErrorKind& KindOf(CFileException::Cause cause) {
    const auto* kind = std::find_if(std::begin(fileErrorKinds), std::end(fileErrorKinds) - 1,
                                    [cause](const FileErrorKind& k) { return k.cause == cause; });
    return *kind;
}

} // namespace

CFileException::Cause CFileException::OsErrorToException(LONG osError) {
    const auto* kind = std::find_if(std::begin(fileErrorKinds), std::end(fileErrorKinds) - 1,
                                    [osError](const FileErrorKind& k) {
                                        return std::find(k.osErrors.begin(), k.osErrors.end(),
                                                         osError) != k.osErrors.end();
                                    });
    return kind->cause;
}

void CFileException::ThrowOsError(LONG osError, std::wstring fileName) {
    throw CFileException(OsErrorToException(osError), osError, std::move(fileName));
}

std::wstring CFileException::GetErrorMessage() const {
    std::wstring text = KindOf(m_cause).message;
    const std::wstring name = m_strFileName.empty() ? L"an unnamed file" : m_strFileName;
    text.replace(text.find(L"%1"), 2, name);
    return text;
}

void CException::ReportError() const { AfxMessageBox(GetErrorMessage(), GetReportType()); }
