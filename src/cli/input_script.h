#pragma once

// The --input file of trace and render: user input to replay at given
// frames, one event a line:
//
//   FRAME move X Y      pointer to stage pixel X, Y
//   FRAME down          left button pressed
//   FRAME up            left button released
//   FRAME click X Y     move, press and release
//   FRAME keydown CODE  key pressed (Key.getCode() value)
//   FRAME keyup CODE    key released
//   FRAME key CODE      pressed and released
//   FRAME type TEXT     characters typed (the rest of the line)
//
// FRAME counts like --frames: the events of frame N happen once frame N
// is shown, before the movie moves on. Blank lines and lines starting
// with # are skipped.

#include <QString>
#include <functional>
#include <vector>

namespace plovex::swf {
class MovieRuntime;
}

namespace plovex::cli {

struct InputEvent {
    int frame = 1;
    enum Kind { Move, Down, Up, Click, KeyDown, KeyUp, Key, Type } kind = Move;
    double x = 0, y = 0;
    int code = 0;
    QString text;
};

// Reads an input file; false with a message naming the bad line.
bool ReadInputFile(const QString& path, std::vector<InputEvent>& out, QString& error);
// Sends the events of `frame` to the runtime.
void ApplyInput(const std::vector<InputEvent>& events, int frame, swf::MovieRuntime& runtime);
// The same as the per-frame input of a headless run (video::MoviePictures).
std::function<void(int, swf::MovieRuntime&)> InputFor(std::vector<InputEvent> events);

} // namespace plovex::cli
