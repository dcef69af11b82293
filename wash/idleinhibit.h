#pragma once

#include <memory>

class QWindow;

/// Asks a Wayland compositor to keep the display awake while a shown window is on screen,
/// through its idle-inhibit protocol, from construction to destruction. The compositor honours
/// it only while the window is visible. Where the program is not a Wayland client, or the
/// compositor does not offer the protocol, nothing is asked and nothing is reported.
class IdleInhibitor {
public:
    /// `window` is shown; the inhibitor is destroyed before the window's surface.
    explicit IdleInhibitor(QWindow *window);
    ~IdleInhibitor();
    IdleInhibitor(const IdleInhibitor &) = delete;
    IdleInhibitor &operator=(const IdleInhibitor &) = delete;

private:
    class Impl;
    std::unique_ptr<Impl> d;
};
