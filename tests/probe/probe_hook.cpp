// Loaded into the tool's process by the probe's hook; answers its queries from inside.
#include "tests/probe/hook_protocol.h"
#include "tests/probe/json.h"
#include "tests/probe/owners.h"

#include <array>
#include <cstring>

namespace {

std::string SystemMenuItems(HWND window) {
    JsonWriter json;
    json.BeginArray();
    const HMENU menu = ::GetSystemMenu(window, FALSE);
    const int count = menu ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        std::array<wchar_t, 256> text{};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
        item.dwTypeData = text.data();
        item.cch = static_cast<UINT>(text.size());
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) {
            continue;
        }
        json.BeginObject();
        json.Field("id", item.wID);
        json.Field("text", std::wstring_view(text.data()));
        json.Field("separator", (item.fType & MFT_SEPARATOR) != 0);
        json.Field("enabled", (item.fState & MFS_DISABLED) == 0);
        json.EndObject();
    }
    json.EndArray();
    return json.Text();
}

// Shared system icons are one handle per process, so the handle names the picture.
std::string IconName(HWND iconStatic) {
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(iconStatic, STM_GETICON, 0, 0));
    struct Known {
        LPCWSTR id;
        const char* name;
    };
    static const Known known[] = {
        {IDI_HAND, "hand"},         {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "asterisk"},
        {IDI_QUESTION, "question"}, {IDI_APPLICATION, "application"},
    };
    std::string name = icon ? "other" : "none";
    for (const Known& k : known) {
        if (icon && icon == ::LoadIconW(nullptr, k.id)) {
            name = k.name;
        }
    }
    return JsonWriter().String(std::string_view(name)).Text();
}

void Answer(const std::string& json) {
    const UniqueHandle section(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, ResultSectionName));
    if (!section) {
        return;
    }
    const UniqueView view(::MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, ResultSectionSize));
    if (view && json.size() < ResultSectionSize) {
        std::memcpy(view.get(), json.c_str(), json.size() + 1);
    }
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT queryMessage = ::RegisterWindowMessageW(QueryMessageName);
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (message->message == queryMessage) {
            const auto target = reinterpret_cast<HWND>(message->lParam);
            switch (message->wParam) {
            case querySystemMenu:
                Answer(SystemMenuItems(target));
                break;
            case queryIcon:
                Answer(IconName(target));
                break;
            default:
                break;
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
