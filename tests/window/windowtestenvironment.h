// What the window tests share: the system information gathered into a temporary folder, and a
// record of every target handed to the desktop's "open" instead of starting a browser.
#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include "core/units/info.h"
#include "window/shell.h"

struct WindowTestEnvironment {
    QTemporaryDir dataRoot;
    QStringList opened;

    // Gathers the system information with its company folder under dataRoot.
    bool GatherInfo() {
        if (!dataRoot.isValid())
            return false;
        kestro::GatherLocalInfo(dataRoot.path().toStdString());
        return true;
    }

    // From now on the shell's "open" only records its target.
    void RecordShell() {
        opened.clear();
        kestro::SetShellOpenHook([this](const QString& target) {
            opened << target;
            return true;
        });
    }

    static void RestoreShell() { kestro::SetShellOpenHook({}); }
};
