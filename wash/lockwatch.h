#pragma once

#include <QObject>

/// Tells when the desktop's screen saver or screen lock engages and when it lets go, where the
/// desktop says so; elsewhere it never signals.
class TLockWatch : public QObject {
    Q_OBJECT

public:
    explicit TLockWatch(QObject *parent = nullptr);

signals:
    void lockedChanged(bool locked);

private slots:
    void ActiveChanged(bool active) { emit lockedChanged(active); }
};
