#include "settings/settingsio.h"

#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

[[noreturn]] void ThrowCannotCreate(const QString &path, int errorCode)
{
    const QString systemText = errorCode != 0 ? qt_error_string(errorCode) : QString();
    throw SettingsFileError(CannotCreateFileText(path, errorCode, systemText));
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

// Our temporary files: the settings file's name behind a dot and before a dot and a random
// base-36 number.
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

QByteArray TemporaryPath(const QByteArray &folder)
{
    return folder + '.' + SettingsFileName + '.' +
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

// Creates in `fd` a new file with an unpredictable name in `folder`; 0 or the error.
int CreateNamed(const QByteArray &folder, FileDescriptor &fd, QByteArray &name)
{
    for (int attempt = 1;; ++attempt) {
        name = TemporaryPath(folder);
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

// Gives the unnamed file `fd` a fresh temporary name in `folder`; empty on failure, with errno
// set.
QByteArray LinkUnnamed(int fd, const QByteArray &folder)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QByteArray name = TemporaryPath(folder);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Writes `bytes` over the regular file that `existing` describes, where it stands. The new
// bytes go over the old ones before the file is cut to their length, so that the file is never
// empty on the way; when a write fails, the old bytes are put back as far as they were read.
void WriteInPlace(const QString &path, const struct stat &existing, const QByteArray &bytes,
                  int createError)
{
    const QByteArray nativePath = QFile::encodeName(path);
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    FileDescriptor fd(::open(nativePath.constData(), O_RDWR | flags));
    if (!fd.Valid())
        fd.Reset(::open(nativePath.constData(), O_WRONLY | flags));
    struct stat opened {};
    // What was opened must be the file looked at: not a link or a device put there since.
    if (!fd.Valid() || ::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_dev != existing.st_dev || opened.st_ino != existing.st_ino)
        ThrowCannotCreate(path, createError);

    QByteArray old;
    bool canPutBack = false;
    if (opened.st_size <= MaxOldBytes) {
        old.resize(static_cast<qsizetype>(opened.st_size));
        canPutBack =
            ::pread(fd.Get(), old.data(), static_cast<size_t>(old.size()), 0) == old.size();
    }
    const auto put = [&fd](const QByteArray &content, bool faultable) {
        return ::lseek(fd.Get(), 0, SEEK_SET) == 0 && WriteAll(fd.Get(), content, faultable) &&
               ::ftruncate(fd.Get(), content.size()) == 0 && ::fsync(fd.Get()) == 0;
    };
    if (!put(bytes, true)) {
        if (canPutBack)
            put(old, false);
        ThrowStreamWriteError();
    }
    if (fd.Close() != 0)
        ThrowStreamWriteError();
}

} // namespace

void CreateSharedFolder(const QString &folder)
{
    const QByteArray nativeFolder = QFile::encodeName(folder);
    struct stat info {};
    if (::stat(nativeFolder.constData(), &info) == 0 || !QDir().mkpath(folder))
        return;
    // No sticky bit: with it, one user could not rename a new file over another user's.
    ::chmod(nativeFolder.constData(), 0777);
}

std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxSize)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat info {};
    // Looking first keeps FIFOs and devices from being opened at all; the check on the open
    // descriptor below is the one that counts, as the path may change in between.
    if (::stat(nativePath.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    FileDescriptor fd(::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > maxSize)
        return std::nullopt;

    // One byte more than allowed tells a file that grew past the limit since fstat.
    QByteArray bytes(static_cast<qsizetype>(maxSize) + 1, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < bytes.size()) {
        const ssize_t n =
            ::read(fd.Get(), bytes.data() + total, static_cast<size_t>(bytes.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        total += n;
    }
    if (total > maxSize)
        return std::nullopt;
    bytes.truncate(total);
    return bytes;
}

void RemoveStaleTemporaries(const QString &folder, long long now)
{
    const QByteArray nativeFolder = QFile::encodeName(folder);
    DIR *dir = ::opendir(nativeFolder.isEmpty() ? "." : nativeFolder.constData());
    if (!dir)
        return;
    const QByteArray prefix = QByteArray(".") + SettingsFileName + '.';
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

void ReplaceFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat existing {};
    const bool isRegular =
        ::lstat(nativePath.constData(), &existing) == 0 && S_ISREG(existing.st_mode);
    if (isRegular) {
        if (const int refusal = ReplaceRefusal(nativePath, existing))
            ThrowCannotCreate(path, refusal);
    }

    const QByteArray folder = nativePath.left(nativePath.lastIndexOf('/') + 1);
    RemoveStaleTemporaries(QFile::decodeName(folder), static_cast<long long>(std::time(nullptr)));

    FileDescriptor fd;
    QByteArray name; // empty while the new file has none
    int createError = CreateUnnamed(folder, fd);
    if (!fd.Valid() && createError == 0)
        createError = CreateNamed(folder, fd, name);
    if (!fd.Valid()) {
        // A folder that lets this user write the file but not create files beside it: the file
        // can only be rewritten where it stands.
        if ((createError == EACCES || createError == EPERM) && isRegular) {
            WriteInPlace(path, existing, bytes, createError);
            return;
        }
        ThrowCannotCreate(path, createError);
    }
    TemporaryName temporary(name);

    struct stat folderInfo {};
    if (::stat(folder.isEmpty() ? "." : folder.constData(), &folderInfo) == 0) {
        const mode_t othersWrite = folderInfo.st_mode & (S_IWGRP | S_IWOTH);
        if (othersWrite != 0)
            ::fchmod(fd.Get(), S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH | othersWrite);
    }

    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0)
        ThrowStreamWriteError();
    if (name.isEmpty()) {
        // The unnamed file gets its name only now that it is complete.
        name = LinkUnnamed(fd.Get(), folder);
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
