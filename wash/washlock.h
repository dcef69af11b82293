#pragma once

#include <QString>
#include <memory>

/// Tells this user's instances of the program that one of them washes: each holds a shared lock
/// on one file while its wash is on screen, and an instance that would start a wash by itself can
/// ask whether another holds one. The system lets go of a lock whose holder ends in any way.
class TWashLock {
public:
    /// `path`: the lock file; empty: the program's, in the user's runtime folder.
    explicit TWashLock(const QString &path = {});
    ~TWashLock();
    TWashLock(const TWashLock &) = delete;
    TWashLock &operator=(const TWashLock &) = delete;

    /// This instance washes from now on; nothing is reported where the lock cannot be had.
    void Hold();
    /// This instance washes no more.
    void Release();
    /// True while another instance holds the lock; false where it cannot be told, and while this
    /// instance holds it itself: asked before a wash of its own.
    bool OthersHold() const;

    /// The program's lock file, in a folder of this user's alone.
    static QString DefaultPath();

private:
    class Impl;
    std::unique_ptr<Impl> d;
};
