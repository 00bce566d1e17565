#pragma once

// The built-in classes and functions, one file each; InstallGlobals calls
// them in order (Object and Function first: the others hang off them).

#include "avm1/clip.h"
#include "avm1/runtime.h"

#include <cmath>

namespace plovex::avm1 {

using Args = std::vector<Value>;

inline Value Arg(const Args& args, size_t i)
{
    return i < args.size() ? args[i] : Value();
}

void InstallObject(Runtime& rt);
void InstallFunction(Runtime& rt);
void InstallArray(Runtime& rt);
void InstallString(Runtime& rt);
void InstallNumber(Runtime& rt);
void InstallBoolean(Runtime& rt);
void InstallMath(Runtime& rt);
void InstallDate(Runtime& rt);
void InstallError(Runtime& rt);
void InstallGlobalFunctions(Runtime& rt);
void InstallBroadcaster(Runtime& rt);
void InstallKey(Runtime& rt);
void InstallMouse(Runtime& rt);
void InstallStage(Runtime& rt);
void InstallSystem(Runtime& rt);
void InstallTextField(Runtime& rt);
// Installs TextFormat; returns its prototype.
Object* InstallTextFormat(Runtime& rt);
// A TextFormat object holding `f`, and the format a TextFormat value holds.
Object* NewTextFormatObject(Runtime& rt, Object* proto, const swf::TextFormat& f);
std::optional<swf::TextFormat> TextFormatOf(const Value& v);
void InstallColor(Runtime& rt);
void InstallSound(Runtime& rt);
void InstallButton(Runtime& rt);
void InstallGeom(Runtime& rt);
void InstallXml(Runtime& rt);
void InstallSelection(Runtime& rt);
void InstallLoading(Runtime& rt);

// escape() and unescape(): every byte of the UTF-8 form but letters and
// digits as %XX; and back (bytes read as UTF-8 from version 6 on, as
// Latin-1 before).
QString Escape(const QString& s);
QString Unescape(const QString& s, int version);
// Loads (loading.cpp): the text of a local file a load names (undefined
// when there is none), handed to target.onData at the next timers' turn;
// and name=value pairs set on an object.
Value LoadText(Runtime& rt, const QString& url, double& bytes);
void DeliverText(Runtime& rt, Object* target, const Value& text, double bytes);
void DecodeVariables(Activation& a, Object* target, const QString& text);
void InstallBitmapData(Runtime& rt);

// A property with a native getter (and setter, when given) on `o`.
inline void DefineAccessor(Runtime& rt, Object* o, const QString& name, NativeFunction get, NativeFunction set,
                           uint16_t flags)
{
    Property& p = o->props().insert(name, true);
    p.getter = rt.newNative(std::move(get));
    p.setter = set ? rt.newNative(std::move(set)) : nullptr;
    p.flags = flags;
}
// The eight numbers of a flash.geom.ColorTransform (red, green, blue and
// alpha multipliers, then the offsets), or null when `o` is none.
const double* ColorTransformNumbers(Object* o);

// The native object of class T behind `o`: `o` itself, or, for an object
// of a scripted class whose constructor called T's as its super
// constructor, the one kept in `o`'s slot property.
template <class T>
T* NativeOf(Object* o, const QString& slot)
{
    if (auto* t = dynamic_cast<T*>(o))
        return t;
    if (const Property* p = o ? o->props().find(slot, true) : nullptr)
        return dynamic_cast<T*>(p->value.asObject());
    return nullptr;
}

// AsBroadcaster.initialize on an object.
void MakeBroadcaster(Runtime& rt, Object* o);
// Calls `method` on every listener of a broadcaster.
void Broadcast(Activation& a, Object* broadcaster, const QString& method, const Args& args);

// Sort helpers shared by Array.sort and sortOn.
int CompareDefault(Activation& a, const Value& x, const Value& y, bool caseInsensitive, bool numeric);

} // namespace plovex::avm1
