#pragma once

#include <QList>
#include <QString>

namespace quorvel {

// One image tag of a page: its src, alt and title values exactly as written between the quotes.
struct ImageRow
{
    QString src;
    QString alt;
    QString title;

    friend bool operator==(const ImageRow &, const ImageRow &) = default;
};

using ImageRows = QList<ImageRow>;

// "Ekle" = add: appends one image row.
void Ekle(ImageRows &rows, const QString &src, const QString &alt, const QString &title);

// "ImagesListele" = list the images: a plain text scan of the page source for "<img " tags (any
// ASCII case), in source order, without an HTML parser. Each tag is read once with double quotes
// and once with single quotes; a pass yields a row when it finds a src value closed by its quote.
// After a tag the scan resumes two characters past its ">", so an image tag written directly after
// the previous tag's ">" is not seen. Linear in the length of the source.
ImageRows ImagesListele(const QString &source);

} // namespace quorvel
