#include "capture/frame_grab.h"
#include "capture/region_frame.h"
#include "platform/errors.h"
#include "capturegui/capture_fixture.h"

#include <QAction>
#include <QFileInfo>
#include <QMouseEvent>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSet>

using namespace plovex;
using plovex::test::CaptureFixture;

namespace {

class RegionCaptureTest : public CaptureFixture {
protected:
    void showFrame(TMFrm& f)
    {
        f.mnuCaptureShow->trigger();
        ASSERT_TRUE(f.mnuCaptureShow->isChecked());
    }
};

// A picture whose every pixel tells where it lies: red = x, green = y.
QImage CoordinatePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x, y, 7));
    return image;
}

void send(QWidget* target, QEvent::Type type, Qt::MouseButton button, const QPoint& pos)
{
    // A move carries the held button in its buttons and none as its own.
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    const Qt::MouseButton own = type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), own, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

const QList<QAction*> dependentItems(const TMFrm& f)
{
    return {f.mnuCaptureCutRectImg, f.mnuCaptureZoomOut, f.mnuCaptureZoomIn, f.mnuCaptureRectCol};
}

} // namespace

TEST_F(RegionCaptureTest, ShowingPutsTheFrameOnThePlayerAt100And100)
{
    TMFrm& f = makeWithMovie();
    EXPECT_TRUE(f.CutShape->isHidden());
    EXPECT_EQ(f.CutShape->frameRect(), QRect(32, 8, 241, 177));
    for (QAction* a : dependentItems(f))
        EXPECT_FALSE(a->isEnabled());

    showFrame(f);
    EXPECT_EQ(f.CutShape->parentWidget(), static_cast<QWidget*>(f.FlashMain));
    EXPECT_EQ(f.CutShape->frameRect(), QRect(100, 100, 241, 177));
    for (QAction* a : dependentItems(f))
        EXPECT_TRUE(a->isEnabled());

    // Dragged away, enlarged and hidden: showing again puts it back at
    // (100, 100) with the size it had.
    f.CutShapeMouseDown(Qt::LeftButton, QPoint(10, 10));
    f.CutShapeMouseMove(QPoint(40, 25));
    f.CutShapeMouseUp(Qt::LeftButton, QPoint(40, 25));
    EXPECT_EQ(f.CutShape->pos(), QPoint(130, 115));
    f.mnuCaptureZoomOut->trigger();
    f.mnuCaptureShow->trigger();
    EXPECT_FALSE(f.mnuCaptureShow->isChecked());
    EXPECT_TRUE(f.CutShape->isHidden());
    EXPECT_EQ(f.CutShape->pos(), QPoint(130, 115));   // hiding does not move it
    for (QAction* a : dependentItems(f))
        EXPECT_FALSE(a->isEnabled());
    showFrame(f);
    EXPECT_EQ(f.CutShape->frameRect(), QRect(100, 100, 246, 182));
}

TEST_F(RegionCaptureTest, OnlyTheLeftButtonDragsAndTheGrabPointStaysUnderThePointer)
{
    TMFrm& f = makeWithMovie();
    f.resize(900, 700);
    f.show();
    showFrame(f);
    // Real mouse events on the frame: a right-button drag moves nothing.
    send(f.CutShape, QEvent::MouseButtonPress, Qt::RightButton, QPoint(20, 20));
    send(f.CutShape, QEvent::MouseMove, Qt::RightButton, QPoint(60, 70));
    send(f.CutShape, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(60, 70));
    EXPECT_EQ(f.CutShape->pos(), QPoint(100, 100));
    f.PopupMenu1->close();
    // The same drag with the left button moves it.
    send(f.CutShape, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(20, 20));
    send(f.CutShape, QEvent::MouseMove, Qt::LeftButton, QPoint(60, 70));
    send(f.CutShape, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(40, 50));
    EXPECT_EQ(f.CutShape->pos(), QPoint(140, 150));
    f.CutShape->setFramePos(QPoint(100, 100));

    // A left-button drag, pressed in the clear interior.
    f.CutShapeMouseDown(Qt::LeftButton, QPoint(50, 40));
    f.CutShapeMouseMove(QPoint(55, 42));    // pointer 5 right, 2 down
    EXPECT_EQ(f.CutShape->pos(), QPoint(105, 102));
    f.CutShapeMouseMove(QPoint(-400, 40));  // beyond the player's edge: nothing holds it
    EXPECT_EQ(f.CutShape->pos(), QPoint(-345, 102));
    f.CutShapeMouseUp(Qt::RightButton, QPoint(0, 0));   // any button ends the drag
    f.CutShapeMouseMove(QPoint(90, 90));
    EXPECT_EQ(f.CutShape->pos(), QPoint(-345, 102));
}

