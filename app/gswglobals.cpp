#include "app/gswglobals.h"

std::unique_ptr<QList<MonitorSettings>> MonitorSettingsList;
std::unique_ptr<QList<TWashForm *>> WashWindowList;
bool WashActive = false;
int64_t FrameCounter = 0;
bool StartupPending = true;
QByteArray ProgramFolder;
QByteArray ConfigFolder;
TGswMainForm *GswMainForm = nullptr;
TAboutForm *AboutForm = nullptr;
QList<QPointer<QScreen>> Monitors;
