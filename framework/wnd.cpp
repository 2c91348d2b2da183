#include "framework/wnd.h"

#include "framework/app.h"
#include "framework/exceptions.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace {

// The objects of this thread's attached windows. A window property would do, but under
// some window systems each lookup is a round trip to another process, and a lookup
// happens for every message.
std::vector<std::pair<HWND, CWnd*>> attachedWindows;

struct CurrentMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// The message being dispatched, for Default(). One thread, but messages nest.
CurrentMessage currentMessage;

CWnd* windowBeingCreated = nullptr;
// Installed only until the window being created arrives, so that no later window
// creation pays for it.
UniqueHook creationHook;

void ReportException(const CException& error) noexcept {
    try {
        error.ReportError();
    } catch (...) {
        ::MessageBoxW(nullptr, L"Out of memory.", nullptr,
                      MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    }
}

} // namespace

const MessageMapEntry* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const {
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        const auto entry =
            std::find_if(map->entries.begin(), map->entries.end(), [&](const MessageMapEntry& e) {
                return e.message == message && e.code == code && e.id == id;
            });
        if (entry != map->entries.end()) {
            return &*entry;
        }
    }
    return nullptr;
}

bool CCmdTarget::OnCmdMsg(UINT id, UINT code) {
    const MessageMapEntry* entry = FindMessageEntry(WM_COMMAND, code, id);
    if (!entry) {
        return false;
    }
    entry->thunk(*this, 0, 0);
    return true;
}

const MessageMapEntry CWnd::messageEntries[] = {
    MessageEntry<&CWnd::OnHelpInfo>(WM_HELP),
};
const MessageMap CWnd::messageMap{nullptr, messageEntries};

CWnd::~CWnd() {
    // The main-window reference never outlives its object, also when no window was made.
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    const auto found =
        std::find_if(attachedWindows.begin(), attachedWindows.end(),
                     [hWnd](const auto& attached) { return attached.first == hWnd; });
    return found == attachedWindows.end() ? nullptr : found->second;
}

void CWnd::SubclassNewWindow(HWND hWnd) {
    attachedWindows.emplace_back(hWnd, this);
    m_hWnd = hWnd;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
}

AttachOnCreate::AttachOnCreate(CWnd& wnd) {
    windowBeingCreated = &wnd;
    creationHook.reset(::SetWindowsHookExW(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId()));
}

AttachOnCreate::~AttachOnCreate() {
    creationHook.reset();
    windowBeingCreated = nullptr;
}

LRESULT CALLBACK AttachOnCreate::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && windowBeingCreated) {
        CWnd* wnd = std::exchange(windowBeingCreated, nullptr);
        creationHook.reset();
        // Without memory for its entry the window runs unattached, on its class's own
        // handling; nothing may unwind into the window system.
        try {
            wnd->SubclassNewWindow(reinterpret_cast<HWND>(wParam));
        } catch (const std::bad_alloc&) {
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CWnd::Detach() noexcept {
    std::erase_if(attachedWindows,
                  [this](const auto& attached) { return attached.second == this; });
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
    m_hWnd = nullptr;
}

LRESULT CWnd::Default() {
    return DefWindowProc(currentMessage.message, currentMessage.wParam, currentMessage.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_pfnSuper ? ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam)
                      : ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, result)) {
        result = DefWindowProc(message, wParam, lParam);
    }
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_COMMAND) {
        result = 0;
        return OnCommand(wParam, lParam);
    }
    const MessageMapEntry* entry = FindMessageEntry(message, 0, 0);
    if (!entry) {
        return false;
    }
    result = entry->thunk(*this, wParam, lParam);
    return true;
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if (OnCmdMsg(id, code)) {
        return true;
    }
    // Commands that no control sends (0x8000 to 0xEFFF) go on to the owner, then to the
    // application.
    if (id < 0x8000 || id >= 0xF000) {
        return false;
    }
    if (CWnd* owner = FromHandlePermanent(::GetWindow(m_hWnd, GW_OWNER));
        owner && owner->OnCmdMsg(id, code)) {
        return true;
    }
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code);
}

BOOL CWnd::OnHelpInfo(HELPINFO*) {
    const bool modified =
        ::GetKeyState(VK_SHIFT) < 0 || ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0;
    CWnd* mainWnd = AfxGetMainWnd();
    if (!(::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD) && mainWnd && mainWnd->m_hWnd &&
        !modified) {
        mainWnd->SendMessage(WM_COMMAND, ID_HELP);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void CWnd::CenterWindow() {
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT area = monitor.rcWork;

    RECT center = area;
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &center);
    }
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG left = (center.left + center.right) / 2 - width / 2;
    LONG top = (center.top + center.bottom) / 2 - height / 2;
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (!wnd) {
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    const CurrentMessage outer = currentMessage;
    currentMessage = {message, wParam, lParam};
    LRESULT result = 0;
    // A failure ends the handling of this one message; the window goes on. Nothing may
    // unwind into the window system.
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (const CException& error) {
        ReportException(error);
    } catch (const std::bad_alloc&) {
        ReportException(CMemoryException());
    }
    currentMessage = outer;
    if (message == WM_NCDESTROY) {
        wnd->Detach();
    }
    return result;
}
