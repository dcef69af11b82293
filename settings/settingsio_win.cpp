#include "settings/settingsio.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <string>
#include <utility>

#include <windows.h>

namespace {

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE)
        : h_(h)
    {
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { Close(); }

    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    void Reset(HANDLE h)
    {
        Close();
        h_ = h;
    }
    /// Closes once; true when closing succeeded or there was nothing to close.
    bool Close()
    {
        const bool ok = h_ == INVALID_HANDLE_VALUE || CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

/// Removes the temporary file unless it has been moved into place.
class TemporaryName {
public:
    explicit TemporaryName(std::wstring path)
        : path_(std::move(path))
    {
    }
    TemporaryName(const TemporaryName &) = delete;
    TemporaryName &operator=(const TemporaryName &) = delete;
    ~TemporaryName()
    {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    void Release() { path_.clear(); }

private:
    std::wstring path_;
};

std::wstring NativePath(const QByteArray &path)
{
    return QDir::toNativeSeparators(QFile::decodeName(path)).toStdWString();
}

QString SystemText(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    QString text;
    if (length != 0 && buffer != nullptr)
        text = QString::fromWCharArray(buffer, static_cast<qsizetype>(length)).trimmed();
    LocalFree(buffer);
    return text;
}

[[noreturn]] void ThrowCannotCreate(const QByteArray &path, DWORD code)
{
    const bool locked = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
    throw SettingsFileError(
        CannotCreateFileText(QFile::decodeName(path), static_cast<int>(code),
                             locked ? QString::fromLatin1(FileLockedText) : SystemText(code)));
}

[[noreturn]] void ThrowStreamWriteError()
{
    throw SettingsFileError(QString::fromLatin1(StreamWriteErrorText));
}

bool WriteAll(HANDLE file, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        if (SettingsWriteFails(written)) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        const DWORD chunk = static_cast<DWORD>(qMin<qsizetype>(bytes.size() - written, 1 << 20));
        DWORD n = 0;
        if (!WriteFile(file, bytes.constData() + written, chunk, &n, nullptr) || n == 0)
            return false;
        written += n;
    }
    return true;
}

} // namespace

std::optional<QByteArray> ReadRegularFile(const QByteArray &path, qint64 maxSize)
{
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open; others may read meanwhile
    // but not write.
    Handle file(CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid() || GetFileType(file.Get()) != FILE_TYPE_DISK)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    if (!GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !GetFileSizeEx(file.Get(), &size) || size.QuadPart > maxSize)
        return std::nullopt;

    return ReadAtMost(maxSize, [&file](char *buffer, qint64 capacity) -> qint64 {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(qMin<qint64>(capacity, 1 << 20));
        return ReadFile(file.Get(), buffer, chunk, &n, nullptr) ? static_cast<qint64>(n) : -1;
    });
}

void CreateSharedFolder(const QByteArray &folder)
{
    // The all-users application-data folder lets every user create files in it.
    QDir().mkpath(QFile::decodeName(folder));
}

void ReplaceFileAtomically(const QByteArray &path, const QByteArray &bytes)
{
    const std::wstring nativePath = NativePath(path);
    const DWORD attributes = GetFileAttributesW(nativePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0) {
        // Opening for writing without writing tells a read-only, denied or locked file before
        // anything is created; the open handle is closed again at once.
        Handle probe(CreateFileW(nativePath.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!probe.Valid())
            ThrowCannotCreate(path, GetLastError());
    }

    const std::wstring::size_type separator = nativePath.find_last_of(L"\\/:");
    const std::wstring folder =
        separator == std::wstring::npos ? std::wstring() : nativePath.substr(0, separator + 1);
    const std::wstring fileName = nativePath.substr(folder.size());
    std::wstring temporaryPath;
    Handle file;
    for (int attempt = 1;; ++attempt) {
        temporaryPath =
            folder + L"." + fileName + L"." +
            QString::number(QRandomGenerator::system()->generate64(), 36).toStdWString();
        file.Reset(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Valid())
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS || attempt == 100)
            ThrowCannotCreate(path, error);
    }
    TemporaryName temporary(temporaryPath);

    if (!WriteAll(file.Get(), bytes) || !FlushFileBuffers(file.Get()) || !file.Close())
        ThrowStreamWriteError();
    // Replaces a link at the path itself, not its target.
    if (!MoveFileExW(temporaryPath.c_str(), nativePath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowCannotCreate(path, GetLastError());
    temporary.Release();
}
