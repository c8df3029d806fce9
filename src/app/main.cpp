// Program entry: the system information, the application object, the windows, the message loop.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "app/crash.h"
#include "core/units/info.h"
#include "views/qtext.h"
#include "window/about.h"
#include "window/application.h"
#include "window/dialogexception.h"
#include "window/formmain.h"
#include "window/icons.h"

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
    // Gathered before anything else and only read afterwards.
    kestro::GatherLocalInfo();
    if (!HaveDisplay()) {
        std::fprintf(stderr,
                     "kestro: no display found (DISPLAY is not set); run it on a desktop, or "
                     "headless with: xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }
    // An exception that escapes where no event handler stands (a noexcept function, a
    // destructor during unwinding) still reaches the error report.
    kestro::InstallTerminateHandler();
    // The error report says where the exception was raised and who called: this program carries
    // the throw hook that notes it.
    kestro::SetExceptionFactsSource(&kestro::CaptureExceptionFacts);
    kestro::TApplication application(argc, argv);
    QApplication::setApplicationName(kestro::QText(kestro::ProductName));
    QApplication::setWindowIcon(kestro::ApplicationIcon());
    // Desktops match the window to the menu entry kestro.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("kestro"));

    // The windows are created once, in this order, and live until the program ends; the
    // error report's creation installs the application-wide exception handler.
    std::unique_ptr<kestro::TFormMain> formMain;
    std::unique_ptr<kestro::TdlgAbout> dlgAbout;
    std::unique_ptr<kestro::TDialogException> dialogException;
    try {
        formMain = std::make_unique<kestro::TFormMain>();
        dlgAbout = std::make_unique<kestro::TdlgAbout>(formMain.get());
        formMain->SetAboutBox(dlgAbout.get());
        dialogException = std::make_unique<kestro::TDialogException>();
        formMain->show();
        return QApplication::exec();
    } catch (...) {
        // Outside any event handler: creating a window, or leaving the message loop.
        kestro::HandleUncaughtException(std::current_exception());
        return kestro::TDialogException::ExitCodeAfterReport;
    }
}
