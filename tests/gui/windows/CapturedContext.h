#pragma once

#include "gui/windows/WindowContext.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace quorvel::test {

// What a window asked the desktop for, instead of reaching the desktop.
struct Captured
{
    struct Message
    {
        DialogKind kind;
        QString caption;
        QString text;
    };

    QStringList opened;
    int beeps = 0;
    QList<Message> messages;
};

// The program's identity and a maker host, with every outside effect captured.
inline WindowContext capturedContext(const std::shared_ptr<Captured> &captured, const QString &makerHost,
                                     const QString &programFolder = QString())
{
    WindowContext context;
    context.appProductName = QStringLiteral("Quorvel");
    context.appTitle = QStringLiteral("BRELLAN - Quorvel");
    context.appVersion = QStringLiteral("2.2");
    context.makerHost = makerHost;
    context.programFolder = programFolder;
    context.open = [captured](const QString &address) {
        captured->opened.append(address);
    };
    context.beep = [captured] {
        ++captured->beeps;
    };
    context.showMessage = [captured](QWidget *, DialogKind kind, const QString &caption, const QString &text) {
        captured->messages.append({kind, caption, text});
    };
    return context;
}

} // namespace quorvel::test
