#include "gui/windows/TAboutBox.h"

#include "gui/windows/CapturedContext.h"
#include "gui/windows/RainWidget.h"
#include "support/Fixtures.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

template <typename T> T *child(const QObject &parent, const QString &name)
{
    T *object = parent.findChild<T *>(name);
    EXPECT_NE(object, nullptr) << name.toStdString();
    return object;
}

// A mouse event at a screen position, as the window system would send it.
void sendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, QPoint global)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(widget->mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

TEST(AboutBox, LayoutCaptionsAndLinks)
{
    auto captured = std::make_shared<Captured>();
    TAboutBox box(capturedContext(captured, u"maker.test"_s));
    EXPECT_EQ(box.windowTitle(), u"About Quorvel"_s);
    EXPECT_EQ(box.size(), QSize(446, 374));
    EXPECT_TRUE(box.windowFlags().testFlag(Qt::Tool));

    struct Geometry
    {
        const char *name;
        QString object;
        QRect rect;
    };

    const std::vector<Geometry> places = {
        {"Panel1", u"Panel1"_s, {48, 42, 350, 291}}, {"Bevel1", u"Bevel1"_s, {9, 122, 34, 34}},
        {"Label2", u"Label2"_s, {49, 122, 290, 40}}, {"OK", u"BitBtn1"_s, {49, 226, 122, 33}},
        {"Info", u"BitBtn2"_s, {177, 226, 122, 33}}, {"hidden picture", u"PanelEgg"_s, {61, 77, 324, 220}},
        {"the rain", u"Rain"_s, {0, 0, 446, 374}},
    };
    for (const Geometry &p : places) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(child<QWidget>(box, p.object)->geometry(), p.rect);
    }
    EXPECT_EQ(child<QLabel>(box, u"Image2"_s)->pixmap().deviceIndependentSize(), QSizeF(344, 105));
    EXPECT_EQ(child<QLabel>(box, u"ImageEgg"_s)->pixmap().deviceIndependentSize(), QSizeF(320, 214));
    EXPECT_FALSE(child<QLabel>(box, u"VirtualImage1"_s)->pixmap().isNull());
    EXPECT_FALSE(box.eggPanel()->isVisibleTo(&box));

    EXPECT_EQ(child<QLabel>(box, u"Label2"_s)->text(), u"Quorvel 2.2"_s);
    EXPECT_EQ(child<QLabel>(box, u"Label2"_s)->font().pixelSize(), 16);
    EXPECT_EQ(child<QPushButton>(box, u"BitBtn1"_s)->text(), u"OK"_s);
    EXPECT_EQ(child<QPushButton>(box, u"BitBtn2"_s)->text(), u"Info"_s);
    auto *link = child<QLabel>(box, u"Label5"_s);
    EXPECT_EQ(link->text(), u"maker.test"_s);
    EXPECT_EQ(link->toolTip(), u"https://maker.test"_s);
    EXPECT_TRUE(link->font().underline());

    QStringList items;
    for (const QAction *action : box.infoMenu()->actions()) {
        items.append(action->objectName() + u'=' + action->text());
    }
    EXPECT_EQ(items, (QStringList{u"Credits1=Acknowledgements..."_s, u"Howtouninstall1=How to uninstall..."_s,
                                  u"LicensePrivacyPolicy1=License..."_s}));

    box.show();
    QTest::mouseClick(link, Qt::LeftButton);
    child<QAction>(box, u"Credits1"_s)->trigger();
    child<QAction>(box, u"Howtouninstall1"_s)->trigger();
    EXPECT_EQ(captured->opened,
              (QStringList{u"https://maker.test"_s, u"https://maker.test/blog/credits-and-acknowledgements/"_s,
                           u"http://maker.test/blog/how-to-uninstall-brellan-software/"_s}));

    QTest::mouseClick(child<QPushButton>(box, u"BitBtn1"_s), Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, LicenseOpensBesideTheProgramOrIsNotFound)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto captured = std::make_shared<Captured>();
    {
        TAboutBox box(capturedContext(captured, u"maker.test"_s, folder.path()));
        child<QAction>(box, u"LicensePrivacyPolicy1"_s)->trigger();
        ASSERT_EQ(captured->messages.size(), 1);
        EXPECT_EQ(captured->messages[0].kind, DialogKind::Error);
        EXPECT_EQ(captured->messages[0].caption, u"License"_s);
        EXPECT_EQ(captured->messages[0].text, u"File not found!"_s);
        EXPECT_TRUE(captured->opened.isEmpty());
    }
    QFile license(folder.filePath(u"license.txt"_s));
    ASSERT_TRUE(license.open(QIODevice::WriteOnly));
    license.write("Terms\n");
    license.close();
    TAboutBox box(capturedContext(captured, u"maker.test"_s, folder.path()));
    child<QAction>(box, u"LicensePrivacyPolicy1"_s)->trigger();
    EXPECT_EQ(captured->messages.size(), 1);
    EXPECT_EQ(captured->opened, QStringList{QUrl::fromLocalFile(QFileInfo(license).canonicalFilePath()).toString()});
}

