#include "framework/exceptions.h"

#include "framework/app.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace {

struct OsErrorKind {
    LONG osError;
    CFileException::Cause cause;
};

// The system error codes that each kind stands for; a code in no row is "other".
constexpr OsErrorKind osErrorKinds[] = {
    {2, CFileException::fileNotFound},       {6, CFileException::fileNotFound},
    {18, CFileException::fileNotFound},      {107, CFileException::fileNotFound},
    {3, CFileException::badPath},            {15, CFileException::badPath},
    {17, CFileException::badPath},           {34, CFileException::badPath},
    {52, CFileException::badPath},           {53, CFileException::badPath},
    {55, CFileException::badPath},           {67, CFileException::badPath},
    {70, CFileException::badPath},           {85, CFileException::badPath},
    {111, CFileException::badPath},          {123, CFileException::badPath},
    {124, CFileException::badPath},          {125, CFileException::badPath},
    {144, CFileException::badPath},          {154, CFileException::badPath},
    {161, CFileException::badPath},          {206, CFileException::badPath},
    {208, CFileException::badPath},          {267, CFileException::badPath},
    {4, CFileException::tooManyOpenFiles},   {36, CFileException::tooManyOpenFiles},
    {68, CFileException::tooManyOpenFiles},  {113, CFileException::tooManyOpenFiles},
    {5, CFileException::accessDenied},       {12, CFileException::accessDenied},
    {19, CFileException::accessDenied},      {29, CFileException::accessDenied},
    {54, CFileException::accessDenied},      {58, CFileException::accessDenied},
    {64, CFileException::accessDenied},      {65, CFileException::accessDenied},
    {71, CFileException::accessDenied},      {80, CFileException::accessDenied},
    {82, CFileException::accessDenied},      {86, CFileException::accessDenied},
    {170, CFileException::accessDenied},     {183, CFileException::accessDenied},
    {999, CFileException::accessDenied},     {11, CFileException::invalidFile},
    {26, CFileException::invalidFile},       {60, CFileException::invalidFile},
    {66, CFileException::invalidFile},       {114, CFileException::invalidFile},
    {182, CFileException::invalidFile},      {191, CFileException::invalidFile},
    {193, CFileException::invalidFile},      {16, CFileException::removeCurrentDir},
    {145, CFileException::removeCurrentDir}, {62, CFileException::directoryFull},
    {24, CFileException::badSeek},           {25, CFileException::badSeek},
    {27, CFileException::badSeek},           {30, CFileException::badSeek},
    {131, CFileException::badSeek},          {132, CFileException::badSeek},
    {20, CFileException::hardIO},            {21, CFileException::hardIO},
    {22, CFileException::hardIO},            {23, CFileException::hardIO},
    {57, CFileException::hardIO},            {59, CFileException::hardIO},
    {88, CFileException::hardIO},            {117, CFileException::hardIO},
    {995, CFileException::hardIO},           {996, CFileException::hardIO},
    {997, CFileException::hardIO},           {32, CFileException::sharingViolation},
    {33, CFileException::lockViolation},     {108, CFileException::lockViolation},
    {167, CFileException::lockViolation},    {39, CFileException::diskFull},
    {112, CFileException::diskFull},         {38, CFileException::endOfFile},
};

// Indexed by CFileException::Cause; "%1" stands for the file name.
constexpr std::array<const wchar_t*, 14> messages = {
    L"An unknown error occurred while accessing %1.",
    L"%1 was not found.",
    L"%1 contains an invalid path.",
    L"%1 could not be opened because there are too many open files.",
    L"Access to %1 was denied.",
    L"An invalid file handle was associated with %1.",
    L"%1 could not be removed because it is the current directory.",
    L"%1 could not be created because the directory is full.",
    L"Seek failed on %1",
    L"A hardware I/O error was reported while accessing %1.",
    L"A sharing violation occurred while accessing %1.",
    L"A locking violation occurred while accessing %1.",
    L"Disk full while accessing %1.",
    L"An attempt was made to access %1 past its end.",
};
static_assert(messages.size() == CFileException::endOfFile + 1);

} // namespace

CFileException::Cause CFileException::OsErrorToException(LONG osError) {
    const auto* kind = std::find_if(std::begin(osErrorKinds), std::end(osErrorKinds),
                                    [osError](const OsErrorKind& k) { return k.osError == osError; });
    return kind == std::end(osErrorKinds) ? genericException : kind->cause;
}

void CFileException::ThrowOsError(LONG osError, std::wstring fileName) {
    throw CFileException(OsErrorToException(osError), osError, std::move(fileName));
}

std::wstring CFileException::GetErrorMessage() const {
    std::wstring text = messages.at(m_cause);
    const std::wstring name = m_strFileName.empty() ? L"an unnamed file" : m_strFileName;
    text.replace(text.find(L"%1"), 2, name);
    return text;
}

void CException::ReportError() const { AfxMessageBox(GetErrorMessage(), GetReportType()); }
