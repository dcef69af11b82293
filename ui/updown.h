#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

/// Up-down buttons attached to an edit: each step reads the number the edit shows, moves it
/// by one within the range and writes it back as decimal text (which runs the edit's change
/// handler). The Up and Down keys in the edit step too. No wrap-around; never takes the focus.
/// To a screen reader the edit is a spin button with this control's value and range, and the
/// arrows are the buttons "Increase" and "Decrease".
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit *associate, QWidget *parent);

    int Min = 0;
    int Max = 20;

    /// One step up (+1) or down (-1).
    void Step(int delta);
    /// Shows `value`, brought into the range, in the edit (which runs its change handler).
    void SetPosition(int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *Associate;
    QToolButton *UpButton;
    QToolButton *DownButton;
    int Position = 0; // where stepping starts when the edit shows no number
};
