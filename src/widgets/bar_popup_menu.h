#pragma once

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

#include <cstdint>
#include <variant>

namespace plovex {

// A colour of the bar: either a fixed RGB value or a role of the menu's
// palette (the stand-in for a system colour such as the button-text colour),
// resolved to RGB each time the bar is painted.
class BarColor {
public:
    BarColor(QColor color) : value_(color) {}
    BarColor(Qt::GlobalColor color) : value_(QColor(color)) {}
    BarColor(QPalette::ColorRole role) : value_(role) {}

    bool isRole() const { return std::holds_alternative<QPalette::ColorRole>(value_); }
    QPalette::ColorRole role() const { return std::get<QPalette::ColorRole>(value_); }
    // The colour to paint with; a fixed colour loses its alpha.
    QRgb resolve(const QPalette& palette) const;

    bool operator==(const BarColor&) const = default;

private:
    std::variant<QColor, QPalette::ColorRole> value_;
};

// The arithmetic of the bar, kept apart so that it can be checked exactly.

// One colour component of pixel row y of a gradient that runs from `start`
// at row 0 to `end` at row `height`: start + ((end - start) * y) / height with
// a signed 32-bit product and quotient (division truncating towards zero) and
// the sum wrapped to a byte. Rows past `height` run on past the end colour.
// A height of 0 or less gives the start component.
std::uint8_t GradientComponent(int start, int end, int y, int height);
// The whole colour of row y (alpha always 255).
QRgb GradientRowColor(QRgb start, QRgb end, int y, int height);
// The column of the bar text for a bar `barWidth` pixels wide and a text
// `textHeight` pixels high: (barWidth - textHeight) / 2 - 0.5 rounded to the
// nearest integer, halves to the even neighbour. The text is written one
// column further left than this.
int BarTextX(int barWidth, int textHeight);

// A popup menu with a vertical bar down its left edge: a colour gradient
// from top to bottom, a line of text reading upwards and optionally a small
// picture. The top-level items are laid out BarWidth pixels further right;
// submenus are ordinary menus without a bar.
//
// The bar is measured afresh every time the menu opens: its height H is the
// sum of the heights of the visible items whose text is not "#", separators
// included, and row y (counted from the top of the first item) has the
// colour GradientRowColor(start, end, y, H), so row 0 has the start colour
// and row H the end colour.
class TBarPopupMenu : public QMenu {
    Q_OBJECT
    Q_PROPERTY(QPixmap Bitmap READ Bitmap WRITE setBitmap)
    Q_PROPERTY(int BarWidth READ BarWidth WRITE setBarWidth)
    Q_PROPERTY(int BitmapOffsetX READ BitmapOffsetX WRITE setBitmapOffsetX)
    Q_PROPERTY(int BitmapOffsetY READ BitmapOffsetY WRITE setBitmapOffsetY)
    Q_PROPERTY(TBitmapVertAlignment BitmapVertAlignment READ BitmapVertAlignment WRITE setBitmapVertAlignment)
    Q_PROPERTY(TBitmapHorzAlignment BitmapHorzAlignment READ BitmapHorzAlignment WRITE setBitmapHorzAlignment)
    Q_PROPERTY(bool BarVisible READ BarVisible WRITE setBarVisible)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(QFont VerticalFont READ VerticalFont WRITE setVerticalFont)
    Q_PROPERTY(QColor VerticalFontColor READ VerticalFontColor WRITE setVerticalFontColor)
    Q_PROPERTY(QString VerticalText READ VerticalText WRITE setVerticalText)
    Q_PROPERTY(int VerticalTextOffsetY READ VerticalTextOffsetY WRITE setVerticalTextOffsetY)

public:
    enum TBitmapVertAlignment { bvaTop, bvaBottom, bvaMiddle };
    Q_ENUM(TBitmapVertAlignment)
    enum TBitmapHorzAlignment { bhaLeft, bhaRight, bhaCenter };
    Q_ENUM(TBitmapHorzAlignment)

    explicit TBarPopupMenu(QWidget* parent = nullptr);
    ~TBarPopupMenu() override;

    // Sets what the player's context menu shows: lime fading to the button
    // text colour, "Plovex  v2.3" in a 21-pixel bold italic white Tahoma
    // (or the nearest sans-serif face where Tahoma is missing).
    static void ConfigureAsPlayerMenu(TBarPopupMenu& menu);

