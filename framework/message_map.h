#pragma once

#include <windows.h>

#include <span>
#include <type_traits>

// Message maps: a plain static table per class binds window messages and control
// notifications to member functions. Lookup walks from the most derived map to its bases.

class CCmdTarget;

using MessageHandlerThunk = LRESULT (*)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT message; // WM_COMMAND for commands and control notifications
    UINT code;    // notification code (BN_CLICKED), 0 for plain commands
    UINT id;      // command or control id; 0 for other messages
    MessageHandlerThunk thunk;
};

struct MessageMap {
    const MessageMap* base;
    std::span<const MessageMapEntry> entries;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    virtual const MessageMap* GetMessageMap() const { return nullptr; }

    const MessageMapEntry* FindMessageEntry(UINT message, UINT code, UINT id) const;

    // Runs the handler bound to a command; false when none is bound.
    bool OnCmdMsg(UINT id, UINT code);
};

namespace message_map_detail {

template <class> struct HandlerClass;
template <class C, class R, class... Args> struct HandlerClass<R (C::*)(Args...)> {
    using type = C;
};

template <class> inline constexpr bool unsupported = false;

// Unpacks the message parameters for the handler signatures the framework knows.
template <auto Handler> LRESULT Invoke(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
    using C = typename HandlerClass<decltype(Handler)>::type;
    using H = decltype(Handler);
    C& self = static_cast<C&>(target);
    if constexpr (std::is_same_v<H, void (C::*)()>) {
        (self.*Handler)();
        return 0;
    } else if constexpr (std::is_same_v<H, void (C::*)(UINT, LPARAM)>) {
        (self.*Handler)(static_cast<UINT>(wParam), lParam);
        return 0;
    } else if constexpr (std::is_same_v<H, int (C::*)(LPCREATESTRUCTW)>) {
        return (self.*Handler)(reinterpret_cast<LPCREATESTRUCTW>(lParam));
    } else if constexpr (std::is_same_v<H, HCURSOR (C::*)()>) {
        return reinterpret_cast<LRESULT>((self.*Handler)());
    } else if constexpr (std::is_same_v<H, BOOL (C::*)(HELPINFO*)>) {
        return (self.*Handler)(reinterpret_cast<HELPINFO*>(lParam));
    } else if constexpr (std::is_same_v<H, LRESULT (C::*)(WPARAM, LPARAM)>) {
        return (self.*Handler)(wParam, lParam);
    } else {
        static_assert(unsupported<H>, "no message-map signature for this handler");
    }
}

} // namespace message_map_detail

template <auto Handler> constexpr MessageMapEntry MessageEntry(UINT message) {
    return {message, 0, 0, &message_map_detail::Invoke<Handler>};
}

template <auto Handler> constexpr MessageMapEntry CommandEntry(UINT id) {
    return {WM_COMMAND, 0, id, &message_map_detail::Invoke<Handler>};
}

template <auto Handler> constexpr MessageMapEntry ClickedEntry(UINT id) {
    return {WM_COMMAND, BN_CLICKED, id, &message_map_detail::Invoke<Handler>};
}
