#include "capture/frame_grab.h"
#include "platform/widget_prompts.h"
#include "capturegui/capture_fixture.h"

#include <QAction>
#include <QFileInfo>

using namespace plovex;
using plovex::test::CaptureFixture;

namespace {

const QString kFilter = QStringLiteral("jpeg文件(*.jpg)|*.jpg|gif文件(*.gif)|*.gif|bitmap文件(*.bmp)|*.bmp");

class FrameCaptureTest : public CaptureFixture {};

} // namespace

// The command pauses a playing movie while the dialog is open and plays
// it on afterwards, Cancel included; a paused movie stays paused.
TEST_F(FrameCaptureTest, PausesDuringTheDialogAndResumesOnlyWhatWasPlaying)
{
    struct Case {
        const char* name;
        bool playing;
        bool answer;
    };
    const Case cases[] = {
        {"playing, saved", true, true},
        {"playing, cancelled", true, false},
        {"paused, saved", false, true},
        {"paused, cancelled", false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMFrm& f = makeWithMovie();
        if (!c.playing)
            f.FlashMain->Stop();
        ASSERT_EQ(f.FlashMain->Playing(), c.playing);
        const QString target = work(QStringLiteral("shot%1.jpg").arg(n++));
        bool playingDuringDialog = true;
        prompts.fileDialogAnswers.push_back([&](FileDialog& d) {
            playingDuringDialog = f.FlashMain->Playing();
            EXPECT_EQ(d.filter, kFilter);
            EXPECT_TRUE(d.defaultExt.has_value());
            EXPECT_TRUE(d.defaultExt->isEmpty());
            EXPECT_EQ(d.kind, FileDialog::Kind::Save);
            EXPECT_TRUE(d.overwritePrompt);
            d.fileName = target;
            return c.answer;
        });
        f.mnuCaptureSave->trigger();
        EXPECT_FALSE(playingDuringDialog);
        EXPECT_EQ(f.FlashMain->Playing(), c.playing);
        EXPECT_EQ(QFileInfo::exists(target), c.answer);
        EXPECT_TRUE(prompts.fileDialogAnswers.empty());
    }
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(prompts.errors().isEmpty());
}

// The toolbar button and the context-menu item run the same command.
TEST_F(FrameCaptureTest, ToolbarAndContextMenuRunTheCommand)
{
    TMFrm& f = makeWithMovie();
    prompts.answerFile(work(QStringLiteral("tb.bmp")));
    prompts.answerFile(work(QStringLiteral("popup.gif")));
    f.SaveTB->trigger();
    f.CutP->trigger();
    EXPECT_TRUE(QFileInfo::exists(work(QStringLiteral("tb.bmp"))));
    EXPECT_TRUE(QFileInfo::exists(work(QStringLiteral("popup.gif"))));
}

// The file's format follows the name's extension when it is one of three
// spellings, in any letter case, whatever type the dialog shows. A name
// with any other extension, or none, is written in the format of the type
// chosen in the dialog, with that type's extension added: never nothing.
TEST_F(FrameCaptureTest, TheExtensionChoosesTheFormatElseTheChosenType)
{
    struct Case {
        const char* name;
        int type;            // the dialog's chosen type: 1 jpg, 2 gif, 3 bmp
        const char* written; // the file written
        QByteArray magic;
    };
    const Case cases[] = {
        {"a.jpg", 2, "a.jpg", "\xFF\xD8\xFF"},   {"b.JpG", 3, "b.JpG", "\xFF\xD8\xFF"},
        {"c.GIF", 1, "c.GIF", "GIF87a"},           {"d.bmp", 2, "d.bmp", "BM"},
        {"e.jpeg", 1, "e.jpeg.jpg", "\xFF\xD8\xFF"}, {"f.png", 2, "f.png.gif", "GIF87a"},
        {"g", 3, "g.bmp", "BM"},                   {"h.jpe", 1, "h.jpe.jpg", "\xFF\xD8\xFF"},
    };
    TMFrm& f = makeWithMovie();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString chosen = work(QString::fromLatin1(c.name));
        const QString path = work(QString::fromLatin1(c.written));
        prompts.fileDialogAnswers.push_back([&](FileDialog& d) {
            d.fileName = chosen;
            d.filterIndex = c.type;
            return true;
        });
        f.mnuCaptureSaveClick();
        EXPECT_EQ(QFileInfo::exists(chosen), chosen == path);
        const QByteArray bytes = fileBytes(path);
        EXPECT_TRUE(bytes.startsWith(c.magic));
        const QImage written(path);
        EXPECT_EQ(written.size(), QSize(320, 240));
    }
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(prompts.errors().isEmpty());
}

