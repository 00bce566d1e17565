#include "widgets/bar_popup_menu.h"

#include <QActionEvent>
#include <QApplication>
#include <QBitmap>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace plovex {

QRgb BarColor::resolve(const QPalette& palette) const
{
    if (isRole())
        return palette.color(QPalette::Active, role()).rgb();
    return std::get<QColor>(value_).rgb();
}

std::uint8_t GradientComponent(int start, int end, int y, int height)
{
    if (height <= 0)
        return static_cast<std::uint8_t>(start);
    // The product is kept to 32 bits with wrap-around, the quotient truncates
    // towards zero, and the sum is cut to a byte, so rows past the height run
    // on past the end colour instead of stopping there.
    const auto product = static_cast<std::int32_t>(static_cast<std::int64_t>(end - start) * y);
    const std::int32_t quotient = product / height;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(start + quotient) & 0xFFu);
}

QRgb GradientRowColor(QRgb start, QRgb end, int y, int height)
{
    return qRgb(GradientComponent(qRed(start), qRed(end), y, height),
                GradientComponent(qGreen(start), qGreen(end), y, height),
                GradientComponent(qBlue(start), qBlue(end), y, height));
}

int BarTextX(int barWidth, int textHeight)
{
    // (barWidth - textHeight) / 2 - 0.5 equals (barWidth - textHeight - 1) / 2;
    // work on twice that value so that no floating point is involved.
    const std::int64_t twice = static_cast<std::int64_t>(barWidth) - textHeight - 1;
    if (twice % 2 == 0)
        return static_cast<int>(twice / 2);
    const std::int64_t below = (twice - 1) / 2; // exact: twice - 1 is even
    return static_cast<int>(below % 2 == 0 ? below : below + 1);
}

QPoint BarPicturePos(TBarPopupMenu::TBitmapHorzAlignment horz, TBarPopupMenu::TBitmapVertAlignment vert,
                     int barWidth, int countedHeight, QSize picture, int offsetX, int offsetY)
{
    int x = offsetX;
    switch (horz) {
    case TBarPopupMenu::bhaLeft: x = offsetX; break;
    case TBarPopupMenu::bhaRight: x = barWidth - 2 + offsetX - picture.width(); break;
    case TBarPopupMenu::bhaCenter: x = (barWidth - 2 - picture.width()) / 2 + offsetX; break;
    }
    int y = offsetY;
    switch (vert) {
    case TBarPopupMenu::bvaTop: y = offsetY; break;
    case TBarPopupMenu::bvaBottom: y = countedHeight + offsetY - picture.height(); break;
    case TBarPopupMenu::bvaMiddle: y = (countedHeight - picture.height()) / 2 + offsetY; break;
    }
    return {x, y};
}

namespace {

QFont defaultBarFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif); // where Tahoma is missing
    font.setPointSize(14);
    font.setBold(true);
    font.setItalic(true);
    return font;
}

// An item whose text is "#" takes its place in the menu but is left out of
// the bar: no gradient on its rows and no part of the counted height.
bool isUncounted(const QAction* action)
{
    return action->text() == QLatin1String("#");
}

} // namespace

TBarPopupMenu::TBarPopupMenu(QWidget* parent)
    : QMenu(parent), verticalFont_(defaultBarFont())
{
    if (QCoreApplication::instance())
        verticalText_ = QGuiApplication::applicationDisplayName();
    applyBarMargin();
}

TBarPopupMenu::~TBarPopupMenu() = default;

void TBarPopupMenu::ConfigureAsPlayerMenu(TBarPopupMenu& menu)
{
    menu.setGradientStart(QColor(0, 255, 0));
    menu.setGradientEnd(QPalette::ButtonText);
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(21);
    font.setBold(true);
    font.setItalic(true);
    menu.setVerticalFont(font);
    menu.setVerticalFontColor(Qt::white);
    menu.setVerticalText(QStringLiteral("Plovex  v2.3"));
}

QPixmap TBarPopupMenu::Bitmap() const
{
    bitmapCreated_ = true;
    return bitmap_;
}

