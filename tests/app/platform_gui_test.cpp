#include "platform/errors.h"
#include "platform/widget_prompts.h"
#include "support/qt_printers.h"
#include "support/scripted_prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <gtest/gtest.h>

using namespace plovex;
using plovex::test::ScriptedPrompts;

TEST(QtNameFilters, ConvertsEachTextAndPatternPair)
{
    const QStringList filters = QtNameFilters(
        QStringLiteral("全部支持格式(*.swf;*.exe)|*.swf;*.exe|swf文件(*.swf)|*.swf|exe格式(*.exe)|*.exe"));
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], QStringLiteral("全部支持格式(*.swf;*.exe) (*.swf *.exe)"));
    EXPECT_EQ(filters[1], QStringLiteral("swf文件(*.swf) (*.swf)"));
    EXPECT_EQ(filters[2], QStringLiteral("exe格式(*.exe) (*.exe)"));
}

TEST(QtNameFilters, DropsATextWithoutPatternAndEmptyFilters)
{
    EXPECT_TRUE(QtNameFilters(QString()).isEmpty());
    EXPECT_EQ(QtNameFilters(QStringLiteral("JPEG|*.jpg|dangling")).size(), 1);
    EXPECT_EQ(QtNameFilters(QStringLiteral("all| *.a ; *.b ")).front(), QStringLiteral("all (*.a *.b)"));
}

TEST(Guarded, ReportsAnErrorWithTheFullStopRuleAndGoesOn)
{
    ScriptedPrompts prompts;
    int reached = 0;
    auto handler = Guarded([&] {
        ++reached;
        throw PlovexError(QStringLiteral("Unable to write to C:\\x\\FileList.ini"));
    });
    handler();
    Guarded([&] { throw PlovexError(QStringLiteral("Failed to create key ab.")); })();
    Guarded([&] { throw std::runtime_error("plain"); })();
    Guarded([&](bool on) { reached += on ? 10 : 0; })(true);

    EXPECT_EQ(reached, 11);
    const QStringList errors = prompts.errors();
    ASSERT_EQ(errors.size(), 3);
    EXPECT_EQ(errors[0], QStringLiteral("Unable to write to C:\\x\\FileList.ini."));
    EXPECT_EQ(errors[1], QStringLiteral("Failed to create key ab."));
    EXPECT_EQ(errors[2], QStringLiteral("plain."));
    EXPECT_EQ(prompts.shown.front().caption, QStringLiteral("Plovex v3.0"));
}

TEST(WidgetPrompts, ConfirmShowsTheYesNoBoxAndReturnsTheAnswer)
{
    WidgetPrompts prompts;
    // Answer the box from the event loop once it is shown.
    QString caption;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("&No"))
                b->click();
    });
    EXPECT_FALSE(prompts.confirm(QStringLiteral("确定吗？")));
    EXPECT_EQ(caption, QStringLiteral("Confirm"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("&Yes")}));
}
