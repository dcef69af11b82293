#pragma once

#include <QObject>
#include <QString>
#include <memory>

class ScreenSaverInhibition;

/// Keeps the desktop from blanking the screen, starting its screen saver or putting the
/// display to sleep, from Inhibit until Release or destruction.
///
/// Both calls are idempotent and never wait for the desktop: a request that is still on its
/// way when Release comes is given back as soon as it is granted, also after destruction.
/// Where no service answers, nothing happens and nothing is reported; only a part of the
/// desktop that is there but cannot be held back is reported, by cannotHold.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT

public:
    explicit ScreenSaverInhibitor(QObject *parent = nullptr);
    ~ScreenSaverInhibitor() override;

    /// `reason` is shown by desktops that list what keeps them awake.
    virtual void Inhibit(const QString &reason);
    virtual void Release();
    /// Release, for a program that ends at once: waits, for a second at most, until the desktop
    /// has the message.
    void ReleaseNow();
    /// True from Inhibit to Release: the inhibition is wanted, granted or not.
    bool isInhibited() const;
    /// True while the desktop holds an inhibition granted to this object; where the platform
    /// grants it on the spot, the same as isInhibited.
    bool isGranted() const;

signals:
    /// Emitted by Inhibit: `what`, a part of this desktop that can blank the screen (named for
    /// a person), cannot be held back. The rest is asked all the same.
    void cannotHold(const QString &what);

private:
    std::unique_ptr<ScreenSaverInhibition> d; // what this platform's desktop is asked
    bool Wanted = false;
};
