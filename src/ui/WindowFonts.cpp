#include "ui/WindowFonts.h"

#include <QFile>
#include <QFontDatabase>

void LoadWindowFonts() {
    if (QFontDatabase::families().contains("Tahoma")) {
        return;
    }
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf",
          "/usr/share/wine/fonts/ms_sans_serif.ttf"}) {
        if (QFile::exists(file)) {
            QFontDatabase::addApplicationFont(file);
        }
    }
}
