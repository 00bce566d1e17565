// The popup menu with the gradient side bar: its arithmetic, checked exactly,
// and the pixels it paints, checked on menus rendered offscreen.

#include "widgets/bar_popup_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include <ostream>

using plovex::BarPicturePos;
using plovex::BarTextX;
using plovex::GradientComponent;
using plovex::GradientRowColor;
using plovex::TBarPopupMenu;

namespace {

// ---- arithmetic -----------------------------------------------------------

struct ComponentCase {
    int start, end, y, height;
    int expected;
};

void PrintTo(const ComponentCase& c, std::ostream* out)
{
    *out << c.start << "_to_" << c.end << "_row_" << c.y << "_of_" << c.height;
}

class GradientComponentTest : public ::testing::TestWithParam<ComponentCase> {};

TEST_P(GradientComponentTest, MatchesTheRowFormula)
{
    const ComponentCase& c = GetParam();
    EXPECT_EQ(GradientComponent(c.start, c.end, c.y, c.height), c.expected)
        << c.start << " -> " << c.end << " row " << c.y << " of " << c.height;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GradientComponentTest,
    ::testing::Values(
        ComponentCase{255, 0, 0, 200, 255},    // row 0: the start
        ComponentCase{255, 0, 200, 200, 0},    // row H: the end
        ComponentCase{255, 0, 1, 200, 254},    // -1.275 truncates to -1, not -2
        ComponentCase{255, 0, 3, 200, 252},    // -3.825 -> -3
        ComponentCase{255, 0, 100, 200, 128},  // halfway: -127.5 -> -127
        ComponentCase{0, 255, 1, 200, 1},      // 1.275 -> 1
        ComponentCase{0, 255, 100, 200, 127},  // 127.5 -> 127
        ComponentCase{200, 40, 77, 131, 106},  // -94.04 -> -94
        ComponentCase{40, 200, 77, 131, 134},  // 94.04 -> 94
        ComponentCase{90, 90, 57, 131, 90},    // no difference, no change
        ComponentCase{255, 0, 400, 200, 1},    // past H the sum wraps as a byte
        ComponentCase{0, 255, 8421505, 2, 64}, // the product wraps at 32 bits
        ComponentCase{77, 0, 5, 0, 77}));      // nothing counted: the start

TEST(GradientRowColor, LimeToButtonTextPerComponent)
{
    const QRgb lime = qRgb(0, 255, 0);
    const QRgb end = qRgb(200, 40, 90);
    EXPECT_EQ(GradientRowColor(lime, end, 0, 131), lime);
    EXPECT_EQ(GradientRowColor(lime, end, 131, 131), end);
    // row 65 of 131: 200*65/131 = 99.2, -215*65/131 = -106.7, 90*65/131 = 44.7
    EXPECT_EQ(GradientRowColor(lime, end, 65, 131), qRgb(99, 255 - 106, 44));
    EXPECT_EQ(qAlpha(GradientRowColor(lime, end, 65, 131)), 255);
}

struct TextXCase {
    int barWidth, textHeight, expected;
};

void PrintTo(const TextXCase& c, std::ostream* out)
{
    *out << "bar_" << c.barWidth << "_text_" << c.textHeight;
}

class BarTextXTest : public ::testing::TestWithParam<TextXCase> {};

TEST_P(BarTextXTest, RoundsHalvesToEven)
{
    const TextXCase& c = GetParam();
    EXPECT_EQ(BarTextX(c.barWidth, c.textHeight), c.expected) << c.barWidth << " / " << c.textHeight;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarTextXTest,
    ::testing::Values(TextXCase{31, 25, 2},   // 2.5 -> 2
                      TextXCase{31, 26, 2},   // 2.0
                      TextXCase{31, 24, 3},   // 3.0
                      TextXCase{31, 23, 4},   // 3.5 -> 4
                      TextXCase{31, 21, 4},   // 4.5 -> 4
                      TextXCase{31, 19, 6},   // 5.5 -> 6
                      TextXCase{31, 27, 2},   // 1.5 -> 2
                      TextXCase{31, 29, 0},   // 0.5 -> 0
                      TextXCase{31, 31, 0},   // -0.5 -> 0
                      TextXCase{31, 33, -2},  // -1.5 -> -2
                      TextXCase{31, 35, -2},  // -2.5 -> -2
                      TextXCase{40, 25, 7})); // 7.0

struct PictureCase {
    TBarPopupMenu::TBitmapHorzAlignment horz;
    TBarPopupMenu::TBitmapVertAlignment vert;
    int offsetX, offsetY;
    QPoint expected;
};

void PrintTo(const PictureCase& c, std::ostream* out)
{
    *out << "horz_" << int(c.horz) << "_vert_" << int(c.vert) << "_offset_" << c.offsetX << "_" << c.offsetY;
}

class BarPicturePosTest : public ::testing::TestWithParam<PictureCase> {};

TEST_P(BarPicturePosTest, PlacesThePicture)
{
    // A 31-pixel bar over 131 counted rows, a 10 x 17 picture.
    const PictureCase& c = GetParam();
    EXPECT_EQ(BarPicturePos(c.horz, c.vert, 31, 131, QSize(10, 17), c.offsetX, c.offsetY), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Alignments, BarPicturePosTest,
    ::testing::Values(
        PictureCase{TBarPopupMenu::bhaLeft, TBarPopupMenu::bvaTop, 0, 0, QPoint(0, 0)},
        PictureCase{TBarPopupMenu::bhaLeft, TBarPopupMenu::bvaTop, 3, -4, QPoint(3, -4)},
        PictureCase{TBarPopupMenu::bhaLeft, TBarPopupMenu::bvaBottom, 0, 0, QPoint(0, 114)},
        PictureCase{TBarPopupMenu::bhaLeft, TBarPopupMenu::bvaBottom, 2, -5, QPoint(2, 109)},
        PictureCase{TBarPopupMenu::bhaRight, TBarPopupMenu::bvaMiddle, 0, 0, QPoint(19, 57)},  // (131-17)/2
        PictureCase{TBarPopupMenu::bhaRight, TBarPopupMenu::bvaMiddle, -1, 1, QPoint(18, 58)},
        PictureCase{TBarPopupMenu::bhaCenter, TBarPopupMenu::bvaTop, 0, 0, QPoint(9, 0)},      // 19/2
        PictureCase{TBarPopupMenu::bhaCenter, TBarPopupMenu::bvaMiddle, 1, 0, QPoint(10, 57)}));

TEST(BarPicturePos, HalvingsTruncateTowardsZero)
{
    // (31 - 2 - 40) / 2 = -5.5 -> -5; (20 - 41) / 2 = -10.5 -> -10
    EXPECT_EQ(BarPicturePos(TBarPopupMenu::bhaCenter, TBarPopupMenu::bvaMiddle, 31, 20, QSize(40, 41), 0, 0),
              QPoint(-5, -10));
}

// ---- properties -----------------------------------------------------------

TEST(TBarPopupMenu, DefaultsOfTheConstructor)
{
    TBarPopupMenu menu;
    EXPECT_EQ(menu.BarWidth(), 31);
    EXPECT_EQ(menu.BitmapOffsetX(), 0);
    EXPECT_EQ(menu.BitmapOffsetY(), 0);
    EXPECT_EQ(menu.BitmapVertAlignment(), TBarPopupMenu::bvaBottom);
    EXPECT_EQ(menu.BitmapHorzAlignment(), TBarPopupMenu::bhaLeft);
    EXPECT_TRUE(menu.BarVisible());
    EXPECT_EQ(menu.GradientStart().resolve(menu.palette()), qRgb(0, 0, 255));
    EXPECT_EQ(menu.GradientEnd().resolve(menu.palette()), qRgb(0, 0, 0));
    EXPECT_EQ(menu.VerticalFont().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(menu.VerticalFont().pointSize(), 14);
    EXPECT_TRUE(menu.VerticalFont().bold());
    EXPECT_TRUE(menu.VerticalFont().italic());
    EXPECT_EQ(menu.VerticalFontColor(), QColor(Qt::white));
    EXPECT_EQ(menu.VerticalText(), QGuiApplication::applicationDisplayName());
    EXPECT_EQ(menu.VerticalTextOffsetY(), -6);
    // The properties are reachable by their names too.
    EXPECT_EQ(menu.property("BarWidth").toInt(), 31);
    EXPECT_EQ(menu.property("VerticalTextOffsetY").toInt(), -6);
}

TEST(TBarPopupMenu, TransparencyBelongsToThePicture)
{
    TBarPopupMenu menu;
    EXPECT_FALSE(menu.Transparent());
    menu.setTransparent(true);  // ignored: no picture yet
    EXPECT_FALSE(menu.Transparent());
    EXPECT_TRUE(menu.Bitmap().isNull());  // reading creates an empty, transparent picture
    EXPECT_TRUE(menu.Transparent());
    menu.setTransparent(false);
    EXPECT_FALSE(menu.Transparent());

    TBarPopupMenu assigned;
    QPixmap picture(4, 3);
    picture.fill(Qt::red);
    assigned.setBitmap(picture);
    EXPECT_TRUE(assigned.Transparent());
    picture.fill(Qt::blue);  // the menu keeps its own copy
    EXPECT_EQ(assigned.Bitmap().toImage().pixel(0, 0), qRgb(255, 0, 0));
}

TEST(TBarPopupMenu, PlayerMenuValues)
{
    TBarPopupMenu menu;
    TBarPopupMenu::ConfigureAsPlayerMenu(menu);
    EXPECT_EQ(menu.VerticalText(), QStringLiteral("Plovex  v2.3"));
    EXPECT_EQ(menu.GradientStart().resolve(menu.palette()), qRgb(0, 255, 0));
    ASSERT_TRUE(menu.GradientEnd().isRole());
    EXPECT_EQ(menu.GradientEnd().role(), QPalette::ButtonText);
    EXPECT_EQ(menu.VerticalFont().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(menu.VerticalFont().pixelSize(), 21);
    EXPECT_EQ(menu.VerticalFontColor(), QColor(Qt::white));
    // Whatever face stands in for Tahoma is bold and italic.
    const QFontInfo used(menu.VerticalFont());
    EXPECT_TRUE(used.bold());
    EXPECT_TRUE(used.italic());
    EXPECT_EQ(used.pixelSize(), 21);
    // The rest keeps the defaults.
    EXPECT_EQ(menu.BarWidth(), 31);
    EXPECT_EQ(menu.VerticalTextOffsetY(), -6);
}

// ---- painting -------------------------------------------------------------

// Items like the player's context menu: a submenu, plain items, a checked
// item and separators.
void addItems(QMenu& menu)
{
    QMenu* rates = menu.addMenu(QStringLiteral("播放"));
    rates->addAction(QStringLiteral("默认速率"));
    rates->addAction(QStringLiteral("5帧/秒"));
    menu.addAction(QStringLiteral("暂停"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("重新开始"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("全屏/恢复"));
    QAction* loop = menu.addAction(QStringLiteral("循环"));
    loop->setCheckable(true);
    loop->setChecked(true);
    menu.addSeparator();
    menu.addAction(QStringLiteral("放大"));
    menu.addAction(QStringLiteral("关于"));
}

QImage shoot(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage open(QMenu& menu)
{
    menu.popup(QPoint(40, 40));
    QCoreApplication::processEvents();
    return shoot(menu);
}

int sumOfItemHeights(const QMenu& menu)
{
    int sum = 0;
    for (QAction* action : menu.actions())
        if (action->isVisible() && action->text() != QLatin1String("#"))
            sum += menu.actionGeometry(action).height();
    return sum;
}

// A bar menu whose end colour is a palette role set to a colour with three
// different components, so every component's path is exercised.
class BarPaintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TBarPopupMenu::ConfigureAsPlayerMenu(menu);
        QPalette palette = menu.palette();
        palette.setColor(QPalette::ButtonText, buttonText);
        menu.setPalette(palette);
        addItems(menu);
    }

    // Bar pixel (x, y) in bar coordinates.
    static QRgb barPixel(const QImage& image, const QRect& bar, int x, int y)
    {
        return image.pixel(bar.left() + x, bar.top() + y);
    }

    TBarPopupMenu menu;
    QRgb buttonText = qRgb(200, 40, 90);
    QRgb lime = qRgb(0, 255, 0);
};

TEST_F(BarPaintTest, GradientRowsFollowTheFormula)
{
    menu.setVerticalText(QString());
    const QImage image = open(menu);
    const int h = menu.CountedHeight();
    ASSERT_EQ(h, sumOfItemHeights(menu));
    const QRect bar = menu.BarRect();
    ASSERT_EQ(bar.width(), 29);
    ASSERT_EQ(bar.height(), h + 1);
    // The bar's left edge lies BarWidth left of the items.
    EXPECT_EQ(bar.left(), menu.actionGeometry(menu.actions().first()).left() - 31);
    EXPECT_EQ(bar.top(), menu.actionGeometry(menu.actions().first()).top());
    ASSERT_LE(bar.bottom(), image.height() - 1) << "row H lies inside the menu";

    EXPECT_EQ(barPixel(image, bar, 0, 0), lime);
    EXPECT_EQ(barPixel(image, bar, 28, 0), lime);
    EXPECT_EQ(barPixel(image, bar, 0, h), buttonText);
    EXPECT_EQ(barPixel(image, bar, 28, h), buttonText);
    const int half = h / 2;
    EXPECT_EQ(barPixel(image, bar, 14, half),
              qRgb(200 * half / h, 255 + (-215 * half) / h, 90 * half / h));

    // Every pixel of the strip, row by row.
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x < 29; ++x)
            ASSERT_EQ(barPixel(image, bar, x, y), GradientRowColor(lime, buttonText, y, h))
                << "x " << x << " row " << y << " of " << h;
    // The two columns between the strip and the items are not painted.
    for (int y = 0; y < h; y += 7)
        EXPECT_NE(barPixel(image, bar, 29, y), GradientRowColor(lime, buttonText, y, h)) << "row " << y;
}

TEST_F(BarPaintTest, SolidBarWhenStartEqualsEnd)
{
    menu.setVerticalText(QString());
    menu.setGradientStart(QColor(10, 20, 200));
    menu.setGradientEnd(QColor(10, 20, 200));
    const QImage image = open(menu);
    const int h = menu.CountedHeight();
    const QRect bar = menu.BarRect();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 29; ++x)
            ASSERT_EQ(barPixel(image, bar, x, y), qRgb(10, 20, 200)) << x << ", " << y;
    // A single colour fills the items' rows only; row H keeps the background
    // that the gap column shows on the same row.
    EXPECT_EQ(barPixel(image, bar, 5, h), barPixel(image, bar, 30, h));
    EXPECT_NE(barPixel(image, bar, 5, h), qRgb(10, 20, 200));
}

TEST_F(BarPaintTest, HiddenBarDrawsAPlainMenu)
{
    menu.setBarVisible(false);
    QMenu plain;
    plain.setPalette(menu.palette());
    addItems(plain);
    const QImage withoutBar = open(menu);
    const QImage reference = open(plain);
    EXPECT_EQ(menu.sizeHint(), plain.sizeHint());
    EXPECT_EQ(withoutBar, reference);
    EXPECT_TRUE(menu.BarRect().isNull());

    // Showing the bar again adds its width, and the row below the items
    // where the bar ends.
    menu.hide();
    menu.setBarVisible(true);
    EXPECT_EQ(menu.sizeHint(), plain.sizeHint() + QSize(31, 1));
}

TEST_F(BarPaintTest, ItemsStartBarWidthFurtherRight)
{
    QMenu plain;
    plain.setPalette(menu.palette());
    addItems(plain);
    const QImage withBar = open(menu);
    const QImage reference = open(plain);
    ASSERT_EQ(withBar.width(), reference.width() + 31);
    ASSERT_EQ(withBar.height(), reference.height() + 1);
    const QList<QAction*> barItems = menu.actions();
    const QList<QAction*> plainItems = plain.actions();
    for (qsizetype i = 0; i < barItems.size(); ++i) {
        const QRect a = menu.actionGeometry(barItems[i]);
        const QRect b = plain.actionGeometry(plainItems[i]);
        EXPECT_EQ(a, b.translated(31, 0)) << "item " << i;
    }
    // The items are the same picture moved BarWidth pixels right: texts,
    // check mark, separators, arrow. (The menu's bottom edge lies one row
    // lower, below the bar's last row, so the bottom row is left out, and
    // the plain menu's left edge line is where the bar now is.)
    const int itemsLeft = plain.actionGeometry(plainItems.first()).left() + 1;
    const QRect plainPart(itemsLeft, 0, reference.width() - itemsLeft, reference.height() - 1);
    EXPECT_EQ(withBar.copy(plainPart.translated(31, 0)), reference.copy(plainPart));
}

TEST_F(BarPaintTest, SubmenuHasNoBar)
{
    QMenu* sub = menu.actions().first()->menu();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(qobject_cast<TBarPopupMenu*>(sub), nullptr);
    QMenu plain;
    plain.setPalette(menu.palette());
    plain.addAction(QStringLiteral("默认速率"));
    plain.addAction(QStringLiteral("5帧/秒"));
    sub->setPalette(menu.palette());
    open(menu);
    const QImage subImage = open(*sub);
    EXPECT_EQ(subImage, open(plain));
    for (int y = 0; y < subImage.height(); ++y)
        for (int x = 0; x < subImage.width(); ++x)
            ASSERT_NE(subImage.pixel(x, y), lime) << x << ", " << y;
}

// The pixels that a bar text changes: the same menu with and without it.
QRect textBounds(const QImage& withText, const QImage& withoutText)
{
    QRect bounds;
    for (int y = 0; y < withText.height(); ++y)
        for (int x = 0; x < withText.width(); ++x)
            if (withText.pixel(x, y) != withoutText.pixel(x, y))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST_F(BarPaintTest, TextReadsUpwardsFromNearTheBottom)
{
    const QImage withText = open(menu);
    const int h = menu.CountedHeight();
    const QRect bar = menu.BarRect();
    const QPoint origin = menu.BarTextOrigin();
    const int textHeight = menu.BarTextHeight();
    EXPECT_EQ(origin, QPoint(BarTextX(31, textHeight) - 1, h - 6));
    menu.hide();
    menu.setVerticalText(QString());
    const QImage withoutText = open(menu);

    const QRect text = textBounds(withText, withoutText).translated(-bar.topLeft());
    ASSERT_FALSE(text.isEmpty());
    // Across the bar the text keeps inside its line, which starts at the
    // anchor column; along the bar it starts at the anchor row and climbs.
    EXPECT_GE(text.left(), origin.x());
    EXPECT_LE(text.right(), origin.x() + textHeight);
    EXPECT_LE(text.bottom(), origin.y() + 1);
    EXPECT_GE(text.bottom(), origin.y() - 4);
    EXPECT_GT(text.height(), 60) << "the whole line runs up the bar";
    EXPECT_GE(text.top(), 0);
}

TEST_F(BarPaintTest, TextIsClippedToTheCountedRows)
{
    // Ten rows of menu and a long text: the text stops at the top of the
    // first item and never reaches the frame or the items.
    TBarPopupMenu shortMenu;
    TBarPopupMenu::ConfigureAsPlayerMenu(shortMenu);
    shortMenu.addAction(QStringLiteral("关于"));
    shortMenu.setVerticalTextOffsetY(0);
    const QImage withText = open(shortMenu);
    const QRect bar = shortMenu.BarRect();
    shortMenu.hide();
    shortMenu.setVerticalText(QString());
    const QImage withoutText = open(shortMenu);
    const QRect text = textBounds(withText, withoutText);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.top(), bar.top());
    EXPECT_LE(text.bottom(), bar.bottom());
    EXPECT_GE(text.left(), bar.left());
    EXPECT_LT(text.right(), bar.left() + 31);
}

TEST_F(BarPaintTest, TextOffsetMovesTheAnchor)
{
    menu.setVerticalTextOffsetY(-40);
    const QImage withText = open(menu);
    const QRect bar = menu.BarRect();
    EXPECT_EQ(menu.BarTextOrigin().y(), menu.CountedHeight() - 40);
    menu.hide();
    menu.setVerticalText(QString());
    const QRect text = textBounds(withText, open(menu)).translated(-bar.topLeft());
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LE(text.bottom(), menu.CountedHeight() - 39);
}

TEST_F(BarPaintTest, PictureAtTheBottomLiftsTheText)
{
    QImage pictureImage(6, 4, QImage::Format_RGB32);
    pictureImage.fill(qRgb(255, 0, 0));
    menu.setBitmap(QPixmap::fromImage(pictureImage));
    menu.setTransparent(false);
    const QImage image = open(menu);
    const int h = menu.CountedHeight();
    const QRect bar = menu.BarRect();
    EXPECT_EQ(menu.BarTextOrigin().y(), h - 6 - 4);
    for (int y = h - 4; y < h; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(barPixel(image, bar, x, y), qRgb(255, 0, 0)) << x << ", " << y;
    EXPECT_EQ(barPixel(image, bar, 6, h - 1), GradientRowColor(lime, buttonText, h - 1, h));
    EXPECT_EQ(barPixel(image, bar, 0, h), buttonText);

    // Top right, moved by the offsets.
    menu.hide();
    menu.setBitmapVertAlignment(TBarPopupMenu::bvaTop);
    menu.setBitmapHorzAlignment(TBarPopupMenu::bhaRight);
    menu.setBitmapOffsetY(3);
    menu.setBitmapOffsetX(-1);
    const QImage moved = open(menu);
    EXPECT_EQ(menu.BarTextOrigin().y(), h - 6);
    EXPECT_EQ(barPixel(moved, bar, 22, 3), qRgb(255, 0, 0));   // 31 - 2 - 1 - 6
    EXPECT_EQ(barPixel(moved, bar, 27, 6), qRgb(255, 0, 0));
    EXPECT_EQ(barPixel(moved, bar, 21, 3), GradientRowColor(lime, buttonText, 3, h));
    EXPECT_EQ(barPixel(moved, bar, 28, 3), GradientRowColor(lime, buttonText, 3, h));
    EXPECT_EQ(barPixel(moved, bar, 22, 2), GradientRowColor(lime, buttonText, 2, h));
}

TEST_F(BarPaintTest, TransparentPictureLeavesOutItsCornerColour)
{
    menu.setVerticalText(QString());
    QImage pictureImage(6, 6, QImage::Format_RGB32);
    pictureImage.fill(qRgb(255, 0, 255));
    for (int i = 0; i < 6; ++i)
        pictureImage.setPixel(i, i, qRgb(255, 0, 0));
    pictureImage.setPixel(0, 5, qRgb(255, 0, 255));
    menu.setBitmap(QPixmap::fromImage(pictureImage));
    menu.setBitmapVertAlignment(TBarPopupMenu::bvaTop);
    ASSERT_TRUE(menu.Transparent());
    const QImage image = open(menu);
    const QRect bar = menu.BarRect();
    const int h = menu.CountedHeight();
    EXPECT_EQ(barPixel(image, bar, 2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(barPixel(image, bar, 3, 2), GradientRowColor(lime, buttonText, 2, h));

    menu.hide();
    menu.setTransparent(false);
    const QImage opaque = open(menu);
    EXPECT_EQ(barPixel(opaque, bar, 3, 2), qRgb(255, 0, 255));
}

TEST_F(BarPaintTest, EachOpeningMeasuresAfresh)
{
    const QImage first = open(menu);
    const int h = menu.CountedHeight();
    const QRect bar = menu.BarRect();
    menu.hide();

    // Enabling, disabling or checking items changes nothing in the bar.
    menu.actions()[1]->setEnabled(false);
    menu.actions()[6]->setChecked(false);
    const QImage second = open(menu);
    EXPECT_EQ(menu.CountedHeight(), h);
    EXPECT_EQ(second.copy(bar), first.copy(bar));
    menu.hide();

    // Hiding an item shortens the bar: the end colour moves up with it.
    QAction* hidden = menu.actions()[4];
    const int itemHeight = menu.actionGeometry(hidden).height();
    hidden->setVisible(false);
    const QImage third = open(menu);
    const int shorter = menu.CountedHeight();
    EXPECT_EQ(shorter, h - itemHeight);
    EXPECT_EQ(shorter, sumOfItemHeights(menu));
    const QRect newBar = menu.BarRect();
    EXPECT_EQ(barPixel(third, newBar, 0, 0), lime);
    EXPECT_EQ(barPixel(third, newBar, 0, shorter), buttonText);
}

TEST_F(BarPaintTest, HashItemIsNotCounted)
{
    menu.setVerticalText(QString());
    QAction* hash = menu.addAction(QStringLiteral("#"));
    const QImage image = open(menu);
    const QRect hashRect = menu.actionGeometry(hash);
    EXPECT_EQ(menu.CountedHeight(), sumOfItemHeights(menu));
    EXPECT_EQ(menu.CountedHeight() + hashRect.height(),
              hashRect.bottom() + 1 - menu.BarRect().top());
    // No gradient on its rows below the counted ones.
    const QRect bar = menu.BarRect();
    EXPECT_NE(image.pixel(bar.left() + 3, hashRect.center().y()),
              GradientRowColor(lime, buttonText, hashRect.center().y() - bar.top(), menu.CountedHeight()));
}

} // namespace
