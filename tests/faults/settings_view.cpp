#include "tests/faults/settings_view.h"

#include "framework/handles.h"

#include <array>

std::optional<std::string> ReadAsGame(LPCWSTR path, DWORD* error) {
    const UniqueHandle file =
        AdoptFileHandle(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        if (error) {
            *error = ::GetLastError();
        }
        return std::nullopt;
    }
    std::string bytes;
    std::array<char, 4096> chunk{};
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) &&
           read > 0) {
        bytes.append(chunk.data(), read);
    }
    return bytes;
}

namespace {

std::string_view Trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Names in this file are ASCII.
bool SameName(std::string_view a, const wchar_t* b) {
    const auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && !b[i];
}

} // namespace

SettingsView ViewOf(std::string_view bytes) {
    SettingsView view;
    if (bytes.empty()) {
        view.shape = Shape::empty;
        return view;
    }
    bool inSection = false;
    bool found[keyCount]{};
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.rfind(']');
            if (close != std::string_view::npos) {
                inSection = SameName(line.substr(1, close - 1), settingsSection);
                continue;
            }
        }
        const auto equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view name = Trim(line.substr(0, equals));
        for (int k = 0; k < keyCount; ++k) {
            if (!found[k] && SameName(name, settingsKeys[k])) {
                found[k] = true;
                view.values[k] = std::string(Trim(line.substr(equals + 1)));
            }
        }
    }
    const bool allKeys = found[0] && found[1] && found[2];
    view.shape = allKeys && bytes.ends_with("\r\n") ? Shape::complete : Shape::cut;
    return view;
}

const char* ShapeName(Shape shape) {
    switch (shape) {
    case Shape::complete:
        return "complete";
    case Shape::empty:
        return "empty";
    default:
        return "cut";
    }
}
