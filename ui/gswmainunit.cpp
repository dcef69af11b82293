#include "ui/gswmainunit.h"

#include "app/commandline.h"
#include "app/gswglobals.h"
#include "app/monitorsize.h"
#include "ui/aboutunit.h"
#include "ui/accessibility.h"
#include "ui/formfont.h"
#include "ui/formmover.h"
#include "ui/imagewidget.h"
#include "ui/keyboard.h"
#include "ui/pictures.h"
#include "ui/updown.h"
#include "ui/webaddresses.h"
#include "wash/renderbars.h"
#include "wash/washunit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QWindow>
#include <cstdlib>

const QString TGswMainForm::WashConfirmationText = QStringLiteral(
    "The Glowsweep process is about to start.\n\nTo stop the process at any time, press ESC or "
    "click the \"Deactivate Glowsweep\" button.");

namespace {

const QString ActivateText = QStringLiteral("Activate Glowsweep");
const QString DeactivateText = QStringLiteral("Deactivate Glowsweep");

/// The list asks the window to measure and draw its items. Before a draw it chooses the
/// colours for the item's state; after it, it draws the focus rectangle itself.
class TMonitorListDelegate : public QStyledItemDelegate {
public:
    explicit TMonitorListDelegate(TGswMainForm *form)
        : QStyledItemDelegate(form)
        , Form(form)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {option.rect.width(), Form->MonitorListMeasureItem(index.row())};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QColor fill = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QColor text =
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        painter->save();
        Form->MonitorListDrawItem(*painter, index.row(), option.rect, fill, text);
        painter->restore();
        // In the text's colour, which stands out against the fill, selected or not.
        if (option.state.testFlag(QStyle::State_HasFocus))
            DrawFocusRectangle(*painter, option.rect, text);
    }

private:
    TGswMainForm *Form;
};

/// A message box centred on the screen rather than over its parent.
class TScreenCentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event); // settles the box's size
        const QScreen *s = parentWidget() ? parentWidget()->screen() : screen();
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
};

} // namespace

TGswMainForm::TGswMainForm(const TGswFolders &folders)
    : QWidget(nullptr)
    , Session(new TWashSession(this))
{
    GswMainForm = this;
    // Each main window starts a run of its own.
    WashActive = false;
    FrameCounter = 0;
    StartupPending = true;
    InstallAccessibleInterfaces();
    CreateComponents();
    FormCreate(folders);
}

TGswMainForm::~TGswMainForm()
{
    FormDestroy();
    if (GswMainForm == this)
        GswMainForm = nullptr;
}

