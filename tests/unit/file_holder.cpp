// file_holder PATH: a second process for the tests. Opens PATH allowing nobody else in,
// says "held" on its standard output and keeps the file open until its standard input
// ends, so a test decides exactly how long another program holds the settings file.

#include "framework/handles.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    const UniqueHandle file = AdoptFileHandle(::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE,
                                                            0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return 1;
    }
    DWORD count = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), "held\n", 5, &count, nullptr);
    char ignored = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &ignored, 1, &count, nullptr) &&
           count > 0) {
    }
    return 0;
}
