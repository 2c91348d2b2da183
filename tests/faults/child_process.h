#pragma once

// Another program of the fault tests (store_burst.exe, game_reader.exe), started from the
// test program's own directory with pipes for its standard input and output.

#include "framework/handles.h"

#include <optional>
#include <string>

class ChildProcess {
public:
    ChildProcess(const std::wstring& program, const std::wstring& arguments = {});
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool Started() const { return static_cast<bool>(m_process); }

    // The next line of its output without the line end; nothing once the output has ended
    // (the program ended and everything it wrote has been read).
    std::optional<std::string> ReadLine();

    // Ends its standard input: the programs take that as their cue to stop.
    void CloseInput() { m_input.reset(); }

    // Kills it where it stands, as the task manager or a power cut would.
    void Kill();

    // Its exit code once it ended within the time, else STILL_ACTIVE.
    DWORD Wait(DWORD milliseconds = 30'000);

private:
    UniqueHandle m_process;
    UniqueHandle m_input;
    UniqueHandle m_output;
    std::string m_pending;
};