void TBarPopupMenu::setBitmap(const QPixmap& picture)
{
    bitmapCreated_ = true;
    bitmap_ = picture.copy();
    invalidate();
}

void TBarPopupMenu::setBarWidth(int width)
{
    barWidth_ = std::max(0, width);
    applyBarMargin();
    invalidate();
}

void TBarPopupMenu::setBitmapOffsetX(int x)
{
    bitmapOffsetX_ = x;
    update();
}

void TBarPopupMenu::setBitmapOffsetY(int y)
{
    bitmapOffsetY_ = y;
    update();
}

void TBarPopupMenu::setBitmapVertAlignment(TBitmapVertAlignment alignment)
{
    vertAlignment_ = alignment;
    update();
}

void TBarPopupMenu::setBitmapHorzAlignment(TBitmapHorzAlignment alignment)
{
    horzAlignment_ = alignment;
    update();
}

void TBarPopupMenu::setBarVisible(bool visible)
{
    barVisible_ = visible;
    applyBarMargin();
    invalidate();
}

void TBarPopupMenu::setGradientEnd(const BarColor& color)
{
    gradientEnd_ = color;
    update();
}

void TBarPopupMenu::setGradientStart(const BarColor& color)
{
    gradientStart_ = color;
    update();
}

bool TBarPopupMenu::Transparent() const
{
    return bitmapCreated_ && transparent_;
}

void TBarPopupMenu::setTransparent(bool transparent)
{
    if (!bitmapCreated_)
        return;
    transparent_ = transparent;
    update();
}

void TBarPopupMenu::setVerticalFont(const QFont& font)
{
    verticalFont_ = font;
    update();
}

void TBarPopupMenu::setVerticalFontColor(const QColor& color)
{
    verticalFontColor_ = color;
    update();
}

void TBarPopupMenu::setVerticalText(const QString& text)
{
    verticalText_ = text;
    update();
}

void TBarPopupMenu::setVerticalTextOffsetY(int offset)
{
    verticalTextOffsetY_ = offset;
    update();
}

void TBarPopupMenu::Popup(int x, int y)
{
    popup(QPoint(x, y));
}

int TBarPopupMenu::CountedHeight() const
{
    return layout().countedHeight;
}

QRect TBarPopupMenu::BarRect() const
{
    const Layout& bar = layout();
    if (!barVisible_ || bar.countedHeight <= 0)
        return {};
    return QRect(bar.originX, bar.originY, std::max(0, barWidth_ - 2), bar.countedHeight + 1);
}

int TBarPopupMenu::BarTextHeight() const
{
    return QFontMetrics(verticalFont_, this).height();
}

QPoint TBarPopupMenu::BarTextOrigin() const
{
    int y = layout().countedHeight + verticalTextOffsetY_;
    if (hasPicture() && vertAlignment_ == bvaBottom)
        y -= bitmap_.height();
    return {BarTextX(barWidth_, BarTextHeight()) - 1, y};
}

void TBarPopupMenu::applyBarMargin()
{
    // The items move right by the bar's width. One more row below them
    // holds the bar's last row, which has the end colour.
    const QMargins wanted = barVisible_ ? QMargins(barWidth_, 0, 0, 1) : QMargins();
    if (wanted == appliedMargins_)
        return;
    const QMargins margins = contentsMargins() - appliedMargins_ + wanted;
    appliedMargins_ = wanted;
    setContentsMargins(margins);
    // The menu keeps its item layout until it is told that its metrics
    // changed; a font change is the notice it listens to.
    QEvent relayout(QEvent::FontChange);
    QMenu::changeEvent(&relayout);
}

void TBarPopupMenu::invalidate()
{
    measured_ = false;
    update();
}