TEST_F(RegionCaptureTest, EnlargeAndShrinkByFiveKeepingTheCorner)
{
    TMFrm& f = makeWithMovie();
    showFrame(f);
    for (int i = 0; i < 3; ++i)
        f.mnuCaptureZoomOut->trigger();
    EXPECT_EQ(f.CutShape->frameRect(), QRect(100, 100, 256, 192));
    // Shrinking has no lower bound; the frame keeps its own size below zero.
    for (int i = 0; i < 40; ++i)
        f.mnuCaptureZoomIn->trigger();
    EXPECT_EQ(f.CutShape->frameWidth(), 56);
    EXPECT_EQ(f.CutShape->frameHeight(), -8);
    EXPECT_EQ(f.CutShape->pos(), QPoint(100, 100));
    for (int i = 0; i < 40; ++i)
        f.mnuCaptureZoomOut->trigger();
    EXPECT_EQ(f.CutShape->frameRect(), QRect(100, 100, 256, 192));
}

TEST_F(RegionCaptureTest, TheColourDialogStartsAtThePensColour)
{
    TMFrm& f = makeWithMovie();
    showFrame(f);
    f.ColorDialog1.color = Qt::green;   // left there by another command
    prompts.colorAnswers.push_back(QColor(Qt::blue));
    f.mnuCaptureRectCol->trigger();
    EXPECT_EQ(f.CutShape->penColor(), QColor(Qt::blue));
    prompts.colorAnswers.push_back(std::nullopt);
    f.ColorDialog1.color = Qt::green;
    f.mnuCaptureRectColClick();
    EXPECT_EQ(f.CutShape->penColor(), QColor(Qt::blue));
}

// A frame of 100 x 80 at (10, 20) gives a 100 x 80 picture made from the
// 98 x 78 pixels from (11, 21) to (108, 98), stretched.
TEST(RegionPictureTest, TheInteriorIsStretchedToTheFramesSize)
{
    const QImage source = CoordinatePicture(200, 150);
    const QImage region = RegionPicture(source, QRect(10, 20, 100, 80));
    ASSERT_EQ(region.size(), QSize(100, 80));
    EXPECT_EQ(region.pixel(0, 0), qRgb(11, 21, 7));
    EXPECT_EQ(region.pixel(99, 79), qRgb(108, 98, 7));
    QSet<int> columns;
    QSet<int> rows;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) {
            const QRgb p = region.pixel(x, y);
            columns.insert(qRed(p));
            rows.insert(qGreen(p));
            // Nearest-neighbour stretch: the source pixel lies in proportion.
            EXPECT_NEAR(qRed(p), 11 + (x + 0.5) * 98 / 100, 1.0);
            EXPECT_NEAR(qGreen(p), 21 + (y + 0.5) * 78 / 80, 1.0);
        }
    }
    EXPECT_EQ(columns.size(), 98);   // every interior column, no outline column
    EXPECT_EQ(rows.size(), 78);
}

