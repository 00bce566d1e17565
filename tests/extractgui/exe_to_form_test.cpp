// The EXE-to-SWF dialog, driven through the real main window.

#include "extract/exe_to_form.h"
#include "extract/projector.h"
#include "extractgui/extract_fixture.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

using namespace plovex;
using namespace plovex::test;

namespace {

const QString kProjectorFilter = QStringLiteral("exe格式的flash(*.exe)|*.exe");

class ExeToFrmTest : public ExtractFixture {
protected:
    void SetUp() override
    {
        ExtractFixture::SetUp();
        f().EnableCommands(true);   // as after the first movie was opened
    }
    TExeToFrm& dialog() { return *f().ExeToFrm; }
    TExeToFrm& shown()
    {
        f().mnuFileExeToSwf->trigger();
        return dialog();
    }
    // A projector carrying `movie` written into the work folder.
    QString projector(const QString& name, const QByteArray& movie) { return write(name, Projector(movie)); }
};

} // namespace

// Made hidden with the other windows; the menu item shows the one
// instance as a modeless window with its controls and texts.
TEST_F(ExeToFrmTest, MenuItemShowsTheDialogWithItsControls)
{
    ASSERT_NE(f().ExeToFrm, nullptr);
    EXPECT_FALSE(dialog().isVisible());
    TExeToFrm* before = f().ExeToFrm;

    TExeToFrm& d = shown();
    EXPECT_EQ(&d, before);
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Exe转换Swf"));
    EXPECT_EQ(d.size(), QSize(380, 127));
    EXPECT_EQ(d.pos(), QPoint(262, 173));
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(d.palette().color(QPalette::Window), QColor(216, 228, 240));

    const std::pair<const char*, QString> texts[] = {
        {"Label3", QStringLiteral(".exe转换.swf")}, {"Label1", QStringLiteral("原文件：")},
        {"Label2", QStringLiteral("目标文件：")},   {"SourceBro", QStringLiteral("浏览...")},
        {"DectBro", QStringLiteral("另存为")},      {"ChageButton", QStringLiteral("转换")},
        {"CancalButton", QStringLiteral("取消")},
    };
    for (const auto& [name, text] : texts) {
        SCOPED_TRACE(name);
        QWidget* w = d.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr);
        if (auto* label = qobject_cast<QLabel*>(w))
            EXPECT_EQ(label->text(), text);
        else if (auto* button = qobject_cast<QToolButton*>(w))
            EXPECT_EQ(button->text(), text);
        else
            ADD_FAILURE() << "neither label nor button";
        EXPECT_TRUE(w->isVisible());
    }
    for (const char* name : {"Panel1", "Image1", "Image2", "SourceEdit", "DectEdit"})
        EXPECT_NE(d.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(d.Panel1->geometry(), QRect(0, 0, 380, 18));
    EXPECT_EQ(d.Image2->size(), QSize(15, 15));
    EXPECT_EQ(d.Image2->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(d.SourceEdit->width(), 249);
    EXPECT_EQ(d.DectEdit->width(), 249);
    EXPECT_TRUE(prompts.shown.empty());
}

// Choosing a source fills the target with the same path ending in ".swf",
// over whatever the target field held; the open dialog keeps the filter.
TEST_F(ExeToFrmTest, BrowsingTheSourceFillsTheTarget)
{
    TExeToFrm& d = shown();
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("/movies/intro.exe"), QStringLiteral("/movies/intro.swf")},
        {QStringLiteral("/movies/intro.v2.EXE"), QStringLiteral("/movies/intro.v2.swf")},
        {QStringLiteral("/movies.old/intro"), QStringLiteral("/movies.old/intro.swf")},
    };
    for (const auto& [source, target] : cases) {
        SCOPED_TRACE(source.toStdString());
        d.DectEdit->setText(QStringLiteral("/typed/by/hand.swf"));
        f().OpenD.filter = QStringLiteral("left|*.*");
        prompts.answerFile(source);
        d.SourceBro->click();
        EXPECT_EQ(d.SourceEdit->text(), source);
        EXPECT_EQ(d.DectEdit->text(), target);
        EXPECT_EQ(f().OpenD.filter, kProjectorFilter);
        EXPECT_EQ(f().OpenD.kind, FileDialog::Kind::Open);
    }
    // Cancel changes neither field.
    prompts.cancelFile();
    d.SourceBro->click();
    EXPECT_EQ(d.SourceEdit->text(), cases[2].first);
    EXPECT_EQ(d.DectEdit->text(), cases[2].second);
    EXPECT_TRUE(prompts.fileDialogAnswers.empty());
}

