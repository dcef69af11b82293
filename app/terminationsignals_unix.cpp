#include "app/terminationsignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> Handled = {SIGTERM, SIGINT, SIGHUP};

// The pipe's write end, read by the handler; -1 while no object exists.
volatile sig_atomic_t writeEnd = -1;

extern "C" void OnTerminationSignal(int number)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request: dropping this byte loses nothing.
    [[maybe_unused]] const ssize_t ignored = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

void RestoreDefaults()
{
    for (const int number : Handled) {
        struct sigaction current {};
        if (::sigaction(number, nullptr, &current) == 0 &&
            current.sa_handler == OnTerminationSignal)
            ::signal(number, SIG_DFL);
    }
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    int ends[2];
    if (writeEnd != -1 || ::pipe(ends) != 0)
        return; // the signals keep their default actions
    for (const int end : ends) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::Drain);

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Handled) {
        struct sigaction previous {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(number, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (readEnd < 0)
        return;
    RestoreDefaults();
    ::close(writeEnd);
    writeEnd = -1;
    ::close(readEnd);
}

void TerminationSignals::Drain()
{
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(readEnd, bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0 && received == 0) {
            received = bytes[0];
            RestoreDefaults();
            emit terminationRequested(received);
        }
    }
}

void TerminationSignals::EndAsReceived()
{
    if (received == 0)
        return;
    ::signal(received, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, received);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(received);
}
