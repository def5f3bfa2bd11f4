#pragma once

#include <QIcon>
#include <QString>

namespace quorvel {

// A picture of the program by name ("html", "check-icon", "redirection", "exclamation",
// "link_break", "search", "document-save", "feedback", "about"), drawn for 16 and 32 pixels.
// An unknown name gives a null icon. Needs a QGuiApplication; UI thread.
QIcon namedIcon(const QString &name);

// The name of a row's image index: 10 html, 50 check-icon, 51 redirection, 52 exclamation;
// empty for none (-1) and any other index.
QString rowIconName(int index);

// The picture of a row's image index; a null icon when rowIconName is empty.
QIcon rowIcon(int index);

// A fully transparent picture in the sizes of the named ones (16 and 32 pixels): it takes the place
// of a missing picture, so the text beside it stays where it would be.
QIcon blankIcon();

} // namespace quorvel
