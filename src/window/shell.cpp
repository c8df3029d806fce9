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

bool ShellOpen(const QString& target) {
    if (OpenHook)
        return OpenHook(target);
    return QDesktopServices::openUrl(ShellTargetUrl(target));
}

bool ShellOpen(const std::string& target) {
    return ShellOpen(QString::fromStdString(target));
}

LocalHelpOpened OpenLocalHelp(const std::string& programDirectory) {
    LocalHelpOpened help;
    help.path = LocalHelpPath(programDirectory);
    help.opened = !help.path.empty() && ShellOpen(help.path);
    return help;
}

}  // namespace kestro
