#include "cli/AnalyzeJson.h"

#include "cli/CliOutput.h"

namespace quorvel {

namespace {

QByteArray stringArray(const QStringList &rows)
{
    if (rows.isEmpty()) {
        return "[]";
    }
    QByteArray out = "[";
    for (qsizetype i = 0; i < rows.size(); ++i) {
        out += (i == 0 ? "" : ", ") + jsonString(rows[i]);
    }
    out += "]";
    return out;
}

QByteArray imageArray(const ImageRows &images)
{
    if (images.isEmpty()) {
        return "[]";
    }
    QByteArray out = "[\n";
    for (qsizetype i = 0; i < images.size(); ++i) {
        const ImageRow &image = images[i];
        out += "    {\"src\": " + jsonString(image.src) + ", \"alt\": " + jsonString(image.alt) +
               ", \"title\": " + jsonString(image.title) + "}";
        out += i + 1 < images.size() ? ",\n" : "\n";
    }
    out += "  ]";
    return out;
}

} // namespace

QByteArray analysisToJson(const AnalysisResult &result)
{
    const AnalysisCounts &c = result.counts;
    QByteArray out = "{\n";
    out += "  \"url\": " + jsonString(result.url) + ",\n";
    out += "  \"title\": " + jsonString(result.title) + ",\n";
    out += "  \"description\": " + jsonString(result.description) + ",\n";
    out += "  \"h1\": " + stringArray(result.h1) + ",\n";
    out += "  \"h2\": " + stringArray(result.h2) + ",\n";
    out += "  \"h3\": " + stringArray(result.h3) + ",\n";
    out += "  \"contents\": " + jsonString(result.contents) + ",\n";
    out += "  \"contents_error\": " + jsonString(result.contentsError) + ",\n";
    out += "  \"images\": " + imageArray(result.images) + ",\n";
    out += "  \"source_length\": " + QByteArray::number(result.source.size()) + ",\n";
    out += R"(  "counts": {"url": )" + QByteArray::number(c.url) + ", \"title\": " + QByteArray::number(c.title) +
           ", \"description\": " + QByteArray::number(c.description) + ", \"h1\": " + QByteArray::number(c.h1) +
           ", \"h2\": " + QByteArray::number(c.h2) + ", \"h3\": " + QByteArray::number(c.h3) +
           ", \"contents\": " + QByteArray::number(c.contents) + "}\n";
    out += "}\n";
    return out;
}

} // namespace quorvel
