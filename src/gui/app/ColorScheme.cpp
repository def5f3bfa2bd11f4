#include "gui/app/ColorScheme.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QStyleHints>
#include <QtGlobal>

using namespace Qt::StringLiterals;

namespace quorvel {

ColorScheme colorSchemeFromName(const QString &name)
{
    const QString key = name.trimmed().toLower();
    if (key == u"dark"_s) {
        return ColorScheme::Dark;
    }
    if (key == u"light"_s) {
        return ColorScheme::Light;
    }
    return ColorScheme::Desktop;
}

ColorScheme colorSchemeFromEnvironment()
{
    return colorSchemeFromName(qEnvironmentVariable("QUORVEL_COLOR_SCHEME"));
}

QPalette darkPalette()
{
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(232, 232, 232);
    const QColor disabledText(128, 128, 132);
    const QColor button(55, 55, 60);
    QPalette palette(button, window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(40, 40, 44));
    palette.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 155));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(255, 110, 110));
    palette.setColor(QPalette::Light, QColor(80, 80, 86));
    palette.setColor(QPalette::Midlight, QColor(66, 66, 72));
    palette.setColor(QPalette::Mid, QColor(40, 40, 44));
    palette.setColor(QPalette::Dark, QColor(25, 25, 27));
    palette.setColor(QPalette::Shadow, QColor(10, 10, 10));
    palette.setColor(QPalette::Highlight, QColor(53, 132, 228));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(120, 175, 255));
    palette.setColor(QPalette::LinkVisited, QColor(190, 150, 255));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabledText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 70, 75));
    return palette;
}

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

void applyColorScheme(ColorScheme scheme)
{
    // Fusion draws every control from the palette alone, so light and dark both come out whole.
    QApplication::setStyle(u"Fusion"_s);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (scheme == ColorScheme::Desktop && QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark) {
        scheme = ColorScheme::Dark;
    }
#endif
    switch (scheme) {
    case ColorScheme::Dark:
        QApplication::setPalette(darkPalette());
        break;
    case ColorScheme::Light:
        QApplication::setPalette(QApplication::style()->standardPalette());
        break;
    case ColorScheme::Desktop:
        break; // the platform's palette, which the style took when it was set
    }
}

} // namespace quorvel
