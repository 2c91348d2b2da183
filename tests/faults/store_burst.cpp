// store_burst COUNT: the tool's side of the fault tests. Stores COUNT values through the
// real StoreSetting, key after key, each store flipping that key's value, as fast as a
// player could never click. Reports on its standard output, one line per event, written
// only after the event is over, so whoever kills this process knows what was stored:
//   ready                          the values below are what the file held at the start
//   start P H L
//   stored I K V                   store I set key K (0 pagesync, 1 highspeed, 2 language)
//   failed I K CODE                store I raised a file error with that system code
//   done

#include "framework/exceptions.h"
#include "settings/settings_file.h"
#include "tests/faults/settings_view.h"

#include <cstdio>
#include <cwchar>

namespace {

// One line of the report; printf-style, which keeps it to one write.
void Say(const char* format, auto... values) {
    char line[128];
    const int length = std::snprintf(line, sizeof line, format, values...);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written,
                nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    const long count = std::wcstol(argv[1], nullptr, 10);
    const Settings start = ReadSettings();
    bool on[keyCount] = {start.pagesync != 0, start.highspeed != 0, start.language != 0};
    Say("ready\nstart %d %d %d\n", on[0], on[1], on[2]);
    for (long i = 0; i < count; ++i) {
        const int key = static_cast<int>(i % keyCount);
        const bool value = !on[key];
        try {
            StoreSetting(settingsKeys[key], value ? L"1" : L"0");
            on[key] = value;
            Say("stored %ld %d %d\n", i, key, value);
        } catch (const CFileException& error) {
            Say("failed %ld %d %ld\n", i, key, error.m_lOsError);
        }
    }
    Say("done\n");
    return 0;
}
