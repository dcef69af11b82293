#include "app/displayconnection.h"

#include "app/commandline.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QByteArray Environment(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? QByteArray(value) : QByteArray();
}

QtMessageHandler previousHandler = nullptr;
QList<HeldMessage> *heldMessages = nullptr;

void HoldOrEnd(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldMessages->append({type, QByteArray(context.category), text});
        return;
    }
    // The only fatal message while the application object is made: no platform could start.
    const QString line =
        QStringLiteral("glowsweep-wizard: no display: %1\n")
            .arg(NoDisplayReason(Environment("QT_QPA_PLATFORM"), Environment("DISPLAY"),
                                 Environment("WAYLAND_DISPLAY")));
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    std::_Exit(ExitNoDisplay); // Qt would abort when this returns
}

std::function<void()> lossAction;
bool lossArmed = false;

extern "C" void OnExit()
{
    if (!lossArmed)
        return;
    lossArmed = false;
    lossAction();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(ExitDisplayLost);
}

} // namespace

NoDisplayGuard::NoDisplayGuard()
{
    heldMessages = new QList<HeldMessage>;
    previousHandler = qInstallMessageHandler(HoldOrEnd);
}

NoDisplayGuard::~NoDisplayGuard()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &message : *heldMessages)
        qt_message_output(
            message.type,
            QMessageLogContext(nullptr, 0, nullptr,
                               message.category.isNull() ? nullptr : message.category.constData()),
            message.text);
    delete heldMessages;
    heldMessages = nullptr;
}

QString NoDisplayReason(const QByteArray &platform, const QByteArray &display,
                        const QByteArray &waylandDisplay)
{
    if (!platform.isEmpty())
        return QStringLiteral("the platform \"%1\" (QT_QPA_PLATFORM) could not start")
            .arg(QString::fromLocal8Bit(platform));
    QStringList named;
    if (!display.isEmpty())
        named.append(QStringLiteral("DISPLAY=%1").arg(QString::fromLocal8Bit(display)));
    if (!waylandDisplay.isEmpty())
        named.append(
            QStringLiteral("WAYLAND_DISPLAY=%1").arg(QString::fromLocal8Bit(waylandDisplay)));
    if (named.isEmpty())
        return QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
    return QStringLiteral("cannot connect to %1").arg(named.join(QStringLiteral(" or ")));
}

void ArmDisplayLoss(std::function<void()> atLoss)
{
    // Registered after Qt's own statics are made, so it runs before any of them is destroyed.
    static const bool registered = std::atexit(OnExit) == 0;
    if (!registered)
        return;
    lossAction = std::move(atLoss);
    lossArmed = true;
}

void DisarmDisplayLoss()
{
    lossArmed = false;
}
