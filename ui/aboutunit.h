#pragma once

#include "ui/accessibility.h"

#include <QDialog>

class QPushButton;
class TImage;

/// The about box: the monitor picture as the product's logo, the maker's notice as a link to
/// the maker's home page, and a button to the product's home page. Made once at start-up,
/// shown modally by the main window's About button; closing only hides it.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    /// `mainForm` supplies the logo and is the window the box is centred over.
    explicit TAboutForm(QWidget *mainForm, const QImage &logo);

    TImage *LogoImage;
    TLinkLabel *LabelAbout;
    QPushButton *HomePageButton;

    void FormCreate(const QImage &logo);
    void HomePageButtonClick();
    void LabelAboutClick();
    void FormKeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
