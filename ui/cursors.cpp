#include "ui/cursors.h"

#include <QHash>

namespace {

QHash<int, QCursor> &Cursors()
{
    static QHash<int, QCursor> cursors;
    return cursors;
}

} // namespace

void SetApplicationCursor(int number, const QCursor &cursor)
{
    Cursors().insert(number, cursor);
}

QCursor ApplicationCursor(int number)
{
    return Cursors().value(number, QCursor(Qt::ArrowCursor));
}
