// How the main window looks: every caption whole at its minimum size and at twice the scale, one
// font size throughout, the options above the results in one splitter, and the light or dark
// palette the desktop (or QUORVEL_COLOR_SCHEME) asks for.

#include "gui/app/AppFormDriver.h"
#include "gui/app/ColorScheme.h"
#include "gui/app/TAppForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// The window with its options shown, at its minimum size, on screen.
std::unique_ptr<TAppForm> smallestWindow(Sandbox &sandbox)
{
    auto form = sandbox.open();
    child<QCheckBox>(*form, u"CheckBox1"_s).setChecked(true);
    form->showNormal();
    form->resize(form->minimumSize());
    if (!QTest::qWaitForWindowExposed(form.get())) {
        ADD_FAILURE() << "the window was not shown";
    }
    QCoreApplication::sendPostedEvents();
    return form;
}

// The scale a child process of this test runs at; empty in the parent.
QByteArray scaleOfThisProcess()
{
    return qgetenv("QT_SCALE_FACTOR");
}

// Runs one test of this program again in a process at twice the scale (the scale is fixed when a
// program starts) and expects it to pass there.
void expectPassesAtTwiceTheScale(const QString &test)
{
    QProcess again;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_SCALE_FACTOR"_s, u"2"_s);
    again.setProcessEnvironment(environment);
    again.start(QCoreApplication::applicationFilePath(), {u"--gtest_filter="_s + test});
    ASSERT_TRUE(again.waitForStarted());
    ASSERT_TRUE(again.waitForFinished(60'000));
    const QString out = QString::fromLocal8Bit(again.readAllStandardOutput());
    EXPECT_EQ(again.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(u"[  PASSED  ] 1 test"_s)) << out.toStdString();
}

} // namespace

// At the window's minimum size of 800 x 600, every caption shown has the room its text asks for.
TEST(TAppFormLook, NoCaptionIsCutAtTheMinimumSize)
{
    Sandbox sandbox;
    const auto form = smallestWindow(sandbox);
    EXPECT_EQ(form->minimumSize(), QSize(800, 600));
    EXPECT_EQ(form->size(), QSize(800, 600));
    if (!scaleOfThisProcess().isEmpty()) {
        EXPECT_EQ(form->devicePixelRatioF(), scaleOfThisProcess().toDouble()) << "the scale did not reach the window";
    }
    int seen = 0;
    const auto expectWhole = [&seen](QWidget *widget) {
        if (!widget->isVisible()) {
            return;
        }
        ++seen;
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_GE(widget->width(), widget->sizeHint().width());
        EXPECT_GE(widget->height(), widget->sizeHint().height());
    };
    for (QLabel *label : form->findChildren<QLabel *>()) {
        expectWhole(label);
    }
    for (QAbstractButton *button : form->findChildren<QAbstractButton *>()) {
        if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button) ||
            qobject_cast<QPushButton *>(button) || button->objectName() == u"BitBtn1"_s) {
            expectWhole(button);
        }
    }
    EXPECT_GE(seen, 20) << "the options were not shown";
    // The results keep room to show rows under the options.
    EXPECT_GE(child<QTableView>(*form, u"ListBox1"_s).height(), 100);
}

TEST(TAppFormLook, NoCaptionIsCutAtTheMinimumSizeAtTwiceTheScale)
{
    if (!scaleOfThisProcess().isEmpty()) {
        GTEST_SKIP() << "this is the child process";
    }
    expectPassesAtTwiceTheScale(u"TAppFormLook.NoCaptionIsCutAtTheMinimumSize"_s);
}

