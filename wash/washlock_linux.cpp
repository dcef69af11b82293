#include "wash/washlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// A lock of the whole file that belongs to the open file, not to the process: a second
/// descriptor of the same process sees the first one's lock as another holder's.
bool SetLock(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    int result;
    do
        result = fcntl(fd, F_OFD_SETLK, &lock);
    while (result == -1 && errno == EINTR);
    return result == 0;
}

/// The lock file, made where missing; -1 where it cannot be opened or is another user's, who
/// could otherwise keep this user's idle washes away by holding it.
int OpenLockFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    while (fd == -1 && errno == EINTR);
    struct stat file {};
    if (fd != -1 && (fstat(fd, &file) != 0 || file.st_uid != geteuid())) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TWashLock::Impl {
public:
    explicit Impl(QString file)
        : Path(std::move(file))
    {
    }
    ~Impl()
    {
        if (Held != -1)
            close(Held);
    }
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    QString Path;
    int Held = -1; // the descriptor that holds the lock while this instance washes
};

QString TWashLock::DefaultPath()
{
    // A timer's or cron's run may have no runtime folder: the user's lock is then in the shared
    // temporary folder, under the user's number.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("glowsweep-wizard-wash.lock"));
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("glowsweep-wizard-%1-wash.lock").arg(geteuid()));
}

TWashLock::TWashLock(const QString &path)
    : d(std::make_unique<Impl>(path.isEmpty() ? DefaultPath() : path))
{
}

TWashLock::~TWashLock() = default;

void TWashLock::Hold()
{
    if (d->Held != -1)
        return;
    const int fd = OpenLockFile(d->Path);
    if (fd == -1)
        return;
    if (SetLock(fd, F_RDLCK))
        d->Held = fd;
    else
        close(fd);
}

void TWashLock::Release()
{
    if (d->Held == -1)
        return;
    close(d->Held); // lets go of the lock
    d->Held = -1;
}

bool TWashLock::OthersHold() const
{
    if (d->Held != -1)
        return false;
    const int fd = OpenLockFile(d->Path);
    if (fd == -1)
        return false;
    // Asks without taking anything: a lock that would stand in the way of writing is a wash
    // of another instance's, or of this one's own other descriptor.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return held;
}