void TGswMainForm::CreateComponents()
{
    setFixedSize(463, 410);
    move(253, 161);
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
    const QFont font = FormFont();
    setFont(font);

    const auto label = [](const QString &text, QWidget *parent, int left, int top) {
        auto *l = new QLabel(text, parent);
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    const auto dropDown = [](const QStringList &items, int index, QWidget *parent, QRect bounds) {
        auto *c = new QComboBox(parent);
        c->addItems(items);
        c->setCurrentIndex(index);
        c->setGeometry(bounds);
        return c;
    };
    // The buttons are reached by Tab and pressed with Space or Return; a click leaves the focus
    // where it was.
    const auto speedButton = [](const QString &text, QWidget *parent, QRect bounds) {
        auto *b = new QPushButton(text, parent);
        b->setFocusPolicy(Qt::TabFocus);
        PressOnReturn(b);
        b->setGeometry(bounds);
        return b;
    };
    const auto barEdit = [this](QWidget *parent, QRect bounds) {
        auto *e = new QLineEdit(QStringLiteral("0"), parent);
        e->setReadOnly(true);
        // No length limit: a limit would cut the text set from the record, and nothing is
        // typed into a read-only edit anyway.
        QPalette p = e->palette();
        p.setColor(QPalette::Base, palette().color(QPalette::Button));
        e->setPalette(p);
        e->setGeometry(bounds);
        return e;
    };

    PreviewGB = new QGroupBox(QStringLiteral(" Selected Monitor : "), this);
    PreviewGB->setGeometry(10, 6, 255, 395);
    MonitorImageSrcWide = new TImage(PreviewGB);
    MonitorImageSrcWide->SetPicture(WithTransparentColour(MonitorPicture()));
    MonitorImageSrcWide->setGeometry(20, 32, 212, 150);
    MonitorTNImageWide = new TImage(PreviewGB);
    MonitorTNImageWide->SetPicture(WithTransparentColour(MonitorThumbnail()));
    MonitorTNImageWide->setGeometry(73, 107, 106, 75);
    MonitorTNImageWide->hide();
    LabelMonitor = new QLabel(PreviewGB);
    LabelMonitor->setGeometry(20, 186, 212, 30);
    LabelMonitor->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LabelScanRate = label(QStringLiteral("Glowsweep scan rate"), PreviewGB, 18, 266);
    LabelHBars = label(QStringLiteral("Horizontal bar(s)"), PreviewGB, 18, 362);
    LabelVBars = label(QStringLiteral("Vertical bar(s)"), PreviewGB, 18, 330);
    MonitorImage = new TImage(PreviewGB);
    MonitorImage->setGeometry(30, 42, 192, 108);
    // The preview's opaque picture covers it whole, so its repaint at every tick draws only
    // the picture, not the group box and the monitor picture beneath it.
    MonitorImage->setAttribute(Qt::WA_OpaquePaintEvent);
    LabelBarSize = label(QStringLiteral("Glowsweep bar size"), PreviewGB, 18, 298);
    VBarEdit = barEdit(PreviewGB, {138, 326, 80, 21});
    HBarEdit = barEdit(PreviewGB, {138, 358, 80, 21});
    ScanRateCB =
        dropDown({QStringLiteral("Very Slow"), QStringLiteral("Slow"), QStringLiteral("Normal"),
                  QStringLiteral("Fast"), QStringLiteral("Very Fast")},
                 2, PreviewGB, {138, 262, 80, 21});
    VUpDown = new TUpDown(VBarEdit, PreviewGB);
    VUpDown->setGeometry(218, 326, 20, 21);
    HUpDown = new TUpDown(HBarEdit, PreviewGB);
    HUpDown->setGeometry(218, 358, 20, 21);
    BarSizeCB =
        dropDown({QStringLiteral("Very Small"), QStringLiteral("Small"), QStringLiteral("Normal"),
                  QStringLiteral("Large"), QStringLiteral("Very Large")},
                 2, PreviewGB, {138, 294, 80, 21});

    MonitorsGB = new QGroupBox(QStringLiteral(" Available Monitors : "), this);
    MonitorsGB->setGeometry(274, 6, 180, 395);
    ApplyButton = speedButton(ActivateText, MonitorsGB, {10, 344, 160, 40});
    QFont bold = font;
    bold.setBold(true);
    ApplyButton->setFont(bold);
    HelpButton = speedButton(QStringLiteral("Help"), MonitorsGB, {10, 20, 78, 23});
    AboutButton = speedButton(QStringLiteral("About"), MonitorsGB, {92, 20, 78, 23});
    LabelActivate = label(QStringLiteral("Activate on :"), MonitorsGB, 12, 304);
    MonitorList = new QListWidget(MonitorsGB);
    MonitorList->setGeometry(10, 48, 160, 249);
    MonitorList->setSelectionMode(QAbstractItemView::SingleSelection);
    MonitorList->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    MonitorList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MonitorList->setItemDelegate(new TMonitorListDelegate(this));
    ActivateCB = dropDown({QStringLiteral("Selected Monitor"), QStringLiteral("All Monitors")}, 0,
                          MonitorsGB, {10, 318, 160, 21});

    WashTimer = new QTimer(this);
    WashTimer->setInterval(250);

    // Tab runs from the list through its group's controls to the settings; Help and About,
    // above the list, come last, just before it.
    const QList<QWidget *> tabOrder{MonitorList, ActivateCB, ApplyButton, ScanRateCB, BarSizeCB,
                                    VBarEdit,    HBarEdit,   HelpButton,  AboutButton};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    MonitorList->setFocus();

    // What a screen reader says of each control: its label's words, which also name the label
    // and the group boxes, without the layout's punctuation.
    PreviewGB->setAccessibleName(SpokenName(PreviewGB->title()));
    MonitorsGB->setAccessibleName(SpokenName(MonitorsGB->title()));
    const std::pair<QLabel *, QWidget *> labelled[] = {{LabelScanRate, ScanRateCB},
                                                       {LabelBarSize, BarSizeCB},
                                                       {LabelVBars, VBarEdit},
                                                       {LabelHBars, HBarEdit},
                                                       {LabelActivate, ActivateCB}};
    for (const auto &[l, control] : labelled) {
        l->setBuddy(control);
        l->setAccessibleName(SpokenName(l->text()));
        control->setAccessibleName(l->accessibleName());
    }
    VUpDown->setAccessibleName(LabelVBars->accessibleName());
    HUpDown->setAccessibleName(LabelHBars->accessibleName());
    MonitorList->setAccessibleName(MonitorsGB->accessibleName());
    for (QComboBox *c : {ScanRateCB, BarSizeCB, ActivateCB})
        AnnounceCurrentItem(c);
    AnnounceCurrentItem(MonitorList);

    // The list's click: every change of the selection, by mouse or keyboard, and also a click
    // on the item that is already selected, which changes nothing in the list itself.
    connect(MonitorList, &QListWidget::currentRowChanged, this, [this] { MonitorListClick(); });
    connect(MonitorList, &QListWidget::clicked, this, [this](const QModelIndex &index) {
        if (index.row() == RowAtPress)
            MonitorListClick();
    });
    connect(ScanRateCB, &QComboBox::activated, this, [this] { ScanRateCBChange(); });
    connect(BarSizeCB, &QComboBox::activated, this, [this] { BarSizeCBChange(); });
    connect(VBarEdit, &QLineEdit::textChanged, this, [this] { VBarEditChange(); });
    connect(HBarEdit, &QLineEdit::textChanged, this, [this] { HBarEditChange(); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { ApplyButtonClick(); });
    connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
    connect(AboutButton, &QPushButton::clicked, this, [this] { AboutButtonClick(); });
    connect(WashTimer, &QTimer::timeout, this, [this] { WashTimerTimer(); });
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &manager) { FormCommitData(manager); });
    connect(Session, &TWashSession::washBegins, this, [this] { WashBegins(); });
    connect(Session, &TWashSession::washEnds, this, [this] { WashEnds(); });
    connect(Session, &TWashSession::previewTick, this, [this] { PaintPreview(); });
    connect(Session, &TWashSession::keyDown, this, [this](int key) { FormKeyDown(key); });
    connect(Session, &TWashSession::clicked, this, [this] { ToggleWash(); });
    connect(Session, &TWashSession::unattendedOver, this, [this] { UnattendedWashOver(); });

    // The background, the group boxes, the labels and the pictures move the window; every
    // other control keeps its own mouse behaviour.
    Mover = new TFormMover(this, {PreviewGB, MonitorsGB, LabelMonitor, LabelScanRate, LabelHBars,
                                  LabelVBars, LabelBarSize, LabelActivate, MonitorImageSrcWide,
                                  MonitorImage});
    // The window sees every key before the focused control does.
    qApp->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------
// The monitor list and the settings controls

void TGswMainForm::RefreshMonitorList()
{
    const int remembered = MonitorList->currentRow();
    const QSignalBlocker quiet(MonitorList);
    MonitorList->clear();
    QList<QScreen *> screens;
    for (const QPointer<QScreen> &screen : std::as_const(Monitors)) {
        if (screen)
            screens.append(screen);
    }
    const QList<TMonitorSize> sizes = MonitorPixelSizes(screens);
    qsizetype known = 0;
    for (int i = 0; i < Monitors.size(); ++i) {
        const QString size = Monitors[i] ? MonitorSizeText(sizes[known++]) : QStringLiteral("0x0");
        MonitorList->addItem(QStringLiteral("Monitor %1|%2").arg(i + 1).arg(size));
        MonitorList->item(i)->setData(Qt::AccessibleTextRole,
                                      QStringLiteral("Monitor %1, %2").arg(i + 1).arg(size));
    }
    MonitorList->setCurrentRow(remembered <= -1 ? 0 : remembered);
}

void TGswMainForm::ShowSelectedMonitor()
{
    const int i = MonitorList->currentRow();
    if (i < 0 || i >= MonitorList->count() || i >= MonitorSettingsList->size())
        return;
    // The list is made afresh whenever the monitors change, so its item has the size as the
    // desktop has it now.
    const QString size = MonitorList->item(i)->text().section(QLatin1Char('|'), 1);
    LabelMonitor->setText(QStringLiteral("Monitor %1\n%2").arg(i + 1).arg(size));
    const QString shown = QStringLiteral("Preview of Monitor %1").arg(i + 1);
    MonitorImageSrcWide->setAccessibleName(shown);
    MonitorImage->setAccessibleName(shown);
    MonitorImageSrcWide->move(MonitorImageSrcWide->x(), 32);
    MonitorImage->setGeometry(MonitorImageSrcWide->x() + 10, MonitorImageSrcWide->y() + 10, 192,
                              108);
    LabelMonitor->move(LabelMonitor->x(),
                       MonitorImageSrcWide->y() + MonitorImageSrcWide->height() + 4);

    // Setting the edits' texts runs their change handlers, which write the same values back.
    const MonitorSettings r = (*MonitorSettingsList)[i];
    ScanRateCB->setCurrentIndex(r.ScanRate);
    BarSizeCB->setCurrentIndex(r.BarSize);
    HBarEdit->setText(QString::number(r.HBars));
    VBarEdit->setText(QString::number(r.VBars));
}

int TGswMainForm::MonitorListMeasureItem(int) const
{
    const int f = std::abs(MonitorList->font().pixelSize());
    return (f + 2) * 2 + MonitorTNImageWide->height() + 12;
}

void TGswMainForm::MonitorListDrawItem(QPainter &canvas, int index, const QRect &rect,
                                       const QColor &fill, const QColor &text) const
{
    canvas.fillRect(rect, fill);
    const QListWidgetItem *item = MonitorList->item(index);
    if (!item)
        return;
    const QString itemText = item->text();
    const qsizetype bar = itemText.indexOf(QLatin1Char('|'));
    const QString line1 = bar < 0 ? itemText : itemText.left(bar);
    const QString line2 = bar < 0 ? QString() : itemText.mid(bar + 1);

    const QImage &thumbnail = MonitorTNImageWide->Picture();
    const int tw = MonitorTNImageWide->width();
    const int th = MonitorTNImageWide->height();
    const int x = rect.left() + (rect.width() - tw) / 2;
    canvas.drawImage(x, rect.top() + 6, thumbnail);

    const QFont font = MonitorList->font();
    const QFontMetrics metrics(font);
    canvas.setFont(font);
    canvas.setPen(text);
    const int f = std::abs(font.pixelSize());
    canvas.drawText(x + (tw - metrics.horizontalAdvance(line1)) / 2,
                    rect.top() + th + 8 + metrics.ascent(), line1);
    canvas.drawText(x + (tw - metrics.horizontalAdvance(line2)) / 2,
                    rect.top() + th + f + 10 + metrics.ascent(), line2);
}

namespace {

/// The selected monitor's record, or null while the window may not write into one.
MonitorSettings *RecordToWrite(const QListWidget *list)
{
    if (StartupPending)
        return nullptr;
    const int i = list->currentRow();
    if (i < 0 || i >= list->count() || i >= MonitorSettingsList->size())
        return nullptr;
    return &(*MonitorSettingsList)[i];
}

int32_t DecimalOr(const QString &text, int32_t fallback)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

} // namespace

void TGswMainForm::ScanRateCBChange()
{
    if (MonitorSettings *r = RecordToWrite(MonitorList))
        r->ScanRate = ScanRateCB->currentIndex();
}

void TGswMainForm::BarSizeCBChange()
{
    if (MonitorSettings *r = RecordToWrite(MonitorList))
        r->BarSize = BarSizeCB->currentIndex();
}

void TGswMainForm::VBarEditChange()
{
    if (MonitorSettings *r = RecordToWrite(MonitorList))
        r->VBars = DecimalOr(VBarEdit->text(), 1);
}

void TGswMainForm::HBarEditChange()
{
    if (MonitorSettings *r = RecordToWrite(MonitorList))
        r->HBars = DecimalOr(HBarEdit->text(), 0);
}

void TGswMainForm::HelpButtonClick()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("The online help page will now open in your default web "
                                   "browser."),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    if (box.exec() == QMessageBox::Ok)
        OpenWebAddress(HelpPageUrl(), this);
}

