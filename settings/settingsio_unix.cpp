#include "settings/settingsio.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace {

// The most of an existing file that an in-place write keeps, to put back if it fails.
constexpr off_t MaxOldBytes = 1024 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1)
        : fd_(fd)
    {
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() { Close(); }

    bool Valid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    void Reset(int fd)
    {
        Close();
        fd_ = fd;
    }
    /// Closes once; returns close()'s result (0 when there was nothing to close).
    int Close()
    {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

/// Removes the temporary file unless it has been renamed into place.
class TemporaryName {
public:
    explicit TemporaryName(QByteArray path)
        : path_(std::move(path))
    {
    }
    TemporaryName(const TemporaryName &) = delete;
    TemporaryName &operator=(const TemporaryName &) = delete;
    ~TemporaryName()
    {
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }
    void Release() { path_.clear(); }
    void Set(QByteArray path) { path_ = std::move(path); }

private:
    QByteArray path_;
};

[[noreturn]] void ThrowCannotCreate(const QByteArray &path, int errorCode)
{
    const QString systemText = errorCode != 0 ? qt_error_string(errorCode) : QString();
    throw SettingsFileError(CannotCreateFileText(QFile::decodeName(path), errorCode, systemText));
}

[[noreturn]] void ThrowLocked(const QByteArray &path)
{
    throw SettingsFileError(CannotCreateFileText(QFile::decodeName(path), EWOULDBLOCK,
                                                 QString::fromLatin1(FileLockedText)));
}

[[noreturn]] void ThrowStreamWriteError()
{
    throw SettingsFileError(QString::fromLatin1(StreamWriteErrorText));
}

// 0 when this user may replace the existing regular file, else the error to report. Root may
// write anything, so for root a file counts as read-only when it has no write bit at all, the
// way a file marked read-only refuses every user.
int ReplaceRefusal(const QByteArray &nativePath, const struct stat &existing)
{
    if (::geteuid() == 0)
        return (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 ? 0 : EACCES;
    return ::faccessat(AT_FDCWD, nativePath.constData(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool WriteAll(int fd, const QByteArray &bytes, bool faultable = true)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        if (faultable && SettingsWriteFails(written)) {
            errno = ENOSPC;
            return false;
        }
        const ssize_t n =
            ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

void SyncFolder(const QByteArray &folder)
{
    FileDescriptor fd(
        ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

// The folder part of a native path, up to and including its last "/"; empty for a bare name.
QByteArray FolderOf(const QByteArray &nativePath)
{
    return nativePath.left(nativePath.lastIndexOf('/') + 1);
}

// Our temporary files: the file's name behind a dot and before a dot and a random base-36
// number.
bool IsTemporaryName(const QByteArray &name, const QByteArray &prefix)
{
    if (!name.startsWith(prefix) || name.size() == prefix.size() ||
        name.size() > prefix.size() + 13)
        return false;
    for (const char c : name.sliced(prefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

QByteArray TemporaryPath(const QByteArray &nativePath)
{
    const QByteArray folder = FolderOf(nativePath);
    return folder + '.' + nativePath.sliced(folder.size()) + '.' +
           QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

// Opens in `fd` a file with no name in `folder`, which a crash cannot leave behind. Returns 0,
// with `fd` invalid, where the system or the file system has no such files; else the error that
// refused it.
int CreateUnnamed(const QByteArray &folder, FileDescriptor &fd)
{
#ifdef O_TMPFILE
    // Naming it later goes through /proc.
    if (::access("/proc/self/fd", X_OK) != 0)
        return 0;
    fd.Reset(::open(folder.isEmpty() ? "." : folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                    0666));
    if (!fd.Valid() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
#endif
    static_cast<void>(folder);
    static_cast<void>(fd);
    return 0;
}

// Creates in `fd` a new file with an unpredictable name beside `nativePath`; 0 or the error.
int CreateNamed(const QByteArray &nativePath, FileDescriptor &fd, QByteArray &name)
{
    for (int attempt = 1;; ++attempt) {
        name = TemporaryPath(nativePath);
        // O_EXCL also refuses a link planted under the chosen name.
        fd.Reset(::open(name.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
        if (fd.Valid())
            return 0;
        const int error = errno;
        if (error != EEXIST || attempt == 100) {
            name.clear();
            return error;
        }
    }
}

// Gives the unnamed file `fd` a fresh temporary name beside `nativePath`; empty on failure,
// with errno set.
QByteArray LinkUnnamed(int fd, const QByteArray &nativePath)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QByteArray name = TemporaryPath(nativePath);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Takes an exclusive advisory lock on `fd`, waiting until SettingsLockWaitMs after `start` (on
// the monotonic clock) at most; 0 or the error.
int LockWithin(int fd, const timespec &start)
{
    timespec now{};
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return errno;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long waited =
            (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (waited >= SettingsLockWaitMs)
            return EWOULDBLOCK;
        const timespec pause{0, 10 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
}

// Opens the regular file at `nativePath` (for writing where this user may) and locks it in `fd`.
// A save that held the lock before may have renamed a new file into place meanwhile, so the
// lock counts only once the path still names the locked file. `existing` tells what is at the
// path (zeroed when nothing is); `fd` stays invalid unless it is a regular file this user may
// open. Returns 0 or the error that keeps the save from going on.
int OpenLocked(const QByteArray &nativePath, FileDescriptor &fd, struct stat &existing)
{
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (int attempt = 1; attempt <= 10; ++attempt) {
        fd.Close();
        if (::lstat(nativePath.constData(), &existing) != 0) {
            existing = {};
            return 0;
        }
        if (!S_ISREG(existing.st_mode))
            return 0;
        for (const int access : {O_RDWR, O_WRONLY, O_RDONLY}) {
            fd.Reset(::open(nativePath.constData(), access | flags));
            if (fd.Valid())
                break;
        }
        if (!fd.Valid())
            return 0; // the permission check refuses or the file has gone
        struct stat opened {};
        if (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode))
            continue;
        if (const int error = LockWithin(fd.Get(), start))
            return error;
        struct stat now {};
        if (::lstat(nativePath.constData(), &now) == 0 && now.st_dev == opened.st_dev &&
            now.st_ino == opened.st_ino) {
            existing = opened;
            return 0;
        }
    }
    return EWOULDBLOCK; // replaced again and again while we waited
}

#ifdef __linux__
constexpr char AccessAclName[] = "system.posix_acl_access";
#endif

// Whether the file `fd` carries a POSIX ACL, which grants what its mode does not tell.
bool HasAccessAcl(int fd)
{
#ifdef __linux__
    return ::fgetxattr(fd, AccessAclName, nullptr, 0) >= 0;
#else
    static_cast<void>(fd);
    return false;
#endif
}

// Gives the new file `fd` the access of the file it replaces, `old` (ReplaceFileAtomically);
// false, with errno set, where it cannot.
bool TakeOverAccess(int fd, const struct stat &old)
{
    if (::geteuid() == 0) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            return false;
    } else {
        // The system lets a user give only a group the user belongs to; elsewhere the new file
        // keeps the user's own.
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), old.st_gid));
    }
#ifdef __linux__
    // The old file has none (HasAccessAcl), so one the folder handed down would grant more.
    if (::fremovexattr(fd, AccessAclName) != 0 && errno != ENODATA && errno != ENOTSUP)
        return false;
#endif
    return ::fchmod(fd, old.st_mode & 0777) == 0;
}

// Writes `content` over the file `fd` where it stands: first over the whole of its current
// length, the rest of which becomes NUL bytes that end the text, then cuts it to length. A kill
// between the steps leaves a file that reads as `content`.
bool Overwrite(int fd, const QByteArray &content, bool faultable)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    QByteArray padded = content;
    padded.append(std::max<qsizetype>(0, static_cast<qsizetype>(now.st_size) - content.size()),
                  '\0');
    if (::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, padded, faultable))
        return false;
    SettingsSaveStepDone();
    if (::ftruncate(fd, content.size()) != 0)
        return false;
    SettingsSaveStepDone();
    return ::fsync(fd) == 0;
}

// Writes `bytes` over the locked regular file `fd`, where it stands. The file is never empty or
// torn on the way (Overwrite); when a write fails, the old bytes are put back as far as they
// were read.
void WriteInPlace(const QByteArray &path, FileDescriptor &fd, const QByteArray &bytes,
                  int createError)
{
    struct stat opened {};
    if (!fd.Valid() || (::fcntl(fd.Get(), F_GETFL) & O_ACCMODE) == O_RDONLY ||
        ::fstat(fd.Get(), &opened) != 0)
        ThrowCannotCreate(path, createError);

    QByteArray old;
    bool canPutBack = false;
    if (opened.st_size <= MaxOldBytes) {
        old.resize(static_cast<qsizetype>(opened.st_size));
        canPutBack =
            ::pread(fd.Get(), old.data(), static_cast<size_t>(old.size()), 0) == old.size();
    }
    if (!Overwrite(fd.Get(), bytes, true)) {
        if (canPutBack)
            Overwrite(fd.Get(), old, false);
        ThrowStreamWriteError();
    }
    if (fd.Close() != 0)
        ThrowStreamWriteError();
}

} // namespace

void CreateSharedFolder(const QByteArray &folder)
{
    struct stat info {};
    if (folder.isEmpty() || ::stat(folder.constData(), &info) == 0)
        return;
    // Made part by part from the bytes as they are: a name need not be text.
    for (qsizetype end = folder.indexOf('/', 1); end != -1; end = folder.indexOf('/', end + 1))
        ::mkdir(folder.left(end).constData(), 0777);
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
        return;
    if (::stat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    // No sticky bit: with it, one user could not rename a new file over another user's.
    ::chmod(folder.constData(), 0777);
}

std::optional<QByteArray> ReadRegularFile(const QByteArray &nativePath, qint64 maxSize)
{
    struct stat info {};
    // Looking first keeps FIFOs and devices from being opened at all; the check on the open
    // descriptor below is the one that counts, as the path may change in between.
    if (::stat(nativePath.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    FileDescriptor fd(::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > maxSize)
        return std::nullopt;

    return ReadAtMost(maxSize, [&fd](char *buffer, qint64 capacity) -> qint64 {
        for (;;) {
            const ssize_t n = ::read(fd.Get(), buffer, static_cast<size_t>(capacity));
            if (n >= 0 || errno != EINTR)
                return n;
        }
    });
}

void RemoveStaleTemporaries(const QByteArray &nativePath, long long now)
{
    const QByteArray nativeFolder = FolderOf(nativePath);
    DIR *dir = ::opendir(nativeFolder.isEmpty() ? "." : nativeFolder.constData());
    if (!dir)
        return;
    const QByteArray prefix = '.' + nativePath.sliced(nativeFolder.size()) + '.';
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!IsTemporaryName(name, prefix))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && now - info.st_mtime > StaleTemporaryAge)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void ReplaceFileAtomically(const QByteArray &path, const QByteArray &bytes)
{
    const QByteArray &nativePath = path;
    FileDescriptor locked; // the existing file, held until the save is done
    struct stat existing {};
    if (const int error = OpenLocked(nativePath, locked, existing)) {
        if (error == EWOULDBLOCK)
            ThrowLocked(path);
        ThrowCannotCreate(path, error);
    }
    const bool isRegular = S_ISREG(existing.st_mode);
    if (isRegular) {
        if (const int refusal = ReplaceRefusal(nativePath, existing))
            ThrowCannotCreate(path, refusal);
        // A new file would not carry the ACL; the file where it stands keeps it.
        if (HasAccessAcl(locked.Get())) {
            WriteInPlace(path, locked, bytes, EACCES);
            return;
        }
    }

    const QByteArray folder = FolderOf(nativePath);
    RemoveStaleTemporaries(path, static_cast<long long>(std::time(nullptr)));

    FileDescriptor fd;
    QByteArray name; // empty while the new file has none
    int createError = CreateUnnamed(folder, fd);
    if (!fd.Valid() && createError == 0)
        createError = CreateNamed(nativePath, fd, name);
    if (!fd.Valid()) {
        // A folder that lets this user write the file but not create files beside it: the file
        // can only be rewritten where it stands.
        if ((createError == EACCES || createError == EPERM) && isRegular) {
            WriteInPlace(path, locked, bytes, createError);
            return;
        }
        ThrowCannotCreate(path, createError);
    }
    TemporaryName temporary(name);

    struct stat folderInfo {};
    if (isRegular) {
        if (!TakeOverAccess(fd.Get(), existing)) {
            WriteInPlace(path, locked, bytes, errno);
            return;
        }
    } else if (::stat(folder.isEmpty() ? "." : folder.constData(), &folderInfo) == 0) {
        const mode_t othersWrite = folderInfo.st_mode & (S_IWGRP | S_IWOTH);
        if (othersWrite != 0)
            ::fchmod(fd.Get(), S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH | othersWrite);
    }

    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0)
        ThrowStreamWriteError();
    if (name.isEmpty()) {
        // The unnamed file gets its name only now that it is complete.
        name = LinkUnnamed(fd.Get(), nativePath);
        if (name.isEmpty())
            ThrowCannotCreate(path, errno);
        temporary.Set(name);
    }
    if (fd.Close() != 0)
        ThrowStreamWriteError();
    if (::rename(name.constData(), nativePath.constData()) != 0)
        ThrowCannotCreate(path, errno);
    temporary.Release();
    SyncFolder(folder);
}
