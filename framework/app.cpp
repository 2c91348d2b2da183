#include "framework/app.h"

#include "framework/strings.h"

#include <array>

namespace {

CWinApp* theApplication = nullptr;

// Sends WM_CANCELMODE to every descendant of parent.
BOOL CALLBACK CancelModeOf(HWND hWnd, LPARAM) {
    ::SendMessageW(hWnd, WM_CANCELMODE, 0, 0);
    return TRUE;
}

// Asks wnd and then its parents or owners for a help context.
DWORD HelpContextOf(HWND wnd) {
    for (; wnd; wnd = ::GetParent(wnd)) {
        if (const auto context = static_cast<DWORD>(::SendMessageW(wnd, WM_COMMANDHELP, 0, 0))) {
            return context;
        }
    }
    return 0;
}

} // namespace

AppNames AfxDeriveAppNames(std::wstring_view modulePath) {
    // Only the last dot cuts: "my.setup.exe" is "my.setup".
    const std::wstring_view stem = modulePath.substr(0, modulePath.rfind(L'.'));
    const std::size_t directoryEnd = stem.find_last_of(L"\\/:");
    AppNames names;
    names.exeName = stem.substr(directoryEnd == std::wstring_view::npos ? 0 : directoryEnd + 1);
    names.helpFilePath = std::wstring(stem) + L".HLP";
    names.profileName = names.exeName + L".INI";
    return names;
}

CWinApp::CWinApp(LPCWSTR appName) : m_pszRequestedAppName(appName) { theApplication = this; }

CWinApp::~CWinApp() {
    if (theApplication == this) {
        theApplication = nullptr;
    }
}

void CWinApp::Initialize(HINSTANCE instance, LPWSTR cmdLine, int cmdShow) {
    // Let a drive that is not ready or a file that cannot be opened come back as an error
    // code instead of a system dialog.
    ::SetErrorMode(::SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    m_hInstance = instance;
    m_lpCmdLine = cmdLine;
    m_nCmdShow = cmdShow;

    std::array<wchar_t, MAX_PATH> modulePath{};
    const DWORD length = ::GetModuleFileNameW(instance, modulePath.data(), MAX_PATH);
    AppNames names = AfxDeriveAppNames(std::wstring_view(modulePath.data(), length));
    m_strExeName = std::move(names.exeName);
    m_strHelpFilePath = std::move(names.helpFilePath);
    m_strProfileName = std::move(names.profileName);

    if (m_pszRequestedAppName) {
        m_strAppName = m_pszRequestedAppName;
    } else if (std::wstring title = AfxLoadString(AFX_IDS_APP_TITLE); !title.empty()) {
        m_strAppName = std::move(title);
    } else {
        m_strAppName = m_strExeName;
    }
}

const MessageMap CWinApp::messageMap{nullptr, {}};

void CWinApp::WinHelp(DWORD_PTR data, UINT command) {
    CWnd* mainWnd = AfxGetMainWnd();
    if (!mainWnd || !mainWnd->m_hWnd) {
        return;
    }
    const CWaitCursor wait;
    // Menus, drags and captures end before the viewer takes over the input.
    ::EnumChildWindows(mainWnd->m_hWnd, &CancelModeOf, 0);
    mainWnd->SendMessage(WM_CANCELMODE);
    if (const HWND capture = ::GetCapture()) {
        ::SendMessageW(capture, WM_CANCELMODE, 0, 0);
    }
    if (!::WinHelpW(mainWnd->m_hWnd, m_strHelpFilePath.c_str(), command, data)) {
        AfxMessageBox(AFX_IDP_FAILED_TO_LAUNCH_HELP, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CWinApp::OnHelp() {
    if (m_dwPromptContext != 0) {
        // Help on "Failed to launch help." itself would only fail again.
        if (m_dwPromptContext != HID_BASE_PROMPT + AFX_IDP_FAILED_TO_LAUNCH_HELP) {
            WinHelp(m_dwPromptContext);
        }
        return;
    }
    CWnd* mainWnd = AfxGetMainWnd();
    const HWND lastPopup =
        mainWnd && mainWnd->m_hWnd ? ::GetLastActivePopup(mainWnd->m_hWnd) : nullptr;
    for (const HWND start : {::GetCapture(), ::GetFocus(), lastPopup}) {
        if (const DWORD context = HelpContextOf(start)) {
            WinHelp(context);
            return;
        }
    }
}

int CWinApp::DoMessageBox(const std::wstring& text, UINT type, UINT helpId) {
    const DWORD outerContext = m_dwPromptContext;
    if (helpId != 0) {
        m_dwPromptContext = HID_BASE_PROMPT + helpId;
    }
    const int result = ::MessageBoxW(AfxGetSafeOwner(), text.c_str(), m_strAppName.c_str(), type);
    m_dwPromptContext = outerContext;
    return result;
}

CWinApp* AfxGetApp() { return theApplication; }

CWnd* AfxGetMainWnd() { return theApplication ? theApplication->m_pMainWnd : nullptr; }

HWND AfxGetSafeOwner() {
    const CWnd* mainWnd = AfxGetMainWnd();
    return mainWnd && mainWnd->m_hWnd ? ::GetLastActivePopup(mainWnd->m_hWnd) : nullptr;
}

int AfxMessageBox(const std::wstring& text, UINT type, UINT helpId) {
    if (CWinApp* app = AfxGetApp()) {
        return app->DoMessageBox(text, type, helpId);
    }
    return ::MessageBoxW(nullptr, text.c_str(), nullptr, type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
    return AfxMessageBox(AfxLoadString(promptId), type,
                         helpId == static_cast<UINT>(-1) ? promptId : helpId);
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int cmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app) {
        return -1;
    }
    app->Initialize(instance, cmdLine, cmdShow);
    // Applications of this framework do all their work in a modal dialog inside
    // InitInstance and return FALSE, so there is no message loop of its own.
    if (app->InitApplication()) {
        app->InitInstance();
    }
    return app->ExitInstance();
}
