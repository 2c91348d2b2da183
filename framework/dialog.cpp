#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/strings.h"

namespace {

// The dialog manager only ever sees "not handled": every message is routed through the
// dialog object's window procedure, which calls the manager's default processing itself.
INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace

const MessageMapEntry CDialog::messageEntries[] = {
    MessageEntry<&CDialog::HandleInitDialog>(WM_INITDIALOG),
    MessageEntry<&CDialog::OnCommandHelp>(WM_COMMANDHELP),
    CommandEntry<&CDialog::OnOK>(IDOK),
    CommandEntry<&CDialog::OnCancel>(IDCANCEL),
};
const MessageMap CDialog::messageMap{&CWnd::messageMap, messageEntries};

INT_PTR CDialog::DoModal() {
    const HINSTANCE instance = AfxGetResourceHandle();
    const HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(m_nIDHelp), RT_DIALOG);
    const HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
    const auto* dialogTemplate =
        loaded ? static_cast<LPCDLGTEMPLATEW>(::LockResource(loaded)) : nullptr;
    if (!dialogTemplate) {
        return -1;
    }
    const HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : AfxGetSafeOwner();

    const AttachOnCreate attach(*this);
    return ::DialogBoxIndirectParamW(instance, dialogTemplate, owner, &DialogProc, 0);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange(false);
    return TRUE;
}

void CDialog::OnOK() {
    DoDataExchange(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    RECT before{};
    ::GetWindowRect(m_hWnd, &before);
    const BOOL result = OnInitDialog();

    // A dialog that initialisation left hidden, unmoved and unowned (or whose owner it
    // disabled) is centred. A failed initialisation never gets here: it stays where the
    // template put it.
    RECT after{};
    ::GetWindowRect(m_hWnd, &after);
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (!(style & (WS_VISIBLE | WS_CHILD | DS_CENTER | DS_ABSALIGN)) && after.left == before.left &&
        after.top == before.top && (!owner || !::IsWindowEnabled(owner))) {
        CenterWindow();
    }
    return result;
}

LRESULT CDialog::OnCommandHelp(WPARAM, LPARAM) {
    return m_nIDHelp ? HID_BASE_RESOURCE + m_nIDHelp : 0;
}
