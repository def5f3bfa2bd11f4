#include "gui/common/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace quorvel {

namespace {

int g_holders = 0;

} // namespace

BusyCursor::BusyCursor()
{
    if (g_holders++ == 0) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    }
}

BusyCursor::~BusyCursor()
{
    if (--g_holders == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

int BusyCursor::holders()
{
    return g_holders;
}

} // namespace quorvel
