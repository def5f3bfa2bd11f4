#include "cli/AnalyzeJson.h"

#include "support/Fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(AnalyzeJson, ObjectHoldsEveryFieldInOrder)
{
    AnalysisResult result;
    result.url = u"http://h.com/a b"_s;
    result.title = u"T\u00E9 \"q\""_s;
    result.description = u"line 1\r\nline 2"_s;
    result.h1 = {u"one"_s, u""_s};
    result.h3 = {u"\U0001F600"_s};
    result.contents = u"text\r\n"_s;
    result.contentsError = u"no \"text\" service"_s;
    result.images = {{u"a.png"_s, u"A"_s, u""_s}, {u"b.png"_s, u""_s, u"B"_s}};
    result.source = u"<html>"_s;
    result.counts =
        countsFor(result.url, result.title, result.description, result.h1, result.h2, result.h3, result.contents);

    const QByteArray json = analysisToJson(result);
    ASSERT_TRUE(json.endsWith("}\n"));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();

    const QStringList keys = {u"url"_s,   u"title"_s,    u"description"_s,    u"h1"_s,     u"h2"_s,
                              u"h3"_s,    u"contents"_s, u"contents_error"_s, u"images"_s, u"source_length"_s,
                              u"counts"_s};
    qsizetype last = -1;
    for (const QString &key : keys) {
        SCOPED_TRACE(key.toStdString());
        const qsizetype at = json.indexOf(QByteArray("\"" + key.toUtf8() + "\":"));
        EXPECT_GT(at, last);
        last = at;
    }
    EXPECT_EQ(o.size(), keys.size());
    EXPECT_EQ(o.value(u"url"_s).toString(), result.url);
    EXPECT_EQ(o.value(u"title"_s).toString(), result.title);
    EXPECT_EQ(o.value(u"description"_s).toString(), result.description);
    EXPECT_EQ(o.value(u"h1"_s).toArray(), QJsonArray({u"one"_s, u""_s}));
    EXPECT_EQ(o.value(u"h2"_s).toArray(), QJsonArray());
    EXPECT_EQ(o.value(u"h3"_s).toArray(), QJsonArray({u"\U0001F600"_s}));
    EXPECT_EQ(o.value(u"contents"_s).toString(), result.contents);
    EXPECT_EQ(o.value(u"contents_error"_s).toString(), result.contentsError);
    const QJsonArray images = o.value(u"images"_s).toArray();
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].toObject(), QJsonObject({{u"src"_s, u"a.png"_s}, {u"alt"_s, u"A"_s}, {u"title"_s, u""_s}}));
    EXPECT_EQ(images[1].toObject(), QJsonObject({{u"src"_s, u"b.png"_s}, {u"alt"_s, u""_s}, {u"title"_s, u"B"_s}}));
    EXPECT_EQ(o.value(u"source_length"_s).toInt(), 6);
    EXPECT_EQ(o.value(u"counts"_s).toObject(), QJsonObject({{u"url"_s, 16},
                                                            {u"title"_s, 6},
                                                            {u"description"_s, 14},
                                                            {u"h1"_s, 7},
                                                            {u"h2"_s, 0},
                                                            {u"h3"_s, 4},
                                                            {u"contents"_s, 6}}));
}

TEST(AnalyzeJson, EmptyResultIsStillComplete)
{
    const QJsonObject o = QJsonDocument::fromJson(analysisToJson(AnalysisResult{})).object();
    EXPECT_EQ(o.size(), 11);
    EXPECT_EQ(o.value(u"images"_s).toArray(), QJsonArray());
    EXPECT_EQ(o.value(u"counts"_s).toObject().size(), 7);
}

} // namespace quorvel::test
