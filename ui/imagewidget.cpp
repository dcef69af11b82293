#include "ui/imagewidget.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace {

QAccessibleInterface *ImageAccessibleFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("TImage"))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
}

} // namespace

TImage::TImage(QWidget *parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&ImageAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

void TImage::SetPicture(const QImage &image)
{
    picture = image;
    update();
}

void TImage::paintEvent(QPaintEvent *)
{
    if (picture.isNull())
        return;
    QPainter painter(this);
    const QSize size = picture.deviceIndependentSize().toSize();
    const QPoint at = Center ? QPoint((width() - size.width()) / 2, (height() - size.height()) / 2)
                             : QPoint(0, 0);
    painter.drawImage(QRect(at, size), picture);
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

QImage WithTransparentColour(const QImage &image)
{
    if (image.isNull())
        return image;
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = result.pixel(0, result.height() - 1);
    for (int y = 0; y < result.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return result;
}
