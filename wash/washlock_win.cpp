#include "wash/washlock.h"

#include <QDir>
#include <windows.h>

namespace {

HANDLE OpenLockFile(const QString &path)
{
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                       GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool LockWhole(HANDLE file, DWORD flags)
{
    OVERLAPPED at{};
    return LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
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
        if (Held != INVALID_HANDLE_VALUE)
            CloseHandle(Held);
    }
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    QString Path;
    HANDLE Held = INVALID_HANDLE_VALUE;
};

QString TWashLock::DefaultPath()
{
    return QDir::toNativeSeparators(
        QDir(QDir::tempPath()).filePath(QStringLiteral("glowsweep-wizard-wash.lock")));
}

TWashLock::TWashLock(const QString &path)
    : d(std::make_unique<Impl>(path.isEmpty() ? DefaultPath() : path))
{
}

TWashLock::~TWashLock() = default;

void TWashLock::Hold()
{
    if (d->Held != INVALID_HANDLE_VALUE)
        return;
    HANDLE file = OpenLockFile(d->Path);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (LockWhole(file, 0)) // shared
        d->Held = file;
    else
        CloseHandle(file);
}

void TWashLock::Release()
{
    if (d->Held == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(d->Held); // lets go of the lock
    d->Held = INVALID_HANDLE_VALUE;
}

bool TWashLock::OthersHold() const
{
    if (d->Held != INVALID_HANDLE_VALUE)
        return false;
    HANDLE file = OpenLockFile(d->Path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Windows cannot ask without taking: an exclusive lock that is had at once is given back.
    const bool free = LockWhole(file, LOCKFILE_EXCLUSIVE_LOCK);
    if (free) {
        OVERLAPPED at{};
        UnlockFileEx(file, 0, 1, 0, &at);
    }
    CloseHandle(file);
    return !free;
}
