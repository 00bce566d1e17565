#pragma once

// Bitmap filters applied to a rendered layer (ARGB32 premultiplied), as
// the Flash Player applies them: blur, drop shadow, glow, bevel, gradient
// glow and bevel, convolution and colour matrix.

#include "swf/format.h"

#include <QImage>

namespace plovex::swf {

// `scale` is device pixels per stage pixel: filter sizes follow the stage's scaling.
void ApplyFilters(QImage& layer, const std::vector<Filter>& filters, double scale);

// Box blur of a premultiplied image with the given box widths in pixels
// (fractions count), horizontal then vertical, repeated `passes` times.
void BoxBlur(QImage& image, double boxX, double boxY, int passes);

// How many device pixels a filter can spread its object's picture along
// one axis (blur reach over all passes plus any offset).
int FilterMargin(const Filter& f, double scale, bool vertical);

} // namespace plovex::swf
