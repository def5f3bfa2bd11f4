#include "core/crawl/Sitemap.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString sizeText(qsizetype bytes)
{
    constexpr qsizetype kMiB = qsizetype{1024} * 1024;
    return bytes % kMiB == 0 ? u"%1 MB"_s.arg(bytes / kMiB) : u"%1 bytes"_s.arg(bytes);
}

// Ends zlib's state whichever way the inflating stops.
class Inflater
{
public:
    Inflater() { m_ready = inflateInit2(&m_z, MAX_WBITS + 16) == Z_OK; }
    ~Inflater()
    {
        if (m_ready) {
            inflateEnd(&m_z);
        }
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    bool ready() const { return m_ready; }
    z_stream &stream() { return m_z; }

private:
    z_stream m_z = {};
    bool m_ready = false;
};

bool startsWithGzipMagic(QByteArrayView bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

// Collects the entries of one document up to the address limit.
class Entries
{
public:
    // A text sitemap holds absolute addresses only: a relative "line" is more likely prose or an error
    // page than an address.
    Entries(SitemapDocument &doc, const QUrl &base, bool resolveRelative)
        : m_doc(doc)
        , m_base(base)
        , m_resolveRelative(resolveRelative)
    {}

    // Adds one entry to list; false once the document holds more entries than the limit allows.
    bool add(QByteArrayView raw, QList<QUrl> &list)
    {
        const QByteArrayView bytes = raw.trimmed();
        if (bytes.size() > kLongestAddress) {
            // No address is this long; decoding it whole could take far more memory than the file.
            return skip(QString::fromUtf8(bytes.first(kShownLength)) + u"\u2026"_s);
        }
        return add(QString::fromUtf8(bytes), list);
    }

    bool add(const QString &raw, QList<QUrl> &list)
    {
        const QString text = raw.trimmed();
        if (text.isEmpty()) {
            return true;
        }
        if (text.size() > kLongestAddress) {
            return skip(text.first(kShownLength) + u"\u2026"_s);
        }
        if (!count()) {
            return false;
        }
        // A blank inside is no address, though QUrl would escape it and take it.
        const bool blank = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
        QUrl url(text);
        if (m_resolveRelative && url.isValid() && url.isRelative()) {
            url = m_base.resolved(url);
        }
        const QString scheme = url.scheme();
        if (!blank && url.isValid() && (scheme == u"http"_s || scheme == u"https"_s) && !url.host().isEmpty()) {
            list.append(url);
        } else {
            m_doc.skipped.append(text);
        }
        return true;
    }

    bool cut() const { return m_cut; }

private:
    // Addresses this long are skipped and shown by their start only.
    static constexpr qsizetype kLongestAddress = qsizetype{64} * 1024;
    static constexpr qsizetype kShownLength = 200;

    bool count()
    {
        if (m_count == kSitemapUrlLimit) {
            m_cut = true;
            return false;
        }
        ++m_count;
        return true;
    }

    bool skip(const QString &shown)
    {
        if (!count()) {
            return false;
        }
        m_doc.skipped.append(shown);
        return true;
    }

    SitemapDocument &m_doc;
    const QUrl &m_base;
    bool m_resolveRelative = true;
    qsizetype m_count = 0;
    bool m_cut = false;
};

QStringView localName(QStringView qualified)
{
    const qsizetype colon = qualified.lastIndexOf(u':');
    return colon >= 0 ? qualified.sliced(colon + 1) : qualified;
}

bool isName(QStringView name, QStringView wanted)
{
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

// Reads <urlset> and <sitemapindex> documents. Prefixes are stripped rather than resolved, so a
// generator that forgot to declare its namespace is read as well as one that declared it.
QString readXml(QByteArrayView bytes, SitemapDocument &doc, Entries &entries)
{
    QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), bytes.size()));
    xml.setNamespaceProcessing(false);
    // The local names of the elements around the reader; a sitemap needs three levels, so names
    // deeper than kDeepest are only counted and a hostile nesting costs no memory of ours.
    constexpr qsizetype kDeepest = 16;
    QList<QString> open;
    qsizetype deeper = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (deeper > 0) {
                --deeper;
            } else if (!open.isEmpty()) {
                open.removeLast();
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        const QStringView name = localName(xml.qualifiedName());
        if (open.isEmpty()) {
            if (isName(name, u"urlset")) {
                doc.kind = SitemapKind::UrlSet;
            } else if (isName(name, u"sitemapindex")) {
                doc.kind = SitemapKind::Index;
            } else {
                return u"The document is no sitemap: its root element is <%1>, not <urlset> or <sitemapindex>."_s.arg(
                    xml.qualifiedName());
            }
        }
        // Only a <loc> right inside <url> (or <sitemap> in an index) is a page: the <image:loc> of an
        // image entry and its like are not.
        const bool inIndex = doc.kind == SitemapKind::Index;
        if (deeper > 0 || open.size() == kDeepest) {
            ++deeper;
            continue;
        }
        if (!open.isEmpty() && isName(name, u"loc") && isName(open.last(), inIndex ? u"sitemap" : u"url")) {
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (xml.hasError()) {
                break;
            }
            if (!entries.add(text, inIndex ? doc.sitemaps : doc.urls)) {
                return {};
            }
            continue; // readElementText consumed the end tag
        }
        open.append(name.toString());
    }
    if (xml.hasError()) {
        return u"The sitemap is not well-formed XML (line %1, column %2: %3); the addresses before that point were "
               u"kept."_s.arg(xml.lineNumber())
                   .arg(xml.columnNumber())
                   .arg(xml.errorString());
    }
    return {};
}

