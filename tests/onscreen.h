#pragma once

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

/// What the window system holds for `window` once pending updates are done, one image pixel
/// per physical pixel; null where the backing store is not an image.
inline QImage OnScreen(QWidget &window)
{
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QPaintDevice *device = window.backingStore() ? window.backingStore()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return {};
    QImage image = static_cast<QImage *>(device)->convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    return image;
}
