#include "core/analyze/ImageInventory.h"

#include "core/common/Text.h"

#include <QStringView>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The value of `name` + `quote` in the tag (found in its lower-case form), up to the next `quote`
// inside the tag; null when the attribute is absent or its value is not closed within the tag.
QStringView quotedValue(QStringView tag, QStringView lowerTag, QStringView name, QChar quote)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype at = lowerTag.indexOf(name, from);
        if (at < 0) {
            return {};
        }
        const qsizetype open = at + name.size();
        if (open < lowerTag.size() && lowerTag[open] == quote) {
            const qsizetype close = lowerTag.indexOf(quote, open + 1);
            if (close < 0) {
                return {};
            }
            return tag.sliced(open + 1, close - open - 1);
        }
        from = at + 1;
    }
}

void scanTag(ImageRows &rows, QStringView tag, QStringView lowerTag, QChar quote)
{
    const QStringView alt = quotedValue(tag, lowerTag, u" alt=", quote);
    const QStringView title = quotedValue(tag, lowerTag, u" title=", quote);
    const QStringView src = quotedValue(tag, lowerTag, u" src=", quote);
    if (src.isNull()) {
        return;
    }
    Ekle(rows, src.toString(), alt.toString(), title.toString());
}

} // namespace

void Ekle(ImageRows &rows, const QString &src, const QString &alt, const QString &title)
{
    rows.append(ImageRow{src, alt, title});
}

ImageRows ImagesListele(const QString &source)
{
    ImageRows rows;
    // One lower-case copy; the scan resumes where the handled part ends instead of cutting it off.
    const QString lower = asciiLower(source);
    const QStringView text(source);
    const QStringView lowerText(lower);
    qsizetype start = 0;
    while (start < lowerText.size()) {
        const qsizetype index = lowerText.indexOf(u"<img ", start);
        if (index < 0) {
            break;
        }
        const qsizetype gt = lowerText.indexOf(u'>', index);
        if (gt < 0) {
            // No ">" after this tag means none after any later one either: nothing more to list.
            break;
        }
        const qsizetype length = gt - index + 1;
        const QStringView tag = text.sliced(index, length);
        const QStringView lowerTag = lowerText.sliced(index, length);
        scanTag(rows, tag, lowerTag, u'"');
        scanTag(rows, tag, lowerTag, u'\'');
        start = gt + 2; // the tag, its ">" and the one character after it are consumed
    }
    return rows;
}

} // namespace quorvel
