// Program entry: the application object, the windows, the message loop.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "formmain.h"

namespace {

// True when a Qt platform plugin has something to show windows on.
bool HaveDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!HaveDisplay()) {
        std::fprintf(stderr,
                     "kestro: no display found (DISPLAY is not set); run it on a desktop, or "
                     "headless with: xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestro Neural Network"));
    kestro::TFormMain formMain;
    formMain.show();
    return QApplication::exec();
}
