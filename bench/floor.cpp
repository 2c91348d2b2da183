// The least a program showing the configuration dialog can do: the same template, run by the
// dialog manager with a dialog procedure that only ends it. Built a second time with
// FLOOR_STORES_CLICKS, it also writes a priority click to the settings file, the least a click
// that reaches the disk can cost.
#include <windows.h>

#include "resources/resource.h"

namespace {

#ifdef FLOOR_STORES_CLICKS
void StorePriority(LPCWSTR value) {
    ::WritePrivateProfileStringW(L"DirectX Errors", L"highspeed", value, L"c:\\dxerror.ini");
}
#endif

INT_PTR CALLBACK FloorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
#ifdef FLOOR_STORES_CLICKS
    case IDC_HIGH_PRIORITY:
        StorePriority(L"1");
        return TRUE;
    case IDC_NORMAL_PRIORITY:
        StorePriority(L"0");
        return TRUE;
#endif
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return static_cast<int>(
        ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CONFIG_DIALOG), nullptr, &FloorProc, 0));
}
