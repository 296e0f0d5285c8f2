// Every benchmark of the program shares one application object: a GUI
// application (offscreen unless a platform is set), since the drawing
// benchmarks need fonts and the others need only an application of any kind.
#pragma once

#include <QGuiApplication>

#include <memory>

inline void EnsureBenchApplication() {
    static std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "zk_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
}
