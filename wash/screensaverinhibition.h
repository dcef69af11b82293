#pragma once

// Inside ScreenSaverInhibitor: the part each platform has in a file of its own.

#include <QString>
#include <memory>

/// Asks this platform's desktop to keep the display awake. Ask and GiveBack come in turn, Ask
/// first, each when the inhibition becomes wanted or stops being wanted; neither waits.
class ScreenSaverInhibition {
public:
    virtual ~ScreenSaverInhibition() = default;
    virtual void Ask(const QString &reason) = 0;
    virtual void GiveBack() = 0;
    /// True while the desktop holds what was asked; where it grants on the spot, from Ask to
    /// GiveBack.
    virtual bool isGranted() const = 0;
    /// What the last Ask found this desktop unable to hold back, named for a person; empty when
    /// nothing is known to be missing.
    virtual QString Unheld() const { return {}; }
    /// Waits, briefly, until what was sent has reached the desktop: the program is about to end
    /// at once.
    virtual void Flush() {}
};

/// This platform's.
std::unique_ptr<ScreenSaverInhibition> MakeScreenSaverInhibition();
