// Everything the executable carries, enumerated: a resource left over from an old script,
// or one stored twice in another language, would be loaded instead of the intended one on
// some systems.

#include <set>
#include <string>
#include <vector>

#include "tests/resources/built_executable.h"

namespace restest {
namespace {

struct Entry {
    std::wstring type; // "#n" for a numbered type or name
    std::wstring name;
    WORD language;
    auto operator<=>(const Entry&) const = default;
};

std::wstring Label(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                : std::wstring(name);
}

LPCWSTR Unlabel(const std::wstring& label) {
    return label.starts_with(L"#") ? MAKEINTRESOURCEW(std::stoi(label.substr(1))) : label.c_str();
}

struct Collector {
    std::vector<Entry>* entries;
    std::wstring type;
    std::wstring name;
};

BOOL CALLBACK AddLabel(HMODULE, LPWSTR label, LONG_PTR context) {
    reinterpret_cast<std::vector<std::wstring>*>(context)->push_back(Label(label));
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    return AddLabel(nullptr, name, context);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    const auto& collector = *reinterpret_cast<const Collector*>(context);
    collector.entries->push_back({collector.type, collector.name, language});
    return TRUE;
}

std::vector<Entry> Inventory(HMODULE module) {
    std::vector<std::wstring> types;
    ::EnumResourceTypesW(module, AddLabel, reinterpret_cast<LONG_PTR>(&types));
    std::vector<Entry> entries;
    for (const std::wstring& type : types) {
        std::vector<std::wstring> names;
        ::EnumResourceNamesW(module, Unlabel(type), AddName, reinterpret_cast<LONG_PTR>(&names));
        for (const std::wstring& name : names) {
            const Collector collector{&entries, type, name};
            ::EnumResourceLanguagesW(module, Unlabel(type), Unlabel(name), AddLanguage,
                                     reinterpret_cast<LONG_PTR>(&collector));
        }
    }
    return entries;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class ResourceInventory : public ExecutableResources {};

TEST_P(ResourceInventory, HoldsTheToolsResourcesOnlyAllInUSEnglish) {
    const std::vector<Entry> entries = Inventory(Module());
    ASSERT_FALSE(entries.empty());

    // The images' numbers are the resource compiler's choice; the group names them.
    std::set<Entry> expected = {
        {L"#5", L"#100", kEnglishUS},  {L"#5", L"#102", kEnglishUS},  // RT_DIALOG
        {L"#6", L"#7", kEnglishUS},    {L"#6", L"#3857", kEnglishUS}, // RT_STRING 96..111, 61696..
        {L"#14", L"#128", kEnglishUS},                                // RT_GROUP_ICON
        {L"#16", L"#1", kEnglishUS},                                  // RT_VERSION
        {L"#24", L"#1", kEnglishUS},                                  // RT_MANIFEST
    };
    for (const IconGroupEntry& image : ParseIconGroup(Resource(RT_GROUP_ICON, 128)).entries) {
        expected.insert({L"#3", L"#" + std::to_wstring(image.id), kEnglishUS}); // RT_ICON
    }

    const std::set<Entry> stored(entries.begin(), entries.end());
    EXPECT_EQ(stored.size(), entries.size()) << "a resource is listed twice";
    for (const Entry& entry : stored) {
        EXPECT_TRUE(expected.contains(entry))
            << "unexpected resource: type " << Narrow(entry.type) << ", name " << Narrow(entry.name)
            << ", language 0x" << std::hex << entry.language;
    }
    for (const Entry& entry : expected) {
        EXPECT_TRUE(stored.contains(entry))
            << "missing resource: type " << Narrow(entry.type) << ", name " << Narrow(entry.name)
            << ", language 0x" << std::hex << entry.language;
    }
}

INSTANTIATE_FOR_BOTH_BUILDS(ResourceInventory);

} // namespace
} // namespace restest
