#include "app/gswapplication.h"
#include "app/gswglobals.h"
#include "app/terminationsignals.h"
#include "ui/aboutunit.h"
#include "ui/gswmainunit.h"
#include "ui/imagewidget.h"
#include "ui/pictures.h"

#include <memory>

int main(int argc, char *argv[])
{
    TGswApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kestrion.GlowsweepWizard"));
    QApplication::setWindowIcon(ProgramIcon());

    // The main window comes first, so it is the program's main window; the about box needs
    // its picture and the hand cursor that its creation installs.
    auto mainForm = std::make_unique<TGswMainForm>();
    AboutForm = new TAboutForm(mainForm.get(), mainForm->MonitorImageSrcWide->Picture());

    // Logout, kill and Ctrl+C end the program as a close does, with the settings saved.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, mainForm.get(),
                     [&mainForm] {
                         mainForm->FormEndSession();
                         QApplication::exit(0);
                     });

    mainForm->show();
    const int result = QApplication::exec();
    mainForm.reset(); // FormDestroy; the about box goes with its owner
    AboutForm = nullptr;
    termination.EndAsReceived();
    return result;
}
