#include "platform/x11/X11WindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <string_view>

#include "app/Text.h"

namespace poremisu {

namespace {

// Windows of other programs may vanish between any two requests. While a
// trap is set, errors on our connection are recorded instead of ending the
// program; errors on other connections (the toolkit's) go to the handler
// that was there before.
Display* g_trapDisplay = nullptr;
int g_trapError = 0;
XErrorHandler g_previousHandler = nullptr;

int TrapHandler(Display* display, XErrorEvent* event) {
    if (display == g_trapDisplay) {
        if (g_trapError == 0) g_trapError = event->error_code;
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, event) : 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display)
        : m_display(display),
          m_savedDisplay(g_trapDisplay),
          m_savedError(g_trapError),
          m_savedPrevious(g_previousHandler) {
        XErrorHandler previous = XSetErrorHandler(TrapHandler);
        m_outermost = previous != TrapHandler;
        if (m_outermost) g_previousHandler = previous;
        g_trapDisplay = display;
        // Errors of requests made before the trap are not counted against it.
        XSync(display, False);
        g_trapError = 0;
    }
    ~ErrorTrap() {
        XSync(m_display, False);
        if (m_outermost) XSetErrorHandler(g_previousHandler);
        g_trapDisplay = m_savedDisplay;
        g_trapError = m_savedError;
        g_previousHandler = m_savedPrevious;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server has handled every request so far; true when
    // none of them failed since the last check.
    bool Check() {
        XSync(m_display, False);
        bool ok = g_trapError == 0;
        g_trapError = 0;
        return ok;
    }

private:
    Display* m_display;
    Display* m_savedDisplay;
    int m_savedError;
    XErrorHandler m_savedPrevious;
    bool m_outermost = false;
};

struct XFreeDeleter {
    void operator()(unsigned char* data) const {
        if (data) XFree(data);
    }
};

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    std::unique_ptr<unsigned char, XFreeDeleter> data;

    std::string_view Bytes() const {
        if (format != 8 || !data) return {};
        return {reinterpret_cast<const char*>(data.get()), items};
    }
    // Xlib hands 32-bit items over as longs.
    std::vector<unsigned long> Longs() const {
        std::vector<unsigned long> out;
        if (format != 32 || !data) return out;
        const long* values = reinterpret_cast<const long*>(data.get());
        for (unsigned long i = 0; i < items; ++i)
            out.push_back(static_cast<unsigned long>(values[i]) & 0xFFFFFFFFul);
        return out;
    }
};

// At most `bytes` bytes of the property, rounded up to whole 32-bit units.
Property ReadProperty(Display* display, Window window, Atom property, Atom type, std::size_t bytes) {
    constexpr std::size_t kMaxUnits = std::size_t{64} << 20 >> 2;
    long units = static_cast<long>(std::min(bytes / 4 + 1, kMaxUnits));
    Property result;
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, units, False, type, &result.type, &result.format,
                           &result.items, &bytesAfter, &data) != Success) {
        return {};
    }
    result.data.reset(data);
    if (type != AnyPropertyType && result.type != type) return {};
    return result;
}

}  // namespace

struct X11WindowSystem::Connection {
    Display* display = nullptr;
    Window root = 0;
    std::uint32_t lastToken = 0;  // of this process's last hand-off

    Atom clientListStacking = None;
    Atom supportingWmCheck = None;
    Atom netWmName = None;
    Atom utf8String = None;
    Atom netCloseWindow = None;
    Atom netActiveWindow = None;
    Atom netWmState = None;
    Atom netWmStateHidden = None;
    Atom netWmStateDemandsAttention = None;
    Atom wmProtocols = None;
    Atom wmDeleteWindow = None;
    Atom wmState = None;
    Atom command = None;
    Atom ack = None;
    Atom instance = None;

    explicit Connection(Display* d) : display(d), root(DefaultRootWindow(d)) {
        const char* names[] = {"_NET_CLIENT_LIST_STACKING",
                               "_NET_SUPPORTING_WM_CHECK",
                               "_NET_WM_NAME",
                               "UTF8_STRING",
                               "_NET_CLOSE_WINDOW",
                               "_NET_ACTIVE_WINDOW",
                               "_NET_WM_STATE",
                               "_NET_WM_STATE_HIDDEN",
                               "_NET_WM_STATE_DEMANDS_ATTENTION",
                               "WM_PROTOCOLS",
                               "WM_DELETE_WINDOW",
                               "WM_STATE",
                               kHandOffMessageType,
                               kHandOffAckProperty,
                               kInstanceProperty};
        constexpr int kCount = sizeof names / sizeof names[0];
        Atom atoms[kCount] = {};
        XInternAtoms(display, const_cast<char**>(names), kCount, False, atoms);
        Atom* targets[] = {&clientListStacking,
                           &supportingWmCheck,
                           &netWmName,
                           &utf8String,
                           &netCloseWindow,
                           &netActiveWindow,
                           &netWmState,
                           &netWmStateHidden,
                           &netWmStateDemandsAttention,
                           &wmProtocols,
                           &wmDeleteWindow,
                           &wmState,
                           &command,
                           &ack,
                           &instance};
        for (int i = 0; i < kCount; ++i) *targets[i] = atoms[i];
    }
    ~Connection() { XCloseDisplay(display); }

