// dvk-updater: program start. Started without arguments from the folder
// that holds "res"; runs until the main window is closed.
#include <QApplication>

#include <memory>

#include "app/AutoPress.h"
#include "app/QtDialogs.h"
#include "app/about.h"
#include "app/main.h"
#include "platform/Dialogs.h"

int main(int argc, char** argv) {
    // The platform's units (and with them the archive component's
    // process-wide lock) are up before main runs.
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    za::TQtDialogs dialogs;
    za::TDialogsScope dialogsScope(&dialogs);

    // The first window created is the main window; the About window stays
    // hidden until it is chosen from the menu.
    za::TfmMain fmMain;
    za::TfmAbout fmAbout;
    fmMain.SetAboutForm(&fmAbout);

    // Scripted run for demos and screenshots (DVK_AUTOPRESS=1), see AutoPress.h.
    std::unique_ptr<za::TAutoPress> autoPress = za::TAutoPress::FromEnvironment(fmMain, dialogs);

    fmMain.show();
    if (autoPress) {
        autoPress->Start();
    }
    return QApplication::exec();
}
