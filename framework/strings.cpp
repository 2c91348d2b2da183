#include "framework/strings.h"

#include "framework/app.h"

HINSTANCE AfxGetResourceHandle() {
    const CWinApp* app = AfxGetApp();
    return app && app->m_hInstance ? app->m_hInstance : ::GetModuleHandleW(nullptr);
}

std::wstring AfxLoadString(UINT id) {
    // LoadStringW cuts a text to the buffer without saying so; a text that comes within
    // two characters of the buffer's end may have been cut, so read again, larger.
    std::wstring text(256, L'\0');
    int length = 0;
    for (;;) {
        length =
            ::LoadStringW(AfxGetResourceHandle(), id, text.data(), static_cast<int>(text.size()));
        if (static_cast<int>(text.size()) - length > 2) {
            break;
        }
        text.resize(text.size() + 256);
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}