void readText(QByteArrayView bytes, Entries &entries, QList<QUrl> &urls)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') {
            ++end;
        }
        if (!entries.add(bytes.sliced(start, end - start), urls)) {
            return;
        }
        start = end + 1;
    }
}

bool looksLikeXml(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE")) {
        return true; // UTF-16, which only an XML sitemap may use
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
    }
    for (const char c : bytes) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return c == '<';
        }
    }
    return false;
}

} // namespace

QByteArray inflateGzip(QByteArrayView gzip, qsizetype limit, QString *error)
{
    QByteArray out;
    Inflater inflater;
    if (!inflater.ready()) {
        *error = u"zlib could not start inflating the gzip data."_s;
        return out;
    }
    z_stream &z = inflater.stream();
    const char *next = gzip.data();
    qsizetype left = gzip.size();
    constexpr qsizetype kStep = qsizetype{64} * 1024;
    for (;;) {
        if (z.avail_in == 0 && left > 0) {
            const auto piece = static_cast<uInt>(std::min<qsizetype>(left, INT_MAX));
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(next));
            z.avail_in = piece;
            next += piece;
            left -= piece;
        }
        int rc = Z_OK;
        const qsizetype room = limit - out.size();
        if (room <= 0) {
            // The output is full: one more byte means the data holds more than the limit allows.
            Bytef probe = 0;
            z.next_out = &probe;
            z.avail_out = 1;
            rc = inflate(&z, Z_NO_FLUSH);
            if (z.avail_out == 0) {
                *error = u"The gzip data inflates to more than %1; inflating stopped there."_s.arg(sizeText(limit));
                return out;
            }
        } else {
            const qsizetype step = std::min(room, kStep);
            const qsizetype old = out.size();
            if (out.capacity() < old + step) {
                out.reserve(std::min(limit, std::max(old + step, out.capacity() * 2)));
            }
            out.resize(old + step);
            z.next_out = reinterpret_cast<Bytef *>(out.data() + old);
            z.avail_out = static_cast<uInt>(step);
            rc = inflate(&z, Z_NO_FLUSH);
            out.resize(old + step - qsizetype(z.avail_out));
        }
        if (rc == Z_STREAM_END) {
            // A file may hold several gzip members one after the other; anything else after the end
            // is ignored, as gzip itself does.
            const QByteArrayView rest(reinterpret_cast<const char *>(z.next_in), qsizetype(z.avail_in));
            const bool another =
                z.avail_in > 0 ? startsWithGzipMagic(rest) : startsWithGzipMagic(QByteArrayView(next, left));
            if (!another || inflateReset(&z) != Z_OK) {
                return out;
            }
            continue;
        }
        if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) {
            *error = u"The gzip data ends early; only what it held was read."_s;
            return out;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            *error = u"The gzip data is damaged (%1); only what came before the damage was read."_s.arg(
                z.msg != nullptr ? QString::fromUtf8(z.msg) : u"zlib error %1"_s.arg(rc));
            return out;
        }
    }
}

SitemapDocument parseSitemap(QByteArrayView bytes, const QUrl &base)
{
    SitemapDocument doc;
    QString cutError; // why the bytes read are not the whole document
    QByteArray inflated;
    if (startsWithGzipMagic(bytes)) {
        inflated = inflateGzip(bytes, kSitemapSizeLimit, &cutError);
        bytes = inflated;
    } else if (bytes.size() > kSitemapSizeLimit) {
        bytes = bytes.first(kSitemapSizeLimit);
        cutError = u"The sitemap is larger than %1, the most a sitemap may hold; only that much was read."_s.arg(
            sizeText(kSitemapSizeLimit));
    }

    const bool xml = looksLikeXml(bytes);
    Entries entries(doc, base, xml);
    QString readError;
    if (xml) {
        readError = readXml(bytes, doc, entries);
    } else if (!bytes.trimmed().isEmpty()) {
        doc.kind = SitemapKind::PlainText;
        if (!cutError.isEmpty()) {
            // The cut may fall inside a line, whose address would be wrong.
            bytes = bytes.first(qMax(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r')) + 1);
        }
        readText(bytes, entries, doc.urls);
    } else if (cutError.isEmpty()) {
        readError = u"The sitemap is empty."_s;
    }

    if (!cutError.isEmpty()) {
        doc.error = cutError; // a read error after a cut is only its consequence
    } else if (entries.cut()) {
        doc.error = u"The sitemap lists more than %1 addresses, the most a sitemap may hold; only the first %1 were "
                    u"read."_s.arg(kSitemapUrlLimit);
    } else {
        doc.error = readError;
    }
    return doc;
}

} // namespace quorvel
