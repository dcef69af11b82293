#include "wash/lockwatch.h"

TLockWatch::TLockWatch(QObject *parent)
    : QObject(parent)
{
}

void TLockWatch::SessionPropertiesChanged(const QString &, const QVariantMap &, const QStringList &)
{
}
