#include "wash/lockwatch.h"

TLockWatch::TLockWatch(QObject *parent)
    : QObject(parent)
{
}

void TLockWatch::SessionPropertiesChanged(const QString &, const QVariantMap &, const QStringList &)
{
}

void TLockWatch::Set(bool &flag, bool on)
{
    flag = on;
}
