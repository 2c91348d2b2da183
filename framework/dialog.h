#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // Creates the dialog from its template resource and runs it modally. Returns the
    // result given to EndDialog, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();

    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageMap messageMap;

protected:
    // Data exchange between members and controls; saveAndValidate on OK, not at start.
    virtual void DoDataExchange(bool saveAndValidate) { (void)saveAndValidate; }
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDHelp; // the template id, which is also the dialog's help context

private:
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    LRESULT OnCommandHelp(WPARAM wParam, LPARAM lParam);

    CWnd* m_pParentWnd;
    static const MessageMapEntry messageEntries[];
};

// Dialogs of this framework need no 3-D controls library: every system this program runs
// on draws the 3-D look itself.
inline BOOL Enable3dControlsStatic() { return TRUE; }