    // The picture drawn on the bar. Reading or assigning it makes the menu
    // own a picture (empty until assigned, transparent); assigning copies.
    QPixmap Bitmap() const;
    void setBitmap(const QPixmap& picture);

    int BarWidth() const { return barWidth_; }
    void setBarWidth(int width);
    int BitmapOffsetX() const { return bitmapOffsetX_; }
    void setBitmapOffsetX(int x);
    int BitmapOffsetY() const { return bitmapOffsetY_; }
    void setBitmapOffsetY(int y);
    TBitmapVertAlignment BitmapVertAlignment() const { return vertAlignment_; }
    void setBitmapVertAlignment(TBitmapVertAlignment alignment);
    TBitmapHorzAlignment BitmapHorzAlignment() const { return horzAlignment_; }
    void setBitmapHorzAlignment(TBitmapHorzAlignment alignment);
    bool BarVisible() const { return barVisible_; }
    void setBarVisible(bool visible);

    BarColor GradientEnd() const { return gradientEnd_; }
    void setGradientEnd(const BarColor& color);
    BarColor GradientStart() const { return gradientStart_; }
    void setGradientStart(const BarColor& color);

    // The picture's transparency: its bottom-left pixel's colour is left
    // out when it is drawn. Reads false, and ignores writes, while the menu
    // owns no picture.
    bool Transparent() const;
    void setTransparent(bool transparent);

    QFont VerticalFont() const { return verticalFont_; }
    void setVerticalFont(const QFont& font);
    QColor VerticalFontColor() const { return verticalFontColor_; }
    void setVerticalFontColor(const QColor& color);
    QString VerticalText() const { return verticalText_; }
    void setVerticalText(const QString& text);
    int VerticalTextOffsetY() const { return verticalTextOffsetY_; }
    void setVerticalTextOffsetY(int offset);

    // Shows the menu at the screen position (x, y).
    void Popup(int x, int y);

    // The measured height H of the bar, as of the last opening or painting.
    int CountedHeight() const;
    // Where the bar lies in the menu's own coordinates: its left edge, the
    // top of the first item, BarWidth - 2 pixels wide and H + 1 rows high
    // (rows 0 to H). Empty while the bar is hidden or nothing is counted.
    QRect BarRect() const;
    // The bar text's anchor in bar coordinates: the text's first character
    // starts at this point and the text runs upwards from it.
    QPoint BarTextOrigin() const;
    // Height of the bar text's font, the h of BarTextX.
    int BarTextHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void actionEvent(QActionEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Layout {
        int originX = 0;      // widget x of bar column 0
        int originY = 0;      // widget y of bar row 0 (top of the first item)
        int countedHeight = 0;
        QRegion rows;         // rows of the counted items, each with the row below it
        QRegion solidRows;    // rows of the counted items only
        bool lastItemCounted = false; // the last item ends at row H
    };
    Layout measure() const;
    const Layout& layout() const;
    void invalidate();
    void applyBarMargin();
    void paintBar(QPainter& painter, const Layout& bar) const;
    bool hasPicture() const { return bitmapCreated_ && !bitmap_.isNull(); }

    mutable bool bitmapCreated_ = false;
    QPixmap bitmap_;
    bool transparent_ = true;
    int barWidth_ = 31;
    int bitmapOffsetX_ = 0;
    int bitmapOffsetY_ = 0;
    TBitmapVertAlignment vertAlignment_ = bvaBottom;
    TBitmapHorzAlignment horzAlignment_ = bhaLeft;
    bool barVisible_ = true;
    BarColor gradientEnd_ = QColor(0, 0, 0);
    BarColor gradientStart_ = QColor(0, 0, 255);
    QFont verticalFont_;
    QColor verticalFontColor_ = Qt::white;
    QString verticalText_;
    int verticalTextOffsetY_ = -6;

    QMargins appliedMargins_;  // what the bar adds to the contents margins
    mutable bool measured_ = false;
    mutable Layout layout_;
};

// Top-left corner of the bar picture in bar coordinates (x from the bar's
// left edge, y from the top of the first item); `countedHeight` is the
// height H of the counted items. The halvings truncate towards zero.
QPoint BarPicturePos(TBarPopupMenu::TBitmapHorzAlignment horz, TBarPopupMenu::TBitmapVertAlignment vert,
                     int barWidth, int countedHeight, QSize picture, int offsetX, int offsetY);

} // namespace plovex
