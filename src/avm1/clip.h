#pragma once

// Display objects as scripts see them: movie clips, buttons and text
// fields with their underscore properties, children by instance name and
// the timeline methods.

#include "avm1/runtime.h"

namespace plovex::avm1 {

class ClipObject : public Object {
public:
    ClipObject(Runtime& rt, swf::DisplayObject* d, Object* proto);
    ~ClipObject() override;

    // The display object, or null once it has left the stage and no other
    // object has taken its place (path) since.
    swf::DisplayObject* display();
    bool isClip() const override { return true; }
    QString typeName() const override;

    Value get(Activation& a, const QString& name) override;
    void set(Activation& a, const QString& name, const Value& v) override;
    bool hasProperty(Activation& a, const QString& name) override;
    bool setSpecial(Activation& a, const QString& name, const Value& v) override;
    std::vector<QString> enumerate(Activation& a) override;
    void trace(Gc& gc) override;

    std::weak_ptr<swf::DisplayObject> ref;
    QString path;   // target path when made, to find a replacement
    Runtime& rt;
    // Scripts' own view of scale and rotation, kept apart from the matrix
    // as the Flash Player does so that repeated changes do not drift.
    bool hasCachedTransform = false;
    double xscale = 100, yscale = 100, rotation = 0;
    swf::Matrix cachedFor;
    // Text field variable binding and text values.
    Value textVariable;
    // Its own _focusrect (from SWF 6): null follows the global one.
    Value focusRect = Value::null();

private:
    swf::DisplayObject* object_ = nullptr;   // valid while ref has not expired
};

// The timeline a display object plays (root or sprite), or null.
const swf::Timeline* TimelineOf(const swf::Movie& movie, const swf::DisplayObject* d);
// A frame given by number or label ("7", "intro"); -1 when there is none.
int FrameOfLabel(Activation& a, swf::DisplayObject* d, const QString& label);
// Moves `d` to a frame given by number, label or "path:frame" (the path from
// `d`), as the goto actions and methods do; `bias` is added to the frame found.
// An unknown label does nothing, or starts `d` playing when both `play` and
// `playUnknownLabel` are set.
void GotoFrame(Activation& a, swf::DisplayObject* d, const Value& frame, bool play, int bias = 0,
               bool playUnknownLabel = true);
// The object's bounds in its own space (twips).
QRectF LocalBounds(const swf::Movie& movie, const swf::DisplayObject& d);
// The object's matrix to the stage (twips).
QTransform StageTransform(const swf::DisplayObject* d);
void StartDrag(Runtime& rt, swf::DisplayObject* d, bool lockCenter);
// loadMovie/loadVariables (and their level forms) from a script: local
// files beside the movie. `target` is a path or "_levelN".
enum class LoadKind { Movie, Variables };
void LoadInto(Runtime& rt, Activation& a, const QString& url, const QString& target, LoadKind kind);

// Text field properties (text, htmlText, textColor, ...) of a field.
bool TextFieldGet(Activation& a, ClipObject* self, swf::DisplayObject* d, const QString& name, Value& out);
bool TextFieldSet(Activation& a, ClipObject* self, swf::DisplayObject* d, const QString& name, const Value& v);
// A field's state, made from its character (text, settings, format) on first use.
swf::TextFieldState& TextFieldStateOf(Runtime& rt, swf::DisplayObject* d);
// The format a DefineEditText gives its text.
swf::SpanFormat DefaultTextFormat(const swf::Movie& movie, const swf::EditTextCharacter& c);
// Fields bound to variables show the variables' values (once a frame).
void SyncBoundTextFields(Runtime& rt, swf::DisplayObject* root);
// The user typing into an input field: `typed` enters as `restrict`,
// `maxChars` and `multiline` allow; key 8 (Backspace) takes the character
// before the caret out, key 13 (Enter) starts a line in a multiline field.
// The field's variable and its onChanged handler follow.
void TextFieldType(Runtime& rt, swf::DisplayObject* d, const QString& typed);
void TextFieldKey(Runtime& rt, swf::DisplayObject* d, int keyCode);

Value GetVariable(Activation& a, const QString& name);
void SetVariable(Activation& a, const QString& name, const Value& v);

void InstallMovieClip(Runtime& rt);

} // namespace plovex::avm1
