#pragma once

#include <QPalette>
#include <QString>

namespace quorvel {

// Which colours the program draws with: the desktop's, or a light or dark palette forced by the
// environment variable QUORVEL_COLOR_SCHEME ("light" or "dark"), for screenshots and tests.
enum class ColorScheme
{
    Desktop,
    Light,
    Dark,
};

// "light" and "dark" (in any case) name a forced scheme; anything else follows the desktop.
ColorScheme colorSchemeFromName(const QString &name);
ColorScheme colorSchemeFromEnvironment();

// The dark palette of the Fusion style, used when the scheme is forced to dark.
QPalette darkPalette();

// True when the palette draws light text on a dark window.
bool isDarkPalette(const QPalette &palette);

// The Fusion style for every window, with the desktop's palette (which follows its light or dark
// setting) or the forced one. Called once the application object exists, before any window.
void applyColorScheme(ColorScheme scheme);

} // namespace quorvel
