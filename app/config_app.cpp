#include "app/config_app.h"

#include "dialogs/config_dialog.h"
#include "framework/dialog.h"
#include "resources/resource.h"

const MessageMapEntry CConfigApp::messageEntries[] = {
    CommandEntry<&CWinApp::OnHelp>(ID_HELP),
};
const MessageMap CConfigApp::messageMap{&CWinApp::messageMap, messageEntries};

BOOL CConfigApp::InitInstance() {
    Enable3dControlsStatic();

    CConfigDlg dialog;
    dialog.SetWindowIcon(::LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    // The dialog's destructor resets the reference, so it never dangles.
    // cppcheck-suppress danglingLifetime
    m_pMainWnd = &dialog;
    dialog.DoModal();
    return FALSE;
}

CConfigApp theApp;
