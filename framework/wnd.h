#pragma once

#include "framework/handles.h"
#include "framework/message_map.h"

#include <windows.h>

// Asks a window for its help context; the answer is the context, or 0 for none.
inline constexpr UINT WM_COMMANDHELP = 0x0365;

inline constexpr DWORD HID_BASE_RESOURCE = 0x20000;
inline constexpr DWORD HID_BASE_PROMPT = 0x30000;

inline constexpr UINT ID_HELP = 0xE146;

class AttachOnCreate;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    static CWnd* FromHandlePermanent(HWND hWnd);

    // Hands the message being handled, unchanged, to the window's original procedure.
    LRESULT Default();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

    // Centres over the owner, or in the work area when there is none or it is hidden or
    // minimised, and keeps the window inside the work area.
    void CenterWindow();

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageMap messageMap;

    HWND m_hWnd = nullptr;

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnHelpInfo(HELPINFO* info);

private:
    friend LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    friend class AttachOnCreate;
    void SubclassNewWindow(HWND hWnd);
    void Detach() noexcept;

    WNDPROC m_pfnSuper = nullptr;
    static const MessageMapEntry messageEntries[];
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// While it lives, the next window this thread creates is attached to wnd as it is made, so
// that every message from WM_NCCREATE on passes through wnd's message map.
class AttachOnCreate {
public:
    explicit AttachOnCreate(CWnd& wnd);
    AttachOnCreate(const AttachOnCreate&) = delete;
    AttachOnCreate& operator=(const AttachOnCreate&) = delete;
    ~AttachOnCreate();

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
};

// Begins painting on construction and ends it on destruction.
class CPaintDC {
public:
    explicit CPaintDC(CWnd& wnd) : m_hWnd(wnd.m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

    HDC m_hDC;
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// Shows the wait cursor for as long as it lives.
class CWaitCursor {
public:
    CWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    ~CWaitCursor() { ::SetCursor(m_previous); }

private:
    HCURSOR m_previous;
};
