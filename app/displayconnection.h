#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>

/// While it exists, a display that cannot be reached ends the program with one line on standard
/// error ("glowsweep-wizard: no display: ...") and ExitNoDisplay, where Qt would print its plugin
/// advice and abort. Made around the application object's construction, the one place where Qt
/// connects to the display. The messages Qt gives meanwhile are held back and passed on when
/// the object goes, so that a start that succeeds loses none of them.
class NoDisplayGuard {
public:
    NoDisplayGuard();
    ~NoDisplayGuard();
    NoDisplayGuard(const NoDisplayGuard &) = delete;
    NoDisplayGuard &operator=(const NoDisplayGuard &) = delete;
};

/// Why there is no display, from the environment as the program found it (empty values count as
/// unset): no platform named in QT_QPA_PLATFORM could start, neither DISPLAY nor WAYLAND_DISPLAY
/// is set, or the ones set could not be reached.
QString NoDisplayReason(const QByteArray &platform, const QByteArray &display,
                        const QByteArray &waylandDisplay);

/// From ArmDisplayLoss to DisarmDisplayLoss, an exit() that the program did not ask for runs
/// `atLoss` and then ends the process with ExitDisplayLost. Qt's X11 platform ends the program
/// that way, from the event loop, when the connection to the display breaks (the server was
/// killed, an X11 logout without a session manager). `atLoss` must not use the display; it
/// runs once.
void ArmDisplayLoss(std::function<void()> atLoss);
void DisarmDisplayLoss();
