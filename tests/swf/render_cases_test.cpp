// Whole movies built with the writer, each a table of cases for one rule
// of the renderer.

#include "swf/fixtures.h"
#include "swf/movie.h"
#include "swf/player.h"
#include "swf/render.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plovex::swf;
using namespace plovex::swf::test;

namespace {

QImage shot(const QByteArray& movie, QSize size, bool antialias)
{
    Player p(LoadMovie(movie));
    RenderOptions o;
    o.antialias = antialias;
    return p.renderImage(size, o);
}

// A red ellipse of 40 x 30 pixels at (x, y), in pixels.
ShapeData redEllipse()
{
    ShapeBuilder b;
    b.style(0, b.addFill(SolidFill(Qt::red)), 0).ellipse(QRectF(0, 0, 40 * 20, 30 * 20));
    return b.build();
}

Filter glowOf(const QColor& c, double blur, double strength)
{
    Filter f;
    f.type = Filter::Glow;
    f.colors = {c};
    f.blurX = f.blurY = blur;
    f.strength = strength;
    f.passes = 1;
    return f;
}

Filter shadowOf(double distance)
{
    Filter f;
    f.type = Filter::DropShadow;
    f.colors = {QColor(0, 0, 0)};
    f.blurX = f.blurY = 4;
    f.angle = M_PI / 4;
    f.distance = distance;
    f.strength = 1;
    f.passes = 1;
    return f;
}

// DefineButton2 whose up state shows one character with filters.
QByteArray buttonWithFilters(int id, int characterId, const std::vector<Filter>& filters)
{
    BitWriter w;
    w.u16(uint16_t(id));
    w.u8(0);        // not a menu
    w.u16(0);       // no actions
    w.u8(0x10 | 0x08 | 0x01);   // filters, hit, up
    w.u16(uint16_t(characterId));
    w.u16(1);
    w.matrix(Matrix());
    w.colorTransform(ColorTransform(), true);
    w.bytes(EncodeFilters(filters));
    w.u8(0);        // end of records
    return w.data();
}

} // namespace

// An object's filters decide its picture whoever drew the same picture
// with other filters before: the red glow of a button beside a button whose
// shape carries a drop shadow stays red, and so does the glow of an object
// that takes the place of a shadowed one in a later frame. (The glow's
// blur is chosen so that both filters grow the picture alike: the layers
// they work on are then the same.)
TEST(SwfRenderCases, EachObjectShowsItsOwnFiltersWhateverWasDrawnBefore)
{
    const QColor red(255, 0, 0);
    struct Case {
        const char* name;
        bool buttons;
    } cases[] = {{"two buttons side by side", true}, {"a shadowed object replaced by a glowing one", false}};
    for (const Case& c : cases) {
        SwfWriter w({.frameSize = Rect{0, 200 * 20, 0, 60 * 20}});
        w.defineShape(1, redEllipse());
        QImage last;
        if (c.buttons) {
            w.tag(kDefineButton2, buttonWithFilters(2, 1, {shadowOf(4)}));
            w.tag(kDefineButton2, buttonWithFilters(3, 1, {glowOf(red, 12, 2)}));
            w.placeObject2(PlaceNew(2, 1, Translate(10 * 20, 15 * 20)));
            w.placeObject2(PlaceNew(3, 2, Translate(110 * 20, 15 * 20)));
            w.showFrame();
            last = shot(w.finish(), QSize(200, 60), true);
        } else {
            PlaceObject shadowed = PlaceNew(1, 1, Translate(110 * 20, 15 * 20));
            shadowed.version = 3;
            shadowed.filters = std::vector<Filter>{shadowOf(4)};
            w.placeObject2(shadowed);
            w.showFrame();
            w.removeObject2(1);
            PlaceObject glowing = shadowed;
            glowing.filters = std::vector<Filter>{glowOf(red, 12, 2)};
            w.placeObject2(glowing);
            w.showFrame();
            Player p(LoadMovie(w.finish()));
            RenderOptions o;
            p.renderImage(QSize(200, 60), o);   // the shadowed frame, drawn once
            p.advance();
            last = p.renderImage(QSize(200, 60), o);
        }
        // Just left of the ellipse (x 110..150, y 15..45) and just above it:
        // glow, red on white; a shadow would be grey there or nothing.
        for (const QPoint at : {QPoint(107, 30), QPoint(130, 12)}) {
            const QColor px = last.pixelColor(at);
            EXPECT_EQ(px.red(), 255) << c.name << " at " << at.x() << "," << at.y();
            EXPECT_LT(px.green(), 230) << c.name << " at " << at.x() << "," << at.y();
            EXPECT_EQ(px.green(), px.blue()) << c.name << " at " << at.x() << "," << at.y();
        }
    }
}
