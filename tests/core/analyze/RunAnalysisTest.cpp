#include "core/analyze/RunAnalysis.h"

#include "core/collect/LocalPage.h"
#include "support/Fixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(Analysis, LocalPageIsAnalysedFromDisk)
{
    const QString address = localAddressOf(QFileInfo(dataPath(u"readability-wikipedia.html"_s)).absoluteFilePath());
    const AnalysisResult result = runAnalysis(address, {});

    EXPECT_EQ(result.url, address);
    EXPECT_TRUE(result.pageError.isEmpty()) << result.pageError.toStdString();
    EXPECT_EQ(result.title, u"Mozilla - Wikipedia"_s);
    EXPECT_EQ(result.description, QString());
    EXPECT_EQ(result.h1, QStringList{u"Mozilla"_s});
    ASSERT_EQ(result.h2.size(), 10);
    EXPECT_EQ(result.h2.first(), u"Contents"_s);
    EXPECT_EQ(result.h2[1], u"History[edit]"_s);
    EXPECT_EQ(result.h3.size(), 29);
    EXPECT_TRUE(result.contents.startsWith(u"Mozilla\r\nFrom Wikipedia, the free encyclopedia\r\n"_s))
        << result.contents.left(200).toStdString();
    EXPECT_FALSE(result.contents.contains(u"<div"_s));
    ASSERT_EQ(result.images.size(), 16);
    EXPECT_EQ(result.images.first().alt, u"Mozilla dinosaur head logo.png"_s);
    EXPECT_TRUE(result.images.first().src.startsWith(u"//upload.wikimedia.org/"_s));

    EXPECT_EQ(result.counts.url, address.size());
    EXPECT_EQ(result.counts.title, 19);
    EXPECT_EQ(result.counts.h1, 9);
    EXPECT_EQ(result.counts.contents, result.contents.size());
    EXPECT_EQ(result.source, readLocalPage(address).text);
}

TEST(Analysis, FailuresAreErrorsNotContents)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = localAddressOf(dir.filePath(u"none.html"_s));
    const AnalysisResult local = runAnalysis(missing, {});
    EXPECT_TRUE(local.source.isEmpty());
    EXPECT_FALSE(local.pageError.isEmpty());
    EXPECT_EQ(local.contentsError, local.pageError);
    EXPECT_TRUE(local.contents.isEmpty());
    EXPECT_TRUE(local.title.isEmpty());
    EXPECT_TRUE(local.h1.isEmpty() && local.h2.isEmpty() && local.h3.isEmpty() && local.images.isEmpty());
    EXPECT_EQ(local.counts, (AnalysisCounts{missing.size(), 0, 0, 0, 0, 0, 0}));

    // Nothing listens on port 1: both the page and the text service fail, and the service's
    // failure is the contents' error.
    AnalysisOptions options;
    options.contentsHost = u"127.0.0.1:1"_s;
    const QString address = u"http://127.0.0.1:1/page.html"_s;
    const AnalysisResult remote = runAnalysis(address, options);
    EXPECT_TRUE(remote.source.isEmpty());
    EXPECT_FALSE(remote.pageError.isEmpty());
    EXPECT_TRUE(remote.contents.isEmpty());
    EXPECT_TRUE(remote.contentsError.contains(u"connect"_s, Qt::CaseInsensitive)) << remote.contentsError.toStdString();
    EXPECT_EQ(remote.counts.url, address.size());
    EXPECT_EQ(remote.counts.contents, 0);
}

TEST(Analysis, StopBeforeTheStartSkipsTheWork)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"page.html"_s);
    writeAll(path, "<title>T</title><h1>H</h1><img src=\"a.png\">");
    std::atomic<bool> stop{true};
    AnalysisOptions options;
    options.stop = &stop;
    const AnalysisResult result = runAnalysis(localAddressOf(path), options);
    EXPECT_EQ(result.contentsError, QString::fromUtf16(kAnalysisStoppedMessage));
    EXPECT_TRUE(result.contents.isEmpty());
    EXPECT_EQ(result.counts.contents, 0);
    EXPECT_TRUE(result.title.isEmpty());
    EXPECT_TRUE(result.images.isEmpty());

    stop = false;
    const AnalysisResult whole = runAnalysis(localAddressOf(path), options);
    EXPECT_EQ(whole.title, u"T"_s);
    EXPECT_EQ(whole.contents, u"H"_s);
    EXPECT_TRUE(whole.contentsError.isEmpty());
    EXPECT_EQ(whole.images.size(), 1);
}

TEST(Analysis, GuardNoteLeadsTheContents)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"deep.html"_s);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<title>Deep</title><p>first</p>");
        for (int i = 0; i < 100'000; ++i) {
            f.write("<div>");
        }
        f.write("deepest");
    }
    const AnalysisResult result = runAnalysis(localAddressOf(path), {});
    EXPECT_EQ(result.title, u"Deep"_s);
    EXPECT_TRUE(result.contents.startsWith(u"The page nests its elements more than 3000 levels deep"_s))
        << result.contents.left(200).toStdString();
    EXPECT_TRUE(result.contents.endsWith(u"\r\n\r\nfirst"_s)) << result.contents.right(50).toStdString();
}

} // namespace quorvel::test
