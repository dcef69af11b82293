#include "wash/lockwatch.h"

#include <windows.h>
#include <wtsapi32.h>

namespace {

/// The keyboard and mouse go to another desktop than the user's: the lock screen (and any
/// secure prompt) is a desktop of its own, which the user's program may neither open nor switch
/// to. Read once at the start; the session's messages tell every change after it.
bool InputDesktopElsewhere()
{
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP);
    if (!input)
        return true;
    const bool ours = SwitchDesktop(input) != FALSE;
    CloseDesktop(input);
    return !ours;
}

bool ScreenSaverRunning()
{
    BOOL running = FALSE;
    return SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0) && running;
}

/// A window that is never shown, registered for the session's messages: the lock and unlock,
/// and the session leaving the console or a remote connection (fast user switching, a remote
/// session closed), after which whoever comes back meets the lock screen.
class SessionWindow : public QObject {
public:
    explicit SessionWindow(TLockWatch &watch)
        : QObject(&watch)
        , Watch(watch)
    {
        static const ATOM windowClass = [] {
            WNDCLASSW description{};
            description.lpfnWndProc = &SessionWindow::Procedure;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"GlowsweepWizardSession";
            return RegisterClassW(&description);
        }();
        if (windowClass)
            Window = CreateWindowExW(
                0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(windowClass)), L"", WS_POPUP, 0,
                0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (Window) {
            SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            Registered = WTSRegisterSessionNotification(Window, NOTIFY_FOR_THIS_SESSION);
        }
    }

    ~SessionWindow() override
    {
        if (!Window)
            return;
        if (Registered)
            WTSUnRegisterSessionNotification(Window);
        SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
        DestroyWindow(Window);
    }

    /// Whether the session's messages come; without them the lock is read at each look.
    bool Listening() const { return Registered; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = reinterpret_cast<SessionWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_WTSSESSION_CHANGE)
            self->SessionChanged(wParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void SessionChanged(WPARAM change)
    {
        using State = TLockWatch::State;
        switch (change) {
        case WTS_SESSION_LOCK:
        case WTS_CONSOLE_DISCONNECT:
        case WTS_REMOTE_DISCONNECT:
            Watch.Set(TLockWatch::Source::WindowsSession, State::Locked);
            break;
        case WTS_SESSION_UNLOCK:
            Watch.Set(TLockWatch::Source::WindowsSession, State::Unlocked);
            break;
        case WTS_CONSOLE_CONNECT:
        case WTS_REMOTE_CONNECT:
            // Back on a screen: locked unless the session opens straight to the desktop.
            Watch.Set(TLockWatch::Source::WindowsSession,
                      InputDesktopElsewhere() ? State::Locked : State::Unlocked);
            break;
        default:
            break;
        }
    }

    TLockWatch &Watch;
    HWND Window = nullptr;
    bool Registered = false;
};

} // namespace

// The session's lock comes by its messages. The screen saver tells nobody that it starts, but it
// matters only when a wash would start and while one is on screen, when the washer looks.
void WatchPlatformLocks(TLockWatch &watch)
{
    using State = TLockWatch::State;
    auto *session = new SessionWindow(watch);
    const bool listening = session->Listening();
    QObject::connect(&watch, &TLockWatch::looking, &watch, [&watch, listening] {
        if (ScreenSaverRunning())
            watch.Set(TLockWatch::Source::WindowsSaver, State::Locked);
        if (!listening) // no messages: the lock screen too is seen when looked for
            watch.Set(TLockWatch::Source::WindowsSession,
                      InputDesktopElsewhere() ? State::Locked : State::Unlocked);
    });
    watch.Set(TLockWatch::Source::WindowsSession,
              InputDesktopElsewhere() ? State::Locked : State::Unlocked);
}
