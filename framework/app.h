#pragma once

#include "framework/wnd.h"

#include <string>
#include <string_view>

inline constexpr UINT AFX_IDS_APP_TITLE = 57344;
inline constexpr UINT AFX_IDP_FAILED_TO_LAUNCH_HELP = 61703;

// Names the framework derives from the executable's path.
struct AppNames {
    std::wstring exeName;      // file name without directory and extension
    std::wstring helpFilePath; // the path with ".HLP" in place of the extension
    std::wstring profileName;  // exeName + ".INI"
};
AppNames AfxDeriveAppNames(std::wstring_view modulePath);

// The application object. Exactly one exists, a global; it carries the whole life of the
// process, which ends when InitInstance returns.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    ~CWinApp() override;

    virtual BOOL InitApplication() { return TRUE; }
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    // Asks the system help viewer for a help context; reports when it cannot be started.
    virtual void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);

    virtual int DoMessageBox(const std::wstring& text, UINT type, UINT helpId);

    // The Help command (F1): the context of an open message box, or else of the window
    // with the capture, the focus or the main window's last active pop-up.
    void OnHelp();

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageMap messageMap;

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    std::wstring m_strExeName;
    std::wstring m_strAppName;
    std::wstring m_strHelpFilePath;
    std::wstring m_strProfileName;
    DWORD m_dwPromptContext = 0; // help context of the message box being shown, if any

private:
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPWSTR, int);
    void Initialize(HINSTANCE instance, LPWSTR cmdLine, int cmdShow);

    LPCWSTR m_pszRequestedAppName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// The window that framework message boxes and dialogs without a parent are owned by:
// the main window's last active pop-up, or none.
HWND AfxGetSafeOwner();

int AfxMessageBox(const std::wstring& text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));

int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdLine, int cmdShow);
