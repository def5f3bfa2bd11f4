#pragma once

#include <QCoreApplication>
#include <QString>

namespace quorvel {

// What the main window is doing; the captions and enabled states of its controls follow from it.
enum class RunState
{
    Idle,          // "Check" and "Check Broken Links" both ready
    Collecting,    // a collection run goes; the Check button reads "STOP"
    Stopping,      // STOP was pressed; the run winds down ("Stopping...", disabled)
    CheckingLinks, // a broken-link pass goes; "Check Broken Links" reads "STOP"
};

// The captions the run state gives the two buttons, in the user's language; the Check menu items
// read "Check" too.
inline QString checkCaption()
{
    return QCoreApplication::translate("TAppForm", "Check");
}
inline QString stopCaption()
{
    return QCoreApplication::translate("TAppForm", "STOP");
}
inline QString stoppingCaption()
{
    return QCoreApplication::translate("TAppForm", "Stopping...");
}
inline QString checkBrokenLinksCaption()
{
    return QCoreApplication::translate("TAppForm", "Check Broken Links");
}

// PopupSource: which control opened the shared menu commands, so they know their row target.
enum class PopupSource
{
    None,
    List,   // the results list's context menu: the selected row's link
    Button, // the Check button's menu: the URL box text
};

// The name a menu source is known by ("List", "Button", or empty for none).
inline QString popupSourceName(PopupSource source)
{
    switch (source) {
    case PopupSource::List:
        return QStringLiteral("List");
    case PopupSource::Button:
        return QStringLiteral("Button");
    case PopupSource::None:
        break;
    }
    return {};
}

} // namespace quorvel