void TGswMainForm::AboutButtonClick()
{
    if (AboutForm)
        AboutForm->exec();
}

// ---------------------------------------------------------------------------------------
// Moving the window by its background

void TGswMainForm::FormMouseDown(const QPoint &globalPos, Qt::MouseButton button)
{
    Mover->Press(globalPos, button);
}

void TGswMainForm::mousePressEvent(QMouseEvent *event)
{
    FormMouseDown(event->globalPosition().toPoint(), event->button());
}

void TGswMainForm::mouseMoveEvent(QMouseEvent *event)
{
    Mover->Move(event->globalPosition().toPoint());
}

void TGswMainForm::mouseReleaseEvent(QMouseEvent *event)
{
    Mover->Release(event->button());
}

bool TGswMainForm::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // Before the list handles the press: which item was selected when the click began.
        if (watched == MonitorList->viewport())
            RowAtPress = MonitorList->currentRow();
        return false;
    case QEvent::Hide:
        // A modal box or the about box closed: the keyboard comes back to this window, also
        // where no window manager hands it back.
        if (const auto *w = qobject_cast<QWidget *>(watched); w && w->isWindow() && w->isModal())
            ReclaimKeyboard();
        return false;
    case QEvent::KeyPress: {
        // A key goes first to the window's focused control and then, unless taken, to its
        // parents: handle it once, where it first arrives.
        QWidget *first = focusWidget();
        if (!first)
            first = this;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (watched == first && !key->isAutoRepeat()) // a held key counts once
            FormKeyDown(key->key());
        return false; // the key is not consumed
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// ---------------------------------------------------------------------------------------
// Washing

int TGswMainForm::ChosenTarget() const
{
    return ActivateCB->currentIndex() == 0 ? MonitorList->currentRow() : TWashSession::AllMonitors;
}

void TGswMainForm::ToggleWash()
{
    if (WashActive) {
        Session->EndWash();
        return;
    }
    TScreenCentredMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                                 WashConfirmationText, QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Ok)
        return;
    Session->BeginWash(ChosenTarget());
}

