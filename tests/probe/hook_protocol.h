#pragma once

#include <windows.h>

// How the probe asks inside the tool's process for what Wine does not hand across
// processes (menus and icons are objects of their owning process there): it hooks the
// dialog's thread, sends it QueryMessageName with a QueryKind and a window, and the hook
// writes its answer, UTF-8 JSON ended by a NUL, into the shared section ResultSectionName.

inline constexpr const wchar_t* QueryMessageName = L"BrivelProbeQuery";
inline constexpr const wchar_t* ResultSectionName = L"BrivelProbeResult";
inline constexpr DWORD ResultSectionSize = 64 * 1024;
inline constexpr const char* HookProcName = "ProbeCallWndProc";

enum QueryKind : WPARAM {
    querySystemMenu = 1, // lParam: a top-level window; answer: array of its menu items
    queryIcon = 2,       // lParam: an SS_ICON static; answer: the name of its system icon
};