TEST(RegionPictureTest, OutsideThePictureIsBlack)
{
    const QImage source = CoordinatePicture(50, 40);
    const QImage region = RegionPicture(source, QRect(-11, 30, 22, 22));   // interior -10..9 x 31..50
    ASSERT_EQ(region.size(), QSize(22, 22));
    EXPECT_EQ(region.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(region.pixel(21, 0), qRgb(9, 31, 7));
    EXPECT_EQ(region.pixel(21, 21), qRgb(0, 0, 0));
    EXPECT_THROW(RegionPicture(source, QRect(0, 0, 2, 30)), PlovexError);
}

// The region comes from the player's own picture in the player's
// coordinates, and is always written as a BMP.
TEST_F(RegionCaptureTest, CapturesTheFramesInteriorAsBmp)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    showFrame(f);
    f.CutShape->setFramePos(QPoint(10, 20));
    f.CutShape->setFrameSize(100, 80);
    const QString path = work(QStringLiteral("region.jpg"));
    bool playingDuringDialog = false;
    prompts.fileDialogAnswers.push_back([&](FileDialog& d) {
        EXPECT_EQ(d.filter, QStringLiteral("*.bmp|*.bmp"));
        EXPECT_TRUE(d.defaultExt && d.defaultExt->isEmpty());
        d.fileName = path;
        return true;
    });
    f.FlashMain->Play();
    f.mnuCaptureCutRectImg->trigger();
    playingDuringDialog = f.FlashMain->Playing();
    EXPECT_TRUE(playingDuringDialog);   // the region capture never pauses
    f.FlashMain->Stop();

    const QByteArray bytes = fileBytes(path);
    ASSERT_TRUE(bytes.startsWith("BM"));
    const QImage written = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(written.size(), QSize(100, 80));

    // Compare with the player's picture of the moment, with the frame
    // outline nowhere in it.
    f.FlashMain->Stop();
    const QImage expected = RegionPicture(f.GrabFrame(), QRect(10, 20, 100, 80));
    prompts.answerFile(work(QStringLiteral("again.bmp")));
    f.mnuCaptureCutRectImgClick();
    const QImage again(work(QStringLiteral("again.bmp")));
    EXPECT_EQ(again.convertToFormat(QImage::Format_RGB32), expected);
    const QImage grab = f.GrabFrame();
    EXPECT_EQ(again.pixel(0, 0), grab.pixel(11, 21));
    EXPECT_EQ(again.pixel(99, 79), grab.pixel(108, 98));
    EXPECT_TRUE(prompts.errors().isEmpty());
}

// A frame of 2 pixels or less in either direction has nothing inside: the
// capture says so and asks for no file.
TEST_F(RegionCaptureTest, ATinyFrameIsRefused)
{
    TMFrm& f = makeWithMovie();
    showFrame(f);
    const QSize refused[] = {QSize(2, 50), QSize(50, 2), QSize(1, 1), QSize(0, 0), QSize(-5, 30), QSize(30, -4)};
    int n = 0;
    for (const QSize s : refused) {
        f.CutShape->setFrameSize(s.width(), s.height());
        f.mnuCaptureCutRectImg->trigger();
        EXPECT_EQ(prompts.messages().size(), ++n) << s.width() << "x" << s.height();
    }
    EXPECT_TRUE(prompts.textsOf(test::ScriptedPrompts::Kind::FileDialog).isEmpty());
    EXPECT_FALSE(prompts.messages().front().isEmpty());

    // The smallest frame with an interior is captured.
    f.CutShape->setFrameSize(3, 3);
    prompts.answerFile(work(QStringLiteral("tiny.bmp")));
    f.mnuCaptureCutRectImg->trigger();
    EXPECT_EQ(prompts.messages().size(), n);
    EXPECT_EQ(QImage(work(QStringLiteral("tiny.bmp"))).size(), QSize(3, 3));
}

// Cancel writes nothing.
TEST_F(RegionCaptureTest, CancelWritesNothing)
{
    TMFrm& f = makeWithMovie();
    showFrame(f);
    prompts.cancelFile();
    f.mnuCaptureCutRectImg->trigger();
    EXPECT_TRUE(QDir(workDir.path()).entryList(QStringList{QStringLiteral("*.bmp")}).isEmpty());
    EXPECT_TRUE(prompts.errors().isEmpty());
}
