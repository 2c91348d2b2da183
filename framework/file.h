#pragma once

#include "framework/exceptions.h"
#include "framework/handles.h"

#include <string>
#include <string_view>

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile() = default;

    // Opens fileName; on failure fills *error (when given) with the reason and returns false.
    virtual bool Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);

    // Closes the file; raises the file error when the system reports a failure.
    virtual void Close();

    // Closes the file without reporting anything; for clean-up after a failure.
    virtual void Abort() noexcept;

    // The full path, as the file system resolved it when the file was opened.
    const std::wstring& GetFilePath() const { return m_strFileName; }

    // Deletes fileName; a failure raises the file error without a file name.
    static void Remove(LPCWSTR fileName);

protected:
    UniqueHandle m_hFile;
    std::wstring m_strFileName;
};

// A buffered stream over a file. In text mode every "\n" reaches the disk as CR LF.
// Text goes out on Close (or when the buffer fills), so that is where a full disk shows.
class CStdioFile : public CFile {
public:
    bool Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr) override;

    // Appends ASCII text; a write failure raises the disk-full error named with the full path.
    void WriteString(std::string_view text);

    // Flushes and closes; a failure raises the disk-full error named with the full path.
    void Close() override;

    void Abort() noexcept override;

private:
    void Flush();

    std::string m_buffer;
    bool m_textMode = true;
};