// "另存为" shows the shared save dialog exactly as its last user left it.
TEST_F(ExeToFrmTest, TargetBrowseUsesTheSaveDialogAsLeft)
{
    TExeToFrm& d = shown();
    f().SaveD.filter = QStringLiteral("jpeg文件(*.jpg)|*.jpg");
    f().SaveD.title = QStringLiteral("earlier title");
    f().SaveD.defaultExt = QStringLiteral("jpg");
    const QString chosen = work(QStringLiteral("chosen.swf"));
    prompts.fileDialogAnswers.push_back([&](FileDialog& dialog) {
        EXPECT_EQ(&dialog, &f().SaveD);
        EXPECT_EQ(dialog.filter, QStringLiteral("jpeg文件(*.jpg)|*.jpg"));
        EXPECT_EQ(dialog.title, QStringLiteral("earlier title"));
        dialog.fileName = chosen;
        return true;
    });
    d.DectBro->click();
    EXPECT_EQ(d.DectEdit->text(), chosen);
    EXPECT_EQ(f().SaveD.defaultExt, QStringLiteral("jpg"));

    prompts.cancelFile();
    d.DectBro->click();
    EXPECT_EQ(d.DectEdit->text(), chosen);
}

// "转换" copies the carried movie, replacing an existing target without a
// question, announces the success and closes; the fields stay for the
// next showing.
TEST_F(ExeToFrmTest, ConvertReplacesTheTargetAnnouncesAndCloses)
{
    const QByteArray movie = MovingSquareSwf(3);
    const QString source = projector(QStringLiteral("game.exe"), movie);
    const QString target = write(QStringLiteral("old.swf"), QByteArray(5000, 'x'));
    TExeToFrm& d = shown();
    d.SourceEdit->setText(source);
    d.DectEdit->setText(target);

    d.ChageButton->click();

    EXPECT_EQ(readWhole(target), movie);
    EXPECT_FALSE(d.isVisible());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Kind::Box);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("文件转换成功"));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("文件转换成功。"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);

    shown();
    EXPECT_EQ(d.SourceEdit->text(), source);
    EXPECT_EQ(d.DectEdit->text(), target);
}

// A file without the projector trailer is refused with the message and the
// dialog closes; an error (nothing to open, a target that cannot be made)
// is reported and leaves the dialog open with its fields.
TEST_F(ExeToFrmTest, RefusalClosesButAnErrorKeepsTheDialogOpen)
{
    const QString plain = write(QStringLiteral("plain.exe"), QByteArray(100, 'P'));
    const QString good = projector(QStringLiteral("good.exe"), MovingSquareSwf(2));
    struct Case {
        const char* name;
        QString source;
        QString target;
        bool staysOpen;
    };
    const Case cases[] = {
        {"refused", plain, work(QStringLiteral("refused.swf")), false},
        {"empty source", QString(), work(QStringLiteral("empty.swf")), true},
        {"missing source", work(QStringLiteral("gone.exe")), work(QStringLiteral("gone.swf")), true},
        {"target folder missing", good, work(QStringLiteral("no/such/dir/out.swf")), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        TExeToFrm& d = shown();
        d.SourceEdit->setText(c.source);
        d.DectEdit->setText(c.target);
        d.ChageButton->click();
        EXPECT_EQ(d.isVisible(), c.staysOpen);
        EXPECT_FALSE(QFileInfo::exists(c.target));
        EXPECT_EQ(d.SourceEdit->text(), c.source);
        EXPECT_EQ(d.DectEdit->text(), c.target);
        ASSERT_EQ(prompts.shown.size(), 1u);
        if (c.staysOpen) {
            EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Kind::Error);
        } else {
            EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Kind::Message);
            EXPECT_EQ(prompts.shown[0].text, kProjectorRefusedMessage);
        }
        d.close();
    }
}

// "取消", the close picture and Esc only hide the dialog.
TEST_F(ExeToFrmTest, CancelClosePictureAndEscHide)
{
    const std::function<void(TExeToFrm&)> ways[] = {
        [](TExeToFrm& d) { d.CancalButton->click(); },
        [](TExeToFrm& d) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(7, 7), d.Image2->mapToGlobal(QPointF(7, 7)),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(7, 7), d.Image2->mapToGlobal(QPointF(7, 7)),
                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(d.Image2, &press);
            QApplication::sendEvent(d.Image2, &release);
        },
        [](TExeToFrm& d) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&d, &esc);
        },
    };
    for (const auto& way : ways) {
        TExeToFrm& d = shown();
        d.SourceEdit->setText(QStringLiteral("/kept.exe"));
        ASSERT_TRUE(d.isVisible());
        way(d);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(f().ExeToFrm, &d);
        EXPECT_EQ(d.SourceEdit->text(), QStringLiteral("/kept.exe"));
    }
    EXPECT_TRUE(prompts.shown.empty());
}
