#include "avm1/globals/globals.h"

namespace plovex::avm1 {

void InstallGlobals(Runtime& rt)
{
    InstallObject(rt);
    InstallFunction(rt);
    InstallBroadcaster(rt);
    InstallArray(rt);
    InstallString(rt);
    InstallNumber(rt);
    InstallBoolean(rt);
    InstallMath(rt);
    InstallDate(rt);
    InstallError(rt);
    InstallGlobalFunctions(rt);
    InstallKey(rt);
    InstallMouse(rt);
    InstallStage(rt);
    InstallSystem(rt);
    InstallMovieClip(rt);
    InstallTextField(rt);
    InstallColor(rt);
    InstallSound(rt);
    InstallButton(rt);
    InstallGeom(rt);
    InstallXml(rt);
    InstallSelection(rt);
    InstallLoading(rt);
    InstallBitmapData(rt);
}

void Runtime::defineBuiltins()
{
    objectProto = make<Object>(nullptr);
    functionProto = make<Object>(objectProto);
    global = make<Object>(objectProto);
    arrayProto = make<ArrayObject>(objectProto);
    stringProto = make<Object>(objectProto);
    numberProto = make<Object>(objectProto);
    booleanProto = make<Object>(objectProto);
    movieClipProto = make<Object>(objectProto);
    buttonProto = make<Object>(objectProto);
    textFieldProto = make<Object>(objectProto);
    errorProto = make<Object>(objectProto);
    dateProto = make<Object>(objectProto);
    colorProto = make<Object>(objectProto);
    soundProto = make<Object>(objectProto);
    InstallGlobals(*this);
}

} // namespace plovex::avm1