TBarPopupMenu::Layout TBarPopupMenu::measure() const
{
    Layout bar;
    if (!barVisible_)
        return bar;
    bool first = true;
    for (QAction* action : actions()) {
        if (!action->isVisible())
            continue;
        const QRect item = actionGeometry(action);
        if (item.isEmpty())
            continue;
        if (first) {
            // Items start BarWidth pixels right of the bar's left edge.
            bar.originX = item.left() - barWidth_;
            bar.originY = item.top();
            first = false;
        }
        if (isUncounted(action)) {
            bar.lastItemCounted = false;
            continue;
        }
        bar.countedHeight += item.height();
        // Each item owns its rows and the row just below it, so the last
        // item reaches row H, which has the end colour.
        bar.rows += QRect(bar.originX, item.top(), barWidth_, item.height() + 1);
        bar.solidRows += QRect(bar.originX, item.top(), barWidth_, item.height());
        bar.lastItemCounted = item.bottom() + 1 - bar.originY == bar.countedHeight;
    }
    return bar;
}

const TBarPopupMenu::Layout& TBarPopupMenu::layout() const
{
    if (!measured_) {
        layout_ = measure();
        measured_ = true;
    }
    return layout_;
}

void TBarPopupMenu::showEvent(QShowEvent* event)
{
    // Every opening measures the bar afresh.
    measured_ = false;
    QMenu::showEvent(event);
}

void TBarPopupMenu::actionEvent(QActionEvent* event)
{
    QMenu::actionEvent(event);
    invalidate();
}

void TBarPopupMenu::changeEvent(QEvent* event)
{
    QMenu::changeEvent(event);
    switch (event->type()) {
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::LayoutDirectionChange:
        invalidate();
        break;
    default:
        break;
    }
}

void TBarPopupMenu::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    if (!barVisible_)
        return;
    const Layout& bar = layout();
    if (bar.countedHeight <= 0)
        return;
    QPainter painter(this);
    paintBar(painter, bar);
}

void TBarPopupMenu::paintBar(QPainter& painter, const Layout& bar) const
{
    const int height = bar.countedHeight;
    const int stripWidth = barWidth_ - 2;
    const QRgb start = gradientStart_.resolve(palette());
    const QRgb end = gradientEnd_.resolve(palette());

    // The gradient: one colour per pixel row, over the whole menu rather than
    // per item. A single colour fills the items' own rows only.
    if (stripWidth > 0) {
        if (start == end) {
            for (const QRect& rows : bar.solidRows)
                painter.fillRect(QRect(bar.originX, rows.top(), stripWidth, rows.height()), QColor(start));
        } else {
            for (const QRect& rows : bar.rows) {
                for (int y = rows.top(); y <= rows.bottom(); ++y) {
                    const QRgb color = GradientRowColor(start, end, y - bar.originY, height);
                    painter.fillRect(QRect(bar.originX, y, stripWidth, 1), QColor(color));
                }
            }
        }
    }

    // The text, reading upwards from its anchor near the bottom of the bar.
    // It shows only on the counted rows and left of the items.
    if (!verticalText_.isEmpty()) {
        const QPoint origin = BarTextOrigin();
        const QFontMetrics metrics(verticalFont_, this);
        painter.save();
        painter.setClipRegion(bar.rows);
        painter.translate(bar.originX + origin.x(), bar.originY + origin.y());
        painter.rotate(-90);
        painter.setFont(verticalFont_);
        painter.setPen(verticalFontColor_);
        painter.drawText(QPointF(0, metrics.ascent()), verticalText_);
        painter.restore();
    }

    // The picture, once the last item has reached the bottom of the bar.
    if (hasPicture() && bar.lastItemCounted) {
        QPixmap picture = bitmap_;
        if (transparent_) {
            // Like an automatically transparent bitmap: the colour of the
            // bottom-left pixel is left out.
            const QImage image = picture.toImage();
            const QRgb key = image.pixel(0, image.height() - 1);
            picture.setMask(picture.createMaskFromColor(QColor::fromRgba(key), Qt::MaskInColor));
        }
        const QPoint at = BarPicturePos(horzAlignment_, vertAlignment_, barWidth_, height, picture.size(),
                                        bitmapOffsetX_, bitmapOffsetY_);
        painter.save();
        painter.setClipRect(QRect(bar.originX, 0, barWidth_, this->height()));
        painter.drawPixmap(bar.originX + at.x(), bar.originY + at.y(), picture);
        painter.restore();
    }
}

} // namespace plovex
