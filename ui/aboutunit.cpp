#include "ui/aboutunit.h"

#include "ui/cursors.h"
#include "ui/formfont.h"
#include "ui/imagewidget.h"
#include "ui/keyboard.h"
#include "ui/webaddresses.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

TAboutForm::TAboutForm(QWidget *mainForm, const QImage &logo)
    : QDialog(mainForm, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , LogoImage(new TImage(this))
    , LabelAbout(new TLinkLabel(MakerNotice, this))
    , HomePageButton(new QPushButton(QStringLiteral("Visit our Home Page"), this))
{
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(292, 310);
    setModal(true);
    const QFont font = FormFont();
    setFont(font);

    LogoImage->setGeometry(40, 20, 212, 150);
    LogoImage->Center = true;

    QFont link = font;
    link.setUnderline(true);
    LabelAbout->setFont(link);
    QPalette p = LabelAbout->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    p.setColor(QPalette::Window, palette().color(QPalette::Button));
    LabelAbout->setPalette(p);
    LabelAbout->setAutoFillBackground(true);
    LabelAbout->setAlignment(Qt::AlignCenter);
    LabelAbout->move(40, 184);
    LabelAbout->adjustSize();
    LabelAbout->installEventFilter(this);

    HomePageButton->setGeometry(20, 268, 120, 25);
    // The notice and the button are reached by Tab, the notice first; Return opens either.
    // The button is no default button: Return elsewhere presses nothing, and it looks the same.
    LabelAbout->setFocusPolicy(Qt::TabFocus);
    HomePageButton->setFocusPolicy(Qt::TabFocus);
    HomePageButton->setAutoDefault(false);
    PressOnReturn(HomePageButton);
    LogoImage->setAccessibleName(QStringLiteral("Glowsweep Wizard logo"));

    connect(HomePageButton, &QPushButton::clicked, this, [this] { HomePageButtonClick(); });
    connect(LogoImage, &TImage::clicked, this, [this] { HomePageButtonClick(); });
    connect(LabelAbout, &TLinkLabel::activated, this, [this] { LabelAboutClick(); });
    FormCreate(logo);
}

void TAboutForm::FormCreate(const QImage &logo)
{
    LogoImage->SetPicture(logo.copy());
    LogoImage->setCursor(ApplicationCursor(HandCursor));
    LabelAbout->setCursor(ApplicationCursor(HandCursor));
}

void TAboutForm::HomePageButtonClick()
{
    OpenWebAddress(ProductHomePageUrl(), this);
}

void TAboutForm::LabelAboutClick()
{
    OpenWebAddress(MakerHomePageUrl(), this);
}

void TAboutForm::FormKeyDown(int key)
{
    if (key == Qt::Key_Escape)
        close();
}

void TAboutForm::keyPressEvent(QKeyEvent *event)
{
    FormKeyDown(event->key());
}

void TAboutForm::showEvent(QShowEvent *event)
{
    if (const QWidget *owner = parentWidget()) {
        const QRect over = owner->frameGeometry();
        move(over.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LabelAbout && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            LabelAboutClick();
            return true;
        }
    }
    // The focused notice: drawn as always, then its focus rectangle in its own colour.
    if (watched == LabelAbout && event->type() == QEvent::Paint && LabelAbout->hasFocus()) {
        static_cast<QObject *>(LabelAbout)->event(event);
        QPainter painter(LabelAbout);
        DrawFocusRectangle(painter, LabelAbout->rect(),
                           LabelAbout->palette().color(QPalette::WindowText));
        return true;
    }
    // A click: the left button released over the notice, as for the logo. Released elsewhere,
    // after a press on the notice, it opens nothing.
    if (watched == LabelAbout && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            LabelAbout->rect().contains(mouse->position().toPoint()))
            LabelAboutClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
