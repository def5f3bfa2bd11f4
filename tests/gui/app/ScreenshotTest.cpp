// Draws the main window after a check of a small loopback site with one link of every kind of
// answer, and keeps the picture: in the test's temporary folder, or, with QUORVEL_SCREENSHOT_DIR set,
// there, named for the colour scheme and the scale it was drawn at: main-window.png (light, 1x),
// main-window-dark.png, main-window@2x.png, main-window-dark@2x.png. How docs/ gets all four, under
// Xvfb so that the desktop's fonts draw them (one line for each scheme and scale):
//   xvfb-run -a -s "-screen 0 2400x1400x24" env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2
//   QUORVEL_COLOR_SCHEME=dark QUORVEL_SCREENSHOT_DIR=docs build/dev/tests/quorvel_gui_tests
//   --gtest_filter='Screenshot.MainWindowAfterACheck'

#include "gui/app/AppFormDriver.h"
#include "gui/app/ColorScheme.h"
#include "support/LoopbackServer.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(Screenshot, MainWindowAfterACheck)
{
    // Declared before the server, so that it outlives the server's threads.
    std::string home = R"(<html><head><title>Field notes</title></head><body>
<a href="/guide/">Guide</a> <a href="/guide/install.html#linux">Installing on Linux</a>
<a href="/guide/install.html#windows">Installing on Windows</a> <a href="/old-news">News</a>
<a href="/press/kit.html">Press kit</a> <a href="/team" rel="nofollow">Team</a>
<a href="/shop" rel="sponsored">Shop</a> <a href="/api/status">API status</a>
<a href="http://localhost:PORT/in/profile">Our profile</a> <a href="/forum" rel="ugc">Forum</a>
<a href="http://127.0.0.1:1/">Old mirror</a> <a href="mailto:hello@example.org">Write to us</a>
</body></html>)";
    LoopbackServer site;
    auto &server = site.server();
    const auto html = [](const char *body) {
        return [body](const httplib::Request &, httplib::Response &res) {
            res.set_content(body, "text/html");
        };
    };
    server.Get("/", [&home](const httplib::Request &, httplib::Response &res) { res.set_content(home, "text/html"); });
    server.Get("/guide/", html("<h1>Guide</h1>"));
    server.Get("/guide/install.html", html(R"(<h2 id="linux">Linux</h2>)"));
    server.Get("/old-news", [](const httplib::Request &, httplib::Response &res) { res.set_redirect("/news/", 301); });
    server.Get("/news/", html("<h1>News</h1>"));
    server.Get("/press/kit.html", [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
    server.Get("/team", html("<h1>Team</h1>"));
    server.Get("/shop", [](const httplib::Request &, httplib::Response &res) { res.status = 500; });
    server.Get("/api/status", [](const httplib::Request &, httplib::Response &res) {
        res.status = 429;
        res.set_header("Retry-After", "0");
    });
    server.Get("/in/profile", [](const httplib::Request &, httplib::Response &res) { res.status = 999; });
    server.Get("/forum", html("<h1>Forum</h1>"));
    // The profile link stands for another site: the same server under another name. The page is
    // finished before the server's threads exist.
    ASSERT_TRUE(site.bind());
    home.replace(home.find("PORT"), 4, std::to_string(site.port()));
    ASSERT_TRUE(site.start());

    // The scheme the picture is asked for, as the program itself takes it at start-up.
    const ColorScheme scheme = colorSchemeFromEnvironment();
    if (scheme != ColorScheme::Desktop) {
        applyColorScheme(scheme);
    }
    Sandbox sandbox;
    std::unique_ptr<TAppForm> form = sandbox.open();
    form->resize(1100, 600);
    form->show();
    child<QCheckBox>(*form, u"CheckBox1"_s).setChecked(true);
    child<QCheckBox>(*form, u"CheckBox2"_s).setChecked(false); // anchors kept: fragments are looked up
    ASSERT_TRUE(collect(*form, site.url(u"/"_s)));
    ASSERT_EQ(form->resultsModel()->rowCount(), 12);
    child<QPushButton>(*form, u"Button2"_s).click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&form] { return child<QPushButton>(*form, u"Button2"_s).text() == u"Check Broken Links"_s; }, 30'000));
    EXPECT_TRUE(child<QLabel>(*form, u"CheckCounts"_s).text().startsWith(u"Checked 12 links: "_s));
    child<QTableView>(*form, u"ListBox1"_s).clearSelection();
    child<QTableView>(*form, u"ListBox1"_s).setCurrentIndex({});
    QTest::qWait(50);

    const QImage picture = form->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), form->size() * picture.devicePixelRatio());
    const QString folder = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR", sandbox.pagesFolder());
    QString name = u"main-window"_s;
    if (scheme == ColorScheme::Dark) {
        name += u"-dark"_s;
    }
    if (picture.devicePixelRatio() > 1.5) {
        name += u"@2x"_s;
    }
    EXPECT_TRUE(picture.save(QDir(folder).filePath(name + u".png"_s)));
}

} // namespace quorvel::test
