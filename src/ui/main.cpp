// Zel Korda Works: the workstation program.
#include "calibration/forms/CalibrationToolForm.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/ProgramStart.h"
#include "ui/QtPrompt.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zel Korda Works");
    // The calibration tool speaks German to a user whose interface language is
    // German; every other text of the program stays as it is.
    InstallTranslation(app, QLocale::system().uiLanguages());
    TQtPrompt prompt;
    auto windows = CreateProgramWindows(prompt);
    prompt.SetParent(windows->Main.get());
    windows->Main->show();
    return app.exec();
}
