#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns the signals that ask a program to end (SIGTERM from logout, systemctl or kill; SIGINT
/// from Ctrl+C; SIGHUP when the terminal goes) into a Qt signal on the user-interface thread, so
/// that the program can end as a close does. The signal handler only writes the signal's number
/// into a pipe; everything else runs in the event loop.
///
/// A signal that was ignored when the program started (nohup, a background job) stays ignored.
/// After the first request the default actions are back, so a second signal ends the program at
/// once even if the first one's clean-up hangs. One object per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    /// The signal that asked the program to end, or 0.
    int Received() const { return received; }

    /// Ends the process by the signal received, with its default action, so that the parent
    /// (a shell, a service manager) sees how it ended. Returns when no signal was received.
    void EndAsReceived();

signals:
    void terminationRequested(int signalNumber);

private:
    void Drain();

    int readEnd = -1;
    int received = 0;
    QSocketNotifier *notifier = nullptr;
};
