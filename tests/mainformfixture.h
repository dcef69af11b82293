#pragma once

// Shared by the main-window tests: a main window whose folders are a temporary folder, and a
// way to answer the modal message boxes it opens.

#include "app/gswglobals.h"
#include "settings/settingsfile.h"
#include "ui/gswmainunit.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <memory>

/// A main window made as the program makes it, with every folder inside `dir`:
/// the program lives in dir/bin/, the shared data folder is dir/shared (or none).
struct MainFormFixture {
    QTemporaryDir dir;
    std::unique_ptr<TGswMainForm> form;

    QByteArray Shared() const { return QFile::encodeName(dir.path() + QStringLiteral("/shared")); }
    QString SettingsPath() const
    {
        return dir.path() + QStringLiteral("/shared/Glowsweep Wizard/") + SettingsFileName;
    }

    /// Writes a settings file for the next Create().
    void WriteSettings(const QByteArray &bytes) const
    {
        QDir().mkpath(dir.path() + QStringLiteral("/shared/Glowsweep Wizard"));
        QFile f(SettingsPath());
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }

    /// `programFolder`: the name of the program's folder in dir, in any bytes.
    TGswMainForm &Create(bool withSpecialFolder = true, const QByteArray &programFolder = "bin")
    {
        const QByteArray shared = Shared();
        TGswFolders folders{QFile::encodeName(dir.path()) + '/' + programFolder +
                                "/glowsweep-wizard",
                            [shared, withSpecialFolder](int32_t number) {
                                return withSpecialFolder && number == 35 ? shared : QByteArray();
                            }};
        form = std::make_unique<TGswMainForm>(folders);
        return *form;
    }

    /// The first activation, as the window system delivers it.
    void Activate() const
    {
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(form.get(), &activate);
    }
};

/// What a modal message box showed, and how it was answered.
struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
};

/// Answers the next modal message box with `answer` (NoButton: closes it by its title bar),
/// after `ticks` calls of `whileOpen` (run while the box is open). Polls for the box a bounded
/// number of times; a box that never comes leaves `seen` false.
inline std::shared_ptr<SeenBox> AnswerNextBox(QMessageBox::StandardButton answer,
                                              std::function<void()> whileOpen = {})
{
    auto seen = std::make_shared<SeenBox>();
    auto *poll = new QTimer;
    poll->setInterval(5);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            if (++*attempts > 400)
                poll->deleteLater();
            return;
        }
        poll->stop();
        poll->deleteLater();
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->defaultButton = box->standardButton(box->defaultButton());
        seen->escapeButton = box->standardButton(box->escapeButton());
        if (whileOpen)
            whileOpen();
        if (answer == QMessageBox::NoButton)
            box->close();
        else
            box->button(answer)->click();
    });
    poll->start();
    return seen;
}
