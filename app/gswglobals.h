#pragma once

#include "app/monitorsettings.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QScreen>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TGswMainForm;
class TAboutForm;
class TWashForm;

// Program-wide state, shared by the main window, the wash and the settings file. Everything
// runs on the user-interface thread, so none of it is locked.

/// One record per monitor, in monitor order; created by FormCreate, freed by FormDestroy.
extern std::unique_ptr<QList<MonitorSettings>> MonitorSettingsList;
/// The wash windows open now, in the order they were opened. References only: the main
/// window owns the windows.
extern std::unique_ptr<QList<TWashForm *>> WashWindowList;
extern bool WashActive;
/// Animation step, advanced once at the end of every tick; never reset, never decreasing.
extern int64_t FrameCounter;
/// True until the main window's first activation; the control handlers write nothing before.
extern bool StartupPending;
/// The executable's folder and the settings folder, 8-bit text ending with a separator.
extern QByteArray ProgramFolder;
extern QByteArray ConfigFolder;
extern TGswMainForm *GswMainForm;
extern TAboutForm *AboutForm;

/// The desktop's monitors in the windowing system's order, taken once when the main window is
/// created. A monitor unplugged later leaves a null entry: its index stays valid, its screen
/// does not.
extern QList<QPointer<QScreen>> Monitors;

/// The application's title: the task bar's text and the error box's caption.
inline const QString ApplicationTitle = QStringLiteral("Glowsweep Wizard");

/// Where the program finds its folders at start-up. The program takes them from the system;
/// tests hand in folders of their own.
struct TGswFolders {
    QByteArray executablePath;                        ///< full path of the program file
    std::function<QByteArray(int32_t)> specialFolder; ///< GetSpecialFolder
    static TGswFolders System();
};

/// Sets ProgramFolder, and ConfigFolder: the all-users data folder's settings subfolder, or the
/// program's folder where the system gives none.
void SetProgramFolders(const TGswFolders &folders);