    Window WindowProperty(Window window, Atom property) {
        Property value = ReadProperty(display, window, property, XA_WINDOW, 4);
        auto longs = value.Longs();
        return longs.empty() ? 0 : longs.front();
    }

    // A window manager that follows the desktop conventions names a check
    // window on the root that names itself; a stale name left by one that
    // has ended does not.
    bool WindowManagerRunning() {
        Window check = WindowProperty(root, supportingWmCheck);
        return check != 0 && WindowProperty(check, supportingWmCheck) == check;
    }

    // The window that a manager framing it marked as managed (WM_STATE): `top` or the first one below
    // it, nearest first; `top` itself where there is none, as on a server without a manager. A frame
    // holds its window a level or two down: the look goes no deeper, nor past a few windows, whatever
    // another client's windows hold.
    Window ClientOf(Window top) {
        constexpr std::size_t kFrameDepth = 2, kFrameWindows = 64;
        std::vector<Window> windows{top};
        for (std::size_t i = 0, depth = 0, levelEnd = 1; i < windows.size(); ++i) {
            if (i == levelEnd) ++depth, levelEnd = windows.size();
            if (ReadProperty(display, windows[i], wmState, wmState, 8).type == wmState) return windows[i];
            Window rootReturn = 0, parent = 0, *children = nullptr;
            unsigned int count = 0;
            if (depth == kFrameDepth || !XQueryTree(display, windows[i], &rootReturn, &parent, &children, &count)) {
                continue;
            }
            std::size_t room = kFrameWindows - windows.size();
            windows.insert(windows.end(), children, children + std::min<std::size_t>(count, room));
            if (children) XFree(children);
        }
        return top;
    }

    bool Alive(Window window, XWindowAttributes& attributes) {
        return XGetWindowAttributes(display, window, &attributes) != 0;
    }

    bool IsIconic(Window window) {
        auto state = ReadProperty(display, window, wmState, wmState, 8).Longs();
        if (!state.empty() && state.front() == IconicState) return true;
        auto netState = ReadProperty(display, window, netWmState, XA_ATOM, 4096).Longs();
        return std::find(netState.begin(), netState.end(), netWmStateHidden) != netState.end();
    }

    bool HasDeleteProtocol(Window window) {
        Atom* protocols = nullptr;
        int count = 0;
        if (!XGetWMProtocols(display, window, &protocols, &count)) return false;
        bool found = std::find(protocols, protocols + count, wmDeleteWindow) != protocols + count;
        XFree(protocols);
        return found;
    }

    void SendClientMessage(Window destination, Window about, Atom type, long mask,
                           std::initializer_list<long> data) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = about;
        event.xclient.message_type = type;
        event.xclient.format = 32;
        int i = 0;
        for (long value : data) event.xclient.data.l[i++] = value;
        XSendEvent(display, destination, False, mask, &event);
    }

    std::optional<std::uint32_t> Ack(Window window) {
        auto value = ReadProperty(display, window, ack, XA_CARDINAL, 4).Longs();
        if (value.empty()) return std::nullopt;
        return static_cast<std::uint32_t>(value.front());
    }

    enum class Wait { Continue, Done, Failed };

    // The server's present time, read off the notice of an empty append to a
    // property of `window` (whose property changes are watched); CurrentTime
    // when the notice does not come in time.
    Time ServerTime(Window window, std::chrono::steady_clock::time_point deadline) {
        XChangeProperty(display, window, ack, XA_CARDINAL, 32, PropModeAppend, nullptr, 0);
        Time now = CurrentTime;
        WaitFor(deadline, [&](const XEvent& event) {
            if (event.type != PropertyNotify || event.xproperty.window != window || event.xproperty.atom != ack)
                return Wait::Continue;
            now = event.xproperty.time;
            return Wait::Done;
        });
        return now;
    }

    // Handles events until `onEvent` decides or the deadline passes.
    template <typename OnEvent>
    bool WaitFor(std::chrono::steady_clock::time_point deadline, OnEvent onEvent) {
        for (;;) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                Wait result = onEvent(event);
                if (result != Wait::Continue) return result == Wait::Done;
            }
            auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd ready{ConnectionNumber(display), POLLIN, 0};
            ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        }
    }
};

