// The desktop's "open" operation for local files and web addresses, behind a replaceable hook
// so that tests can see what would be opened without starting a browser.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <string>

namespace kestro {

// Receives every target given to ShellOpen while installed, and answers whether it was opened.
using ShellOpenHook = std::function<bool(const QString& target)>;

// Installs a hook in place of the desktop (an empty hook restores the desktop); returns the
// hook that was installed before.
ShellOpenHook SetShellOpenHook(ShellOpenHook hook);

// The URL the desktop is given: a web address as it stands, anything else as a local file.
QUrl ShellTargetUrl(const QString& target);

// Opens target in the user's default viewer; returns false when no viewer could be started
// (the web actions do not examine it).
bool ShellOpen(const QString& target);
bool ShellOpen(const std::string& target);

// The local help page's path (empty when there is none) and whether a viewer was started.
struct LocalHelpOpened {
    std::string path;
    bool opened = false;
};

// Opens the local help page of the program in programDirectory when it exists as a file.
LocalHelpOpened OpenLocalHelp(const std::string& programDirectory);

}  // namespace kestro