void TGswMainForm::StartUnattendedWash(int index)
{
    if (WashActive)
        return;
    Session->BeginWash(index == TCommandLine::AllMonitors ? TWashSession::AllMonitors : index,
                       true);
}

void TGswMainForm::UnattendedWashOver()
{
    UnattendedClose = true;
    const bool closed = close();
    UnattendedClose = false;
    // Also when a box opened from the main window would keep the program running.
    if (closed)
        QCoreApplication::exit(0);
}

void TGswMainForm::WashBegins()
{
    MonitorImage->hide();
    ApplyButton->setText(DeactivateText);
}

void TGswMainForm::WashEnds()
{
    MonitorImage->show();
    ApplyButton->setText(ActivateText);
    // The wash windows had the keyboard; their owner takes it back, so that Esc reaches it.
    ReclaimKeyboard();
}

void TGswMainForm::ReclaimKeyboard()
{
    // Asked once the current event is done, and not if a wash or another box has the keyboard
    // by then.
    QTimer::singleShot(0, this, [this] {
        if (!WashActive && isVisible() && !QApplication::activeModalWidget())
            activateWindow();
    });
}

void TGswMainForm::PaintPreview()
{
    const int i = MonitorList->currentRow();
    if (i < 0 || i >= MonitorList->count() || i >= MonitorSettingsList->size())
        return;
    const MonitorSettings &r = (*MonitorSettingsList)[i];
    QImage &picture = MonitorImage->Picture();
    BarSpans spans = ComputeBarSpans(picture.width(), picture.height(), r.HBars, r.VBars,
                                     r.ScanRate, r.BarSize, FrameCounter);
    if (spans != PreviewSpans || picture.cacheKey() != PreviewKey) {
        PaintBarSpans(picture, spans);
        MonitorImage->update();
        PreviewSpans = std::move(spans);
        PreviewKey = picture.cacheKey();
    }
}

void TGswMainForm::FormKeyDown(int key)
{
    if (key != Qt::Key_Escape)
        return;
    if (WashActive)
        ToggleWash();
    else
        close();
}
