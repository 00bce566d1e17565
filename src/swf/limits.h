#pragma once

// The engine's limits, all in one place. A movie says how large and how
// many of everything it holds, and a damaged or hostile file can say
// anything; every size and count read from a file is bounded here before
// it costs memory or time. Each limit is far beyond what real movies use
// (the Flash Player's own limits where it has them), so ordinary movies
// never meet one; a movie that does is cut short where it says so, and
// the rest of it still plays.

#include <QtGlobal>

namespace plovex::swf {

// ------------------------------------------------------------ files

// The largest movie file the engine reads. The engine never decodes more
// than kMaxDecompressedLength bytes of a movie's body, and compressed
// data cannot shrink to less than a thousandth, so a bigger file is no
// movie; it is refused before a byte of it is read.
inline constexpr quint32 kMaxDecompressedLength = 256u * 1024u * 1024u;
inline constexpr qint64 kMaxMovieFileBytes = 2 * qint64(kMaxDecompressedLength);

// ------------------------------------------------------------ pictures

// The largest bitmap the Flash Player accepts: 8191 pixels a side and
// 16,777,215 pixels in all. Bigger ones are left out.
inline constexpr int kMaxBitmapSide = 8191;
inline constexpr qint64 kMaxBitmapPixels = 16777215;

// The pixels of all of a movie's bitmaps together (1 GiB at 4 bytes a
// pixel); bitmaps past it are left out.
inline constexpr qint64 kMaxMoviePixels = 256ll * 1024 * 1024;

// The largest picture made from a movie's stage when no size is asked
// for: the stage's own size, cut down in proportion to fit, within the
// bounds the Flash Player puts on a bitmap (a stage may declare up to
// 3 276 700 pixels a side, which would take gigabytes).
inline constexpr int kMaxStageSide = kMaxBitmapSide;
inline constexpr qint64 kMaxStagePixels = kMaxBitmapPixels;

// A progressive JPEG is drawn in scans, each a pass over the whole
// picture; real pictures have about ten. One with more scans than this
// is left out instead of being decoded (thousands of scans take minutes).
inline constexpr int kMaxJpegScans = 1000;

// ------------------------------------------------------------ timelines

// Tags in one timeline (the main movie's or one sprite's). Each is kept
// in memory while the movie loads; a compressed movie can hold millions
// of two-byte tags in a few kilobytes. Past it the timeline ends.
inline constexpr int kMaxTagsPerTimeline = 1 << 21;

// Frames over all of a movie's timelines together; an empty frame still
// costs memory. The Flash authoring tool stops at 16 000 frames a
// timeline. Past it the timeline being loaded ends.
inline constexpr int kMaxFramesInMovie = 1 << 20;

// Placements and removals over all of a movie's timelines together
// (a few hundred bytes each in memory). Past it the timeline being loaded
// ends.
inline constexpr int kMaxControlTags = 1 << 20;

// Sprites inside sprites on the display list: deeper ones are shown
// empty.
inline constexpr int kMaxSpriteNesting = 64;

// ------------------------------------------------------------ fonts

// No count: a glyph's outline is read only from the bytes between its
// offset and the next larger offset of any glyph, so the outlines of a
// font together never cost more than the font's own bytes, however many
// glyphs point into one another's data.

// ------------------------------------------------------------ drawing

// Display objects drawn for one frame, nested sprites and buttons
// included: past it the frame is drawn without the rest. Fan-out (a
// sprite placing a sprite that places sprites...) multiplies quickly.
inline constexpr int kMaxDrawnObjects = 100000;

// Display objects that one frame's step may create on the display list
// (sprites and the objects they place, at every level of nesting).
inline constexpr int kMaxObjectsCreatedPerFrame = 200000;

// Filters: a convolution takes at most 15 x 15 cells (the Flash Player's
// own limit); larger ones are not applied. The filters of one object
// together make at most this many passes over its picture (a blur or
// shadow counts its passes, every other filter one); the filters past it
// are not applied. Three blurs at the highest quality fit.
inline constexpr int kMaxConvolutionSide = 15;
inline constexpr int kMaxFilterPassesPerObject = 45;
// Filter work one picture may do, in layer pixels times filter passes: a
// full-screen layer through a dozen blurs of fifteen passes fits; beyond
// it, objects are drawn without their filters, as the Flash Player leaves
// out filters that would take too long.
inline constexpr qint64 kMaxFilterWorkPerPicture = 400'000'000;

} // namespace plovex::swf
