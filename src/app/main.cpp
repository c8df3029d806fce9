// Program entry: the system information, the application object, the windows, the message loop.
#include <QApplication>
#include <QGuiApplication>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

// The program's own options: --seed N (or --seed=N), the random generator's seed, an unsigned
// 32-bit integer; --help. Everything else is left to Qt (its -platform, -style, ...).
struct Options {
    std::optional<uint32_t> seed;
    bool help = false;
    std::string error;  // the first bad option, for one line on stderr
};

Options ParseOptions(int argc, char* argv[]) {
    Options options;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        std::string_view value;
        if (arg == "--seed") {
            if (i + 1 >= argc) {
                options.error = "--seed needs a value";
                break;
            }
            value = argv[++i];
        } else if (arg.starts_with("--seed=")) {
            value = arg.substr(7);
        } else {
            continue;
        }
        uint32_t seed = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seed);
        if (ec != std::errc() || end != value.data() + value.size() || value.empty())
            options.error = "bad value for --seed: '" + std::string(value) +
                            "' (expected an integer 0..4294967295)";
        else
            options.seed = seed;
    }
    return options;
}

}  // namespace

int main(int argc, char* argv[]) {
    const Options options = ParseOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "kestro: %s\n", options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::printf("usage: kestro [--seed N]\n"
                    "  --seed N  seed of the random generator (0..4294967295); the same seed starts\n"
                    "            with the same points and network as kestro-train --seed N\n");
        return 0;
    }
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
        formMain = std::make_unique<kestro::TFormMain>(nullptr, options.seed);
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
