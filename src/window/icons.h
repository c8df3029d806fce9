// The program's icons and logos, compiled in from resources/kestro.qrc.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <string_view>

namespace kestro {

// Positions in the list of 16 x 16 action icons that the actions and menus use.
inline constexpr int IconHelp = 0;
inline constexpr int IconAbout = 1;
inline constexpr int IconSavePointsAs = 5;
inline constexpr int IconLearn = 6;

// Returns the application icon with an image for every size a desktop asks for (16 to 256).
QIcon ApplicationIcon();

// Returns action icon `index` (IconHelp, IconAbout, IconSavePointsAs or IconLearn), 16 x 16 with
// a 32 x 32 image for a device pixel ratio of 2; any other index is a fault of the caller.
QIcon ActionIcon(int index);

// Returns the action icon of the given name ("help", "about", "save-points", "learn").
QIcon ActionIcon(std::string_view name);

// Returns the drop-down arrow shown on the learn-mode button, 7 x 4 (14 x 8 at ratio 2).
QIcon LearnModeArrow();

// Returns the square product logo, 90 x 90 logical pixels, sharp at `devicePixelRatio`.
QPixmap ProductLogo(qreal devicePixelRatio = 1.0);

// Returns the wide product logo (badge and name), 119 x 42 logical pixels.
QPixmap ProductLogoWide(qreal devicePixelRatio = 1.0);

// Returns the logo of Quorvanta Software, 120 x 50 logical pixels on a transparent ground.
QPixmap MakerLogo(qreal devicePixelRatio = 1.0);

}  // namespace kestro