X11WindowSystem::X11WindowSystem(const CodePage& codePage) : m_codePage(codePage) {
    if (Display* display = XOpenDisplay(nullptr)) m_x = std::make_unique<Connection>(display);
}

X11WindowSystem::X11WindowSystem(const CodePage& codePage, const std::string& displayName)
    : m_codePage(codePage) {
    if (Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str())) {
        m_x = std::make_unique<Connection>(display);
    }
}

X11WindowSystem::~X11WindowSystem() = default;

std::vector<WindowId> X11WindowSystem::TopLevelWindows() {
    std::vector<WindowId> windows;
    if (!m_x) return windows;
    Display* display = m_x->display;
    ErrorTrap trap(display);

    if (m_x->WindowManagerRunning()) {
        // The manager's list holds the managed windows themselves, not their
        // frames, bottom of the stack first.
        Property list = ReadProperty(display, m_x->root, m_x->clientListStacking, XA_WINDOW, 64u << 20);
        auto stack = list.Longs();
        if (list.type == XA_WINDOW) {
            windows.assign(stack.rbegin(), stack.rend());
            return windows;
        }
    }

    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, m_x->root, &rootReturn, &parent, &children, &count)) return windows;
    // Without the manager's list, the stack of the root's children is what stands on the screen. A
    // manager without the list (one redirects the root's requests) may have framed each window, and
    // hides the frame of a minimised one; it never frames a menu or a tip that skips it.
    XWindowAttributes attributes;
    bool managed = m_x->Alive(m_x->root, attributes) && (attributes.all_event_masks & SubstructureRedirectMask);
    for (unsigned int i = count; i-- > 0;) {
        if (!m_x->Alive(children[i], attributes)) continue;
        bool shown = attributes.map_state == IsViewable;
        Window client = managed && !attributes.override_redirect ? m_x->ClientOf(children[i]) : children[i];
        if (shown || (client != children[i] && m_x->IsIconic(client))) windows.push_back(client);
    }
    if (children) XFree(children);
    return windows;
}

bool X11WindowSystem::Exists(WindowId window) {
    if (!m_x || window == 0) return false;
    ErrorTrap trap(m_x->display);
    XWindowAttributes attributes;
    return m_x->Alive(window, attributes);
}

std::string X11WindowSystem::Title(WindowId window, std::size_t count) {
    if (!m_x || window == 0 || count <= 1) return {};
    Display* display = m_x->display;
    // Far beyond any caller's buffer; it only keeps the sums below in range.
    constexpr std::size_t kMaxTitleBytes = std::size_t{16} << 20;
    std::size_t maxBytes = std::min(count - 1, kMaxTitleBytes);
    // Every character takes at least one byte in any code page and at most
    // four in UTF-8: that much of a long title is enough.
    bool identity = m_codePage.IsUtf8();
    std::size_t utf8Needed = identity ? maxBytes + 4 : 4 * maxBytes + 4;

    ErrorTrap trap(display);
    std::string utf8;
    Property name = ReadProperty(display, window, m_x->netWmName, m_x->utf8String, utf8Needed);
    if (name.type == m_x->utf8String && name.format == 8) {
        utf8 = std::string(name.Bytes());
    } else {
        Property legacy = ReadProperty(display, window, XA_WM_NAME, AnyPropertyType, utf8Needed + 64);
        if (legacy.format != 8 || !legacy.data) return {};
        if (legacy.type == XA_STRING) {
            utf8 = Latin1ToUtf8(legacy.Bytes());
        } else if (legacy.type == m_x->utf8String) {
            utf8 = std::string(legacy.Bytes());
        } else {
            // Compound text and the like: Xlib knows their encodings.
            XTextProperty text{legacy.data.get(), legacy.type, legacy.format, legacy.items};
            char** list = nullptr;
            int listCount = 0;
            if (Xutf8TextPropertyToTextList(display, &text, &list, &listCount) >= Success && list) {
                for (int i = 0; i < listCount; ++i) utf8 += list[i];
                XFreeStringList(list);
            }
        }
    }
    // The title ends at a zero byte, as it would in a C buffer.
    utf8 = CutToCount(utf8, utf8.size() + 1);
    return m_codePage.FromUtf8(utf8, maxBytes);
}

bool X11WindowSystem::IsProgramWindow(WindowId window, const std::string& instanceName) {
    if (!m_x || window == 0) return false;
    ErrorTrap trap(m_x->display);
    // A copy of the program in another folder marks its window with another name.
    Property mark = ReadProperty(m_x->display, window, m_x->instance, XA_STRING, instanceName.size() + 1);
    if (mark.Bytes() != instanceName) return false;
    XClassHint hint{};
    if (!XGetClassHint(m_x->display, window, &hint)) return false;
    bool ours = hint.res_name && hint.res_class && std::string_view(hint.res_name) == kProgramClass &&
                std::string_view(hint.res_class) == kProgramClass;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return ours;
}