// The name with the added extension may name a file the dialog did not ask
// about: it is replaced only when the user says so.
TEST_F(FrameCaptureTest, AnAddedExtensionAsksBeforeReplacingAFile)
{
    TMFrm& f = makeWithMovie();
    const QString chosen = work(QStringLiteral("x.png"));
    const QString path = work(QStringLiteral("x.png.gif"));
    write(QStringLiteral("x.png.gif"), "old");
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced" : "kept");
        prompts.shown.clear();
        prompts.fileDialogAnswers.push_back([&](FileDialog& d) {
            d.fileName = chosen;
            d.filterIndex = 2;
            return true;
        });
        prompts.confirmAnswers.push_back(replace);
        f.mnuCaptureSaveClick();
        ASSERT_EQ(prompts.shown.size(), 2u);
        EXPECT_EQ(prompts.shown.back().kind, test::ScriptedPrompts::Kind::Confirm);
        EXPECT_TRUE(prompts.shown.back().text.contains(QStringLiteral("x.png.gif")));
        EXPECT_EQ(fileBytes(path).startsWith("GIF87a"), replace);
        EXPECT_FALSE(QFileInfo::exists(chosen));
    }
}

// The picture has the player's pixel size, whatever that is at the time,
// and shows what the player shows.
TEST_F(FrameCaptureTest, TheGrabFollowsThePlayersSizeAndPicture)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    for (const QSize size : {QSize(320, 240), QSize(641, 333), QSize(97, 45)}) {
        setPlayerSize(size);
        const QImage grab = f.GrabFrame();
        EXPECT_EQ(grab.size(), size);
        EXPECT_EQ(grab.depth(), 32);
        EXPECT_EQ(grab, f.FlashMain->PaintToImage().convertToFormat(QImage::Format_RGB32));
        const QString path = work(QStringLiteral("size%1.bmp").arg(size.width()));
        ASSERT_TRUE(f.SaveFrameImage(QStringLiteral(".bmp"), path));
        EXPECT_EQ(QImage(path).size(), size);
    }
    EXPECT_FALSE(f.SaveFrameImage(QStringLiteral(".png"), work(QStringLiteral("x.png"))));
    EXPECT_FALSE(f.SaveFrameImage(QString(), work(QStringLiteral("x"))));
    EXPECT_FALSE(QFileInfo::exists(work(QStringLiteral("x.png"))));
}

// A file that cannot be written is reported by the top-level error box,
// and the movie paused for the dialog stays paused.
TEST_F(FrameCaptureTest, AnUnwritableFileIsReported)
{
    TMFrm& f = makeWithMovie();
    prompts.answerFile(work(QStringLiteral("missing/folder/shot.jpg")));
    f.mnuCaptureSave->trigger();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.errors().front().contains(QStringLiteral("missing/folder/shot.jpg")));
    EXPECT_FALSE(f.FlashMain->Playing());
}

// The save dialog adds the selected type's extension to a name typed
// without one when a default extension is present, even an empty one.
TEST(SaveDialogExtension, TheSelectedTypeGivesTheMissingExtension)
{
    const QString filter = kFilter;
    const std::optional<QString> present = QString();
    struct Case {
        QString chosen;
        int index;
        std::optional<QString> defaultExt;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("/t/shot"), 2, present, QStringLiteral("/t/shot.gif")},
        {QStringLiteral("/t/shot"), 1, present, QStringLiteral("/t/shot.jpg")},
        {QStringLiteral("/t/shot"), 3, present, QStringLiteral("/t/shot.bmp")},
        {QStringLiteral("/t/shot.jpg"), 2, present, QStringLiteral("/t/shot.jpg")},
        {QStringLiteral("/t.d/shot"), 2, present, QStringLiteral("/t.d/shot.gif")},
        {QStringLiteral("/t/shot"), 2, std::nullopt, QStringLiteral("/t/shot")},
        {QStringLiteral("/t/shot"), 9, present, QStringLiteral("/t/shot")},
        {QStringLiteral("/t/shot"), 9, QStringLiteral("swf"), QStringLiteral("/t/shot.swf")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithDefaultExtension(c.chosen, filter, c.index, c.defaultExt), c.expected) << c.chosen.toStdString();
    EXPECT_EQ(WithDefaultExtension(QStringLiteral("/t/all"), QStringLiteral("all|*.*"), 1, QStringLiteral("txt")),
              QStringLiteral("/t/all.txt"));
}