// Menus, dialogs and the window's own controls share the desktop's font size; the Check button
// differs only in weight.
TEST(TAppFormLook, OneFontSizeThroughout)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    const int size = QFontInfo(QApplication::font()).pixelSize();
    const int menuSize = QFontInfo(QApplication::font(form->menuBar())).pixelSize();
    EXPECT_EQ(menuSize, size);
    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (qobject_cast<QMenu *>(widget)) {
            continue; // menus take the menu font, checked above
        }
        SCOPED_TRACE(widget->objectName().toStdString() + " " + widget->metaObject()->className());
        EXPECT_EQ(QFontInfo(widget->font()).pixelSize(), size);
    }
    EXPECT_TRUE(child<QToolButton>(*form, u"BitBtn1"_s).font().bold());
}

// The options and the results share one vertical splitter, whose state other code keeps by name.
TEST(TAppFormLook, OptionsAndResultsShareTheSplitter)
{
    Sandbox sandbox;
    const auto form = smallestWindow(sandbox);
    auto &splitter = child<QSplitter>(*form, u"OptionsSplitter"_s);
    EXPECT_EQ(splitter.orientation(), Qt::Vertical);
    ASSERT_EQ(splitter.count(), 2);
    EXPECT_TRUE(splitter.widget(0)->isAncestorOf(&child<QWidget>(*form, u"Memo1"_s)));
    EXPECT_TRUE(splitter.widget(1)->isAncestorOf(&child<QTableView>(*form, u"ListBox1"_s)));

    // Moving the bar down gives the options, and so the Ignore URLs box, more room.
    auto &memo = child<QWidget>(*form, u"Memo1"_s);
    const int before = memo.height();
    const QList<int> sizes = splitter.sizes();
    splitter.setSizes({sizes[0] + 60, sizes[1] - 60});
    QCoreApplication::sendPostedEvents();
    EXPECT_GT(memo.height(), before);

    // Hiding the options leaves the results the whole splitter.
    child<QCheckBox>(*form, u"CheckBox1"_s).setChecked(false);
    EXPECT_FALSE(splitter.widget(0)->isVisible());
}

TEST(TAppFormLook, ColorSchemeNames)
{
    const std::vector<std::pair<QString, ColorScheme>> cases = {
        {u"dark"_s, ColorScheme::Dark}, {u"DARK"_s, ColorScheme::Dark},    {u" light "_s, ColorScheme::Light},
        {u""_s, ColorScheme::Desktop},  {u"auto"_s, ColorScheme::Desktop}, {u"dim"_s, ColorScheme::Desktop},
    };
    for (const auto &[name, scheme] : cases) {
        EXPECT_EQ(colorSchemeFromName(name), scheme) << name.toStdString();
    }
}

// A forced dark scheme gives every part of the window light text on a dark ground; light gives the
// reverse. The URL box keeps its own colours in both.
TEST(TAppFormLook, ForcedSchemeReachesTheWindow)
{
    const QString styleBefore = QApplication::style()->name();
    const QPalette paletteBefore = QApplication::palette();
    for (const auto &[scheme, dark] : {std::pair{ColorScheme::Dark, true}, std::pair{ColorScheme::Light, false}}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        applyColorScheme(scheme);
        EXPECT_EQ(QApplication::style()->name().toLower(), u"fusion"_s);
        Sandbox sandbox;
        const auto form = sandbox.open();
        for (const char *name : {"ListBox1", "StatusPanel0", "Button2", "CheckBox1"}) {
            SCOPED_TRACE(name);
            const QWidget &widget = child<QWidget>(*form, QString::fromLatin1(name));
            const QPalette &palette = widget.palette();
            const QColor ground = palette.color(widget.backgroundRole());
            const QColor text = palette.color(widget.foregroundRole());
            EXPECT_EQ(ground.lightness() < text.lightness(), dark);
            EXPECT_GE(std::abs(ground.lightness() - text.lightness()), 120) << "too little contrast";
        }
        EXPECT_EQ(isDarkPalette(form->palette()), dark);
    }
    QApplication::setStyle(styleBefore);
    QApplication::setPalette(paletteBefore);
}

} // namespace quorvel::test
