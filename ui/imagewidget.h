#pragma once

#include <QImage>
#include <QWidget>

/// Shows a picture: at its top-left, or centred. Pictures that use a transparent colour are
/// handed in already made transparent (see WithTransparentColour). A screen reader finds it as an
/// image with the widget's accessible name.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget *parent);

    void SetPicture(const QImage &picture);
    /// The picture itself, for painting into; call update() afterwards.
    QImage &Picture() { return picture; }
    const QImage &Picture() const { return picture; }

    bool Center = false;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage picture;
};

/// `image` with every pixel of its bottom-left pixel's colour made fully transparent.
QImage WithTransparentColour(const QImage &image);
