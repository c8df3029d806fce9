#include "window/shell.h"

#include <QDesktopServices>

#include "core/units/weblinks.h"

namespace kestro {

namespace {

ShellOpenHook OpenHook;

}  // namespace

ShellOpenHook SetShellOpenHook(ShellOpenHook hook) {
    ShellOpenHook previous = std::move(OpenHook);
    OpenHook = std::move(hook);
    return previous;
}

QUrl ShellTargetUrl(const QString& target) {
    const bool web = target.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                     target.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    return web ? QUrl(target, QUrl::TolerantMode) : QUrl::fromLocalFile(target);
}

void ShellOpen(const QString& target) {
    if (OpenHook) {
        OpenHook(target);
        return;
    }
    // A missing browser or viewer is not reported.
    (void)QDesktopServices::openUrl(ShellTargetUrl(target));
}

void ShellOpen(const std::string& target) {
    ShellOpen(QString::fromStdString(target));
}

void OpenLocalHelp(const std::string& programDirectory) {
    const std::string path = LocalHelpPath(programDirectory);
    if (!path.empty())
        ShellOpen(path);
}

}  // namespace kestro
