#include "settings/settingsio.h"

#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

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

bool WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        if (SettingsWriteFails(written)) {
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

void ReplaceFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat existing {};
    if (::lstat(nativePath.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        if (const int refusal = ReplaceRefusal(nativePath, existing))
            ThrowCannotCreate(path, refusal);
    }

    const QByteArray folder = nativePath.left(nativePath.lastIndexOf('/') + 1);
    QByteArray temporaryPath;
    FileDescriptor fd;
    for (int attempt = 1;; ++attempt) {
        temporaryPath = folder + '.' + SettingsFileName + '.' +
                        QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        // O_EXCL also refuses a link planted under the chosen name.
        fd.Reset(::open(temporaryPath.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
        if (fd.Valid())
            break;
        const int error = errno;
        if (error != EEXIST || attempt == 100)
            ThrowCannotCreate(path, error);
    }
    TemporaryName temporary(temporaryPath);
    struct stat folderInfo {};
    if (::stat(folder.isEmpty() ? "." : folder.constData(), &folderInfo) == 0) {
        const mode_t othersWrite = folderInfo.st_mode & (S_IWGRP | S_IWOTH);
        if (othersWrite != 0)
            ::fchmod(fd.Get(), S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH | othersWrite);
    }

    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0 || fd.Close() != 0)
        ThrowStreamWriteError();
    if (::rename(temporaryPath.constData(), nativePath.constData()) != 0)
        ThrowCannotCreate(path, errno);
    temporary.Release();
    SyncFolder(folder);
}
