#include "app/version.h"

QByteArray PadLeftZeros(QByteArray s, int32_t width)
{
    if (width > s.size())
        s.prepend(width - s.size(), '0');
    return s;
}

QByteArray FormatVersion(int32_t v)
{
    return QByteArray::number(v / 100) + '.' + PadLeftZeros(QByteArray::number(v % 100), 2);
}
