#include "core/model/LinkRow.h"

using namespace Qt::StringLiterals;

namespace quorvel {

const QString &LinkRow::cell(int index) const
{
    switch (index) {
    case 0:
        return link;
    case 1:
        return follow;
    case 2:
        return type;
    case 3:
        return anchorText;
    case 4:
        return response;
    default:
        return responseTime;
    }
}

LinkRow LinkRow::redirectRow(const QString &address)
{
    const QString redirect = u"*redirect*"_s;
    return LinkRow{address, redirect, redirect, redirect, QString(), QString(), kIconRedirect};
}

} // namespace quorvel
