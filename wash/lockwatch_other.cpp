#include "wash/lockwatch.h"

TLockWatch::TLockWatch(QObject *parent)
    : QObject(parent)
{
}