// Installed from the package, the program is in bin/ and its licence in share/doc/quorvel/copyright.
TEST(AboutBox, LicenseOfAnInstalledProgramIsItsCopyrightFile)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    ASSERT_TRUE(QDir(prefix.path()).mkpath(u"bin"_s));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(u"share/doc/quorvel"_s));
    QFile copyright(prefix.filePath(u"share/doc/quorvel/copyright"_s));
    ASSERT_TRUE(copyright.open(QIODevice::WriteOnly));
    copyright.write("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n");
    copyright.close();

    auto captured = std::make_shared<Captured>();
    TAboutBox box(capturedContext(captured, u"maker.test"_s, prefix.filePath(u"bin"_s)));
    child<QAction>(box, u"LicensePrivacyPolicy1"_s)->trigger();
    EXPECT_TRUE(captured->messages.empty());
    EXPECT_EQ(captured->opened, QStringList{QUrl::fromLocalFile(QFileInfo(copyright).canonicalFilePath()).toString()});
}

TEST(AboutBox, HiddenPictureSlidesOutAndBack)
{
    TAboutBox box(capturedContext(std::make_shared<Captured>(), u"maker.test"_s));
    box.show();
    QWidget *icon = child<QWidget>(box, u"VirtualImage1"_s);
    QWidget *picture = child<QWidget>(box, u"ImageEgg"_s);

    QTest::mouseDClick(icon, Qt::LeftButton);
    EXPECT_TRUE(box.eggPanel()->isVisible());
    EXPECT_TRUE(box.eggTimer()->isActive());
    EXPECT_GE(box.eggTimer()->interval(), 1);
    // While the panel slides, double-clicks on the icon and on the picture do nothing.
    QTest::mouseDClick(icon, Qt::LeftButton);
    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_TRUE(box.eggPanel()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box.eggTimer()->isActive(); }, 10000));
    EXPECT_GT(box.infoPanel()->x(), box.width());
    EXPECT_EQ((box.infoPanel()->x() - 48) % TAboutBox::kEggStepPx, 0);

    QTest::mouseDClick(picture, Qt::LeftButton);
    EXPECT_FALSE(box.eggPanel()->isVisible());
    EXPECT_EQ(box.infoPanel()->pos(), QPoint(48, 42));
}

TEST(AboutBox, DragsWithAnyButtonButTheRightOne)
{
    TAboutBox box(capturedContext(std::make_shared<Captured>(), u"maker.test"_s));
    box.show();

    struct Case
    {
        const char *name;
        QString handle;
        Qt::MouseButton button;
        bool moves;
    };

    const std::vector<Case> cases = {
        {"left on the rain", u"Rain"_s, Qt::LeftButton, true},
        {"middle on the panel", u"Panel1"_s, Qt::MiddleButton, true},
        {"left on the logo", u"Image2"_s, Qt::LeftButton, true},
        {"left on the name", u"Label2"_s, Qt::LeftButton, true},
        {"right on the panel", u"Panel1"_s, Qt::RightButton, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget *handle = child<QWidget>(box, c.handle);
        const QPoint before = box.pos();
        const QPoint start = handle->mapToGlobal(QPoint(5, 5));
        sendMouse(handle, QEvent::MouseButtonPress, c.button, start);
        sendMouse(handle, QEvent::MouseMove, c.button, start + QPoint(30, 20));
        sendMouse(handle, QEvent::MouseMove, c.button, start + QPoint(40, 25));
        sendMouse(handle, QEvent::MouseButtonRelease, c.button, start + QPoint(40, 25));
        EXPECT_EQ(box.pos(), c.moves ? before + QPoint(40, 25) : before);
        // After the release, moving the mouse leaves the window where it is.
        const QPoint after = box.pos();
        sendMouse(handle, QEvent::MouseMove, Qt::NoButton, start + QPoint(90, 90));
        EXPECT_EQ(box.pos(), after);
    }
}

TEST(AboutBox, RainDrawsIntoItsPicture)
{
    TAboutBox box(capturedContext(std::make_shared<Captured>(), u"maker.test"_s));
    box.show();
    RainWidget *rain = box.rain();
    EXPECT_TRUE(rain->timer()->isActive());
    EXPECT_EQ(rain->timer()->interval(), 50);
    // The grid comes from the window's outer size, frame included.
    EXPECT_EQ(rain->model().bitmapWidth(), box.frameGeometry().width());
    EXPECT_EQ(rain->model().matrixWidth(), box.frameGeometry().width() / 8);
    EXPECT_EQ(rain->model().drops().size(), 2 * rain->model().matrixWidth());
    for (int i = 0; i < 10; ++i) {
        rain->step();
    }
    const QImage picture = rain->buffer().convertToFormat(QImage::Format_RGB32);

    int lit = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            // Only shades of the rain's green: red and blue stay below green.
            EXPECT_LE(qRed(pixel), qGreen(pixel));
            EXPECT_LE(qBlue(pixel), qGreen(pixel));
            lit += qGreen(pixel) > 0 ? 1 : 0;
        }
        if (qRed(picture.pixel(0, y)) > qGreen(picture.pixel(0, y))) {
            break; // one failure is enough
        }
    }
    EXPECT_GT(lit, 0);
}

} // namespace quorvel::test
