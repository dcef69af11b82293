#include "settings/settingsio.h"

namespace {

SettingsWriteFault writeFault = nullptr;
SettingsSaveStep saveStep = nullptr;

} // namespace

std::optional<QByteArray> ReadAtMost(qint64 maxSize,
                                     const std::function<qint64(char *, qint64)> &readSome)
{
    // One byte more than allowed tells a file that grew past the limit since it was measured.
    QByteArray bytes(static_cast<qsizetype>(maxSize) + 1, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < bytes.size()) {
        const qint64 n = readSome(bytes.data() + total, bytes.size() - total);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        total += static_cast<qsizetype>(n);
    }
    if (total > maxSize)
        return std::nullopt;
    bytes.truncate(total);
    return bytes;
}

QString CannotCreateFileText(const QString &path, int errorCode, const QString &systemText)
{
    const QString cause = systemText.isEmpty()
                              ? QStringLiteral("Unspecified error (%1) from system.").arg(errorCode)
                              : systemText;
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, cause);
}

void SetSettingsWriteFault(SettingsWriteFault fault)
{
    writeFault = fault;
}

bool SettingsWriteFails(qint64 written)
{
    return writeFault != nullptr && writeFault(written);
}

void SetSettingsSaveStep(SettingsSaveStep step)
{
    saveStep = step;
}

void SettingsSaveStepDone()
{
    if (saveStep != nullptr)
        saveStep();
}
