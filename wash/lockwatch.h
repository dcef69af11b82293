#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

/// Tells when the desktop's screen saver or screen lock engages and when it lets go, where the
/// desktop says so: its screen saver service, or the login manager's lock hint on the session;
/// on Windows, the screen saver or the lock screen taking the input. Elsewhere it never signals.
class TLockWatch : public QObject {
    Q_OBJECT

public:
    explicit TLockWatch(QObject *parent = nullptr);

signals:
    /// Locked: either source says so; emitted on every change.
    void lockedChanged(bool locked);

private slots:
    void ActiveChanged(bool active) { Set(SaverActive, active); }
    void SessionPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                  const QStringList &invalidated);

private:
    void Set(bool &flag, bool on);
    void WatchLoginSession(const QString &path);

    bool SaverActive = false;
    bool SessionLocked = false;
};
