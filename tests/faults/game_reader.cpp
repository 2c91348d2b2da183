// game_reader: plays a game that reads the settings file over and over while the tool
// stores. Each round reads the three values through the profile functions, as the games
// do, and the whole file as bytes. Says "ready" once, reads until its standard input ends,
// then reports one line of counts:
//   rounds N missing_key N pagesync N highspeed N language N complete N empty N cut N
//   open_failed N codes CODE:N,...
// and, when a read was not complete, one line "sample <bytes, CR and LF escaped>".

#include "tests/faults/settings_view.h"

#include <map>
#include <string>

namespace {

void Say(const std::string& line) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
}

bool InputEnded() {
    DWORD available = 0;
    return !::PeekNamedPipe(::GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &available,
                            nullptr);
}

std::string Escaped(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c == '\r') {
            text.append("\\r");
        } else if (c == '\n') {
            text.append("\\n");
        } else {
            text.push_back(c);
        }
    }
    return text;
}

// No value the tool writes, so a key the reader did not find shows.
constexpr UINT absent = 7777;

} // namespace

int wmain() {
    long rounds = 0, missingKey = 0, missing[keyCount]{}, shapes[3]{}, openFailed = 0;
    std::map<DWORD, long> codes;
    std::string sample;
    Say("ready\n");
    while (!InputEnded()) {
        ++rounds;
        bool anyMissing = false;
        for (int k = 0; k < keyCount; ++k) {
            if (::GetPrivateProfileIntW(settingsSection, settingsKeys[k], absent, settingsFile) ==
                absent) {
                ++missing[k];
                anyMissing = true;
            }
        }
        missingKey += anyMissing;
        DWORD error = 0;
        const auto bytes = ReadAsGame(settingsFile, &error);
        if (!bytes) {
            ++openFailed;
            ++codes[error];
            continue;
        }
        const Shape shape = ViewOf(*bytes).shape;
        ++shapes[static_cast<int>(shape)];
        if (shape != Shape::complete && sample.empty()) {
            sample = "sample " + Escaped(*bytes) + "\n";
        }
    }
    std::string codeList;
    for (const auto& [code, n] : codes) {
        codeList.append(codeList.empty() ? "" : ",");
        codeList.append(std::to_string(code)).append(":").append(std::to_string(n));
    }
    Say("rounds " + std::to_string(rounds) + " missing_key " + std::to_string(missingKey) +
        " pagesync " + std::to_string(missing[0]) + " highspeed " + std::to_string(missing[1]) +
        " language " + std::to_string(missing[2]) + " complete " +
        std::to_string(shapes[static_cast<int>(Shape::complete)]) + " empty " +
        std::to_string(shapes[static_cast<int>(Shape::empty)]) + " cut " +
        std::to_string(shapes[static_cast<int>(Shape::cut)]) + " open_failed " +
        std::to_string(openFailed) + " codes " + (codeList.empty() ? "-" : codeList) + "\n" +
        sample);
    return 0;
}
