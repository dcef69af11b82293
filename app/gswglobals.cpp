#include "app/gswglobals.h"

#include "app/specialfolder.h"

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

TGswFolders TGswFolders::System()
{
    return {ProgramFilePath(), &GetSpecialFolder};
}

void SetProgramFolders(const TGswFolders &folders)
{
    ProgramFolder = ExtractFolder(folders.executablePath);
    ConfigFolder = folders.specialFolder(CommonAppDataFolder);
    if (!ConfigFolder.isEmpty())
        ConfigFolder += SettingsSubfolder;
    else
        ConfigFolder = ProgramFolder;
}