void X11WindowSystem::RequestClose(WindowId window, std::chrono::milliseconds timeout) {
    if (!m_x || window == 0) return;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    Display* display = m_x->display;
    ErrorTrap trap(display);
    XWindowAttributes attributes;
    if (!m_x->Alive(window, attributes)) return;

    // Watching starts before the request, so that no answer can be missed.
    XSelectInput(display, window, StructureNotifyMask);
    XSync(display, True);
    bool sent = false;
    if (m_x->WindowManagerRunning()) {
        // Through the manager, as its close button would do it.
        m_x->SendClientMessage(m_x->root, window, m_x->netCloseWindow,
                               SubstructureRedirectMask | SubstructureNotifyMask, {CurrentTime, 2});
        sent = true;
    } else if (m_x->HasDeleteProtocol(window)) {
        m_x->SendClientMessage(window, window, m_x->wmProtocols, NoEventMask,
                               {static_cast<long>(m_x->wmDeleteWindow), CurrentTime});
        sent = true;
    }
    if (!trap.Check()) return;  // gone meanwhile
    if (sent) {
        m_x->WaitFor(deadline, [&](const XEvent& event) {
            // Destroyed, or (a window may also answer so) hidden.
            bool gone = (event.type == DestroyNotify && event.xdestroywindow.window == window) ||
                        (event.type == UnmapNotify && event.xunmap.window == window);
            return gone ? Connection::Wait::Done : Connection::Wait::Continue;
        });
    }
    XSelectInput(display, window, NoEventMask);
}

bool X11WindowSystem::SendHandOff(WindowId window, std::chrono::milliseconds timeout) {
    if (!m_x || window == 0) return false;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    Display* display = m_x->display;
    ErrorTrap trap(display);
    XWindowAttributes attributes;
    if (!m_x->Alive(window, attributes)) return false;

    // The first token comes from the process id and the clock, so that a reused id does not repeat
    // an earlier process's tokens; later ones count up from it, so that no two of this process's
    // hand-offs take each other's answers. Below 2^31, so that the value reads the same as a signed
    // long on every side; never zero, which no answer should match.
    if (m_x->lastToken == 0) {
        m_x->lastToken = (static_cast<std::uint32_t>(::getpid()) << 8) ^
                         static_cast<std::uint32_t>(std::time(nullptr));
    }
    std::uint32_t token = (m_x->lastToken + 1) & 0x7FFFFFFFu;
    if (token == 0) token = 1;
    m_x->lastToken = token;  // the masked value, so that past the wrap the count goes on from 1, not stuck at it

    XDeleteProperty(display, window, m_x->ack);
    XSelectInput(display, window, PropertyChangeMask | StructureNotifyMask);
    XSync(display, True);
    if (!trap.Check()) return false;

    // The window comes to the front with the focus. A minimised one stays
    // minimised, as it would where the system brings a minimised window to
    // the foreground: its task entry asks for the user's attention instead.
    if (m_x->IsIconic(window)) {
        if (m_x->WindowManagerRunning()) {
            m_x->SendClientMessage(m_x->root, window, m_x->netWmState,
                                   SubstructureRedirectMask | SubstructureNotifyMask,
                                   {1, static_cast<long>(m_x->netWmStateDemandsAttention), 0, 2});
        }
    } else {
        if (m_x->WindowManagerRunning()) {
            // As a pager asks, which the manager's focus-stealing rules let
            // through, stamped with this start's moment: a manager that
            // weighs the time sees a request newer than the user's last input.
            m_x->SendClientMessage(m_x->root, window, m_x->netActiveWindow,
                                   SubstructureRedirectMask | SubstructureNotifyMask,
                                   {2, static_cast<long>(m_x->ServerTime(window, deadline)), 0});
        } else {
            XRaiseWindow(display, window);
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
        }
        // A window that cannot take the focus still takes the command.
        trap.Check();
    }
    m_x->SendClientMessage(window, window, m_x->command, NoEventMask,
                           {kHandOffCommand, static_cast<long>(token)});
    XFlush(display);

    bool handled = m_x->Ack(window) == token;
    if (!handled) {
        handled = m_x->WaitFor(deadline, [&](const XEvent& event) {
            if (event.type == DestroyNotify && event.xdestroywindow.window == window)
                return Connection::Wait::Failed;
            if (event.type == PropertyNotify && event.xproperty.window == window &&
                event.xproperty.atom == m_x->ack && event.xproperty.state == PropertyNewValue &&
                m_x->Ack(window) == token) {
                return Connection::Wait::Done;
            }
            return Connection::Wait::Continue;
        });
    }
    XSelectInput(display, window, NoEventMask);
    return handled;
}

}  // namespace poremisu
