#include "gui/analyze/TAnalyzeForm.h"

#include "core/analyze/RunAnalysis.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

AnalysisResult resultWith(const QString &contents, const QString &contentsError)
{
    AnalysisResult result;
    result.url = u"http://www.example.com/"_s;
    result.contents = contents;
    result.contentsError = contentsError;
    result.counts =
        countsFor(result.url, result.title, result.description, result.h1, result.h2, result.h3, result.contents);
    return result;
}

} // namespace

TEST(TAnalyzeForm, ShowsAFailedFetchAsAnErrorNotAsContents)
{
    struct Case
    {
        const char *name;
        QString contents;
        QString error;
        QString count;
    };

    const std::vector<Case> cases = {
        {"the page's text", u"Some text"_s, QString(), u"9"_s},
        {"a refused text service", QString(), u"Could not connect to server"_s, u"0"_s},
        {"a stopped analysis", QString(), QString::fromUtf16(kAnalysisStoppedMessage), u"0"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto form = std::make_unique<TAnalyzeForm>(resultWith(c.contents, c.error));
        const auto *memo = form->findChild<QPlainTextEdit *>(u"Memo3"_s);
        const auto *count = form->findChild<QLabel *>(u"Label12"_s);
        const auto *error = form->findChild<QLabel *>(u"ContentsError"_s);
        ASSERT_NE(memo, nullptr);
        ASSERT_NE(count, nullptr);
        EXPECT_EQ(memo->toPlainText(), c.contents);
        EXPECT_EQ(count->text(), c.count);
        if (c.error.isEmpty()) {
            EXPECT_EQ(error, nullptr);
        } else {
            ASSERT_NE(error, nullptr);
            EXPECT_EQ(error->text(), c.error);
            EXPECT_EQ(error->textFormat(), Qt::PlainText); // a server's words are never markup
        }
    }
}

TEST(TAnalyzeForm, OpensCentredOnTheScreen)
{
    const auto form = std::make_unique<TAnalyzeForm>(resultWith(u"x"_s, QString()));
    form->show();
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint windowCentre = form->frameGeometry().center();
    EXPECT_LE((windowCentre - screenCentre).manhattanLength(), 2)
        << windowCentre.x() << "," << windowCentre.y() << " vs " << screenCentre.x() << "," << screenCentre.y();
}

} // namespace quorvel::test
