// Zel Korda Works: the workstation program.
#include "ui/PaekAnalyserForm.h"
#include "ui/ProgramStart.h"
#include "ui/QtPrompt.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zel Korda Works");
    TQtPrompt prompt;
    auto windows = CreateProgramWindows(prompt);
    prompt.SetParent(windows->Main.get());
    windows->Main->show();
    return app.exec();
}
