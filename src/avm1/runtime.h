#pragma once

// The script machine of one movie: its heap, its global object and
// built-in classes, conversions, calls, and the queue of actions that the
// frame loop fills.

#include "avm1/object.h"
#include "swf/display.h"
#include "swf/sound_events.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>

namespace plovex::avm1 {

class ClipObject;

// A thrown script value travelling up through native code.
struct ScriptThrow {
    Value value;
};
// Execution stopped for good (too deep, too long): unwinds everything.
struct ScriptAbort {
    QString reason;
};

class Activation {
public:
    Activation(Runtime& rt, int version, Scope* scope, Object* thisObj, Object* target)
        : rt(rt), version(version), scope(scope), thisObj(thisObj), target(target), baseClip(target) {}
    Runtime& rt;
    int version;
    Scope* scope;
    Object* thisObj;
    Object* target;       // the timeline that actions like play() act on
    Object* baseClip;     // the timeline the code belongs to
    Object* callee = nullptr;
    Object* superProto = nullptr;   // prototype `super` starts from
    Object* arguments = nullptr;
    std::shared_ptr<const std::vector<QString>> constants;
    std::vector<Value> registers = std::vector<Value>(4);
    bool caseSensitive() const { return version >= 7; }
    // Local variables of a function live here; frame code has none.
    Object* locals = nullptr;
    // A call's arguments, for `arguments` made on first use.
    std::vector<Value> callArgs;
    Object* caller = nullptr;
    bool suppressArguments = false, suppressSuper = false;
    bool suppressed(const QString& name) const
    {
        return name.compare(QLatin1String("arguments"), Qt::CaseInsensitive) == 0 ? suppressArguments : suppressSuper;
    }
};

enum class TimeSource { Wall, Virtual };

class Runtime {
public:
    Runtime(std::shared_ptr<const swf::Movie> movie, swf::DisplayObject* root);
    ~Runtime();

    const swf::Movie& movie() const { return *movie_; }
    int version() const { return version_; }
    swf::DisplayObject* root() const { return root_; }

    // --- Heap ---
    // Limits no real movie reaches, so a hostile script cannot take all
    // memory: objects alive at once, characters in one string, elements
    // in one array.
    static constexpr size_t kMaxObjects = 2'000'000;
    static constexpr int kMaxStringLength = 1 << 26;
    static constexpr int kMaxArrayLength = 1 << 21;
    // Pixel memory of all BitmapData objects alive at once (bytes).
    static constexpr qint64 kMaxBitmapBytes = qint64(1) << 29;
    qint64 bitmapBytes = 0;
    template <class T, class... A>
    T* make(A&&... args)
    {
        if (heap_.size() >= kMaxObjects)
            throw ScriptAbort{QStringLiteral("A script in this movie made too many objects; its actions were stopped.")};
        auto p = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = p.get();
        heap_.push_back(std::move(p));
        ++allocatedSinceGc_;
        return raw;
    }
    Object* newObject();
    ArrayObject* newArray();
    ArrayObject* newArray(const std::vector<Value>& items);
    FunctionObject* newNative(NativeFunction fn, int length = 0);
    // A constructor with its prototype object wired both ways.
    FunctionObject* newClass(const QString& name, NativeFunction call, NativeFunction construct, Object* proto,
                             Object* target = nullptr);
    void collectGarbage();
    // Objects held by the host (listeners, loaders) that must stay alive.
    std::vector<Object*> extraRoots;
    size_t heapSize() const { return heap_.size(); }

    // --- Built-ins ---
    Object* global = nullptr;
    Object* objectProto = nullptr;
    Object* functionProto = nullptr;
    Object* arrayProto = nullptr;
    Object* stringProto = nullptr;
    Object* numberProto = nullptr;
    Object* booleanProto = nullptr;
    Object* movieClipProto = nullptr;
    Object* buttonProto = nullptr;
    Object* textFieldProto = nullptr;
    Object* errorProto = nullptr;
    Object* dateProto = nullptr;
    Object* colorProto = nullptr;
    Object* soundProto = nullptr;
    FunctionObject* objectCtor = nullptr;
    FunctionObject* arrayCtor = nullptr;
    // Object.registerClass: symbol name -> constructor.
    QHash<QString, Object*> registeredClasses;
    // Key and Mouse listeners live on those objects' _listeners arrays.
    Object* keyObject = nullptr;
    Object* mouseObject = nullptr;
    Object* stageObject = nullptr;
    Object* selectionObject = nullptr;

    // --- Conversions ---
    QString toString(Activation& a, const Value& v);
    double toNumber(Activation& a, const Value& v);
    bool toBool(const Value& v, int version) const;
    Value toPrimitive(Activation& a, const Value& v, bool preferString = false);
    Object* toObject(Activation& a, const Value& v);
    QString typeOf(const Value& v);
    // Property access on any value (primitives through their prototypes).
    Value getMember(Activation& a, const Value& base, const QString& name);
    void setMember(Activation& a, const Value& base, const QString& name, const Value& v);

    // --- Calls ---
    Value call(Activation& caller, const Value& fn, const Value& thisValue, std::vector<Value>& args,
               Object* superProto = nullptr);
    Value construct(Activation& caller, const Value& ctor, std::vector<Value>& args);
    // Calls obj[name](args) when it is a function; false when not.
    bool callMethod(Activation& caller, Object* obj, const QString& name, std::vector<Value> args, Value* result = nullptr);
    bool instanceOf(Activation& a, Object* obj, Object* ctor);

    // --- Running code ---
    // Runs an action block on a timeline (frame, clip event, button action).
    void runActions(const std::shared_ptr<const QByteArray>& code, swf::DisplayObject* clip, int version = -1);
    int callDepth = 0;
    int blockDepth = 0;               // nested action blocks (calls, with, try)
    bool aborted = false;             // execution disabled after a fatal limit
    qint64 actionCount = 0;
    qint64 deadlineMs = 0;            // wall-clock limit of the running action list
    qint64 timeLimitMs = 15000;       // how long one action list may run
    std::function<void(const QString&)> traceOutput;
    std::function<void(const QString&)> warningOutput;   // scripts stopped by a limit
    QString movieUrl;      // file:/// address of the movie
    QString movieFolder;   // where relative loads look

    // --- Display objects ---
    ClipObject* clipObject(swf::DisplayObject* o);   // made on first use
    Value clipValue(swf::DisplayObject* o);
    swf::DisplayObject* displayOf(Object* o) const;
    // The child of `d` with that instance name. A shape, static text or
    // bitmap is no object of its own to scripts: its name stands for `d`.
    swf::DisplayObject* childNamed(swf::DisplayObject* d, const QString& name, bool caseSensitive) const;
    swf::DisplayObject* resolveTarget(Activation& a, const QString& path, swf::DisplayObject* from);
    QString targetPath(swf::DisplayObject* o) const;        // "_level0.a.b"
    QString slashPath(swf::DisplayObject* o) const;         // "/a/b"
    swf::DisplayObject* levelClip(int n) const { return n == 0 ? root_ : nullptr; }

    // --- The frame loop's hooks (set by the stage) ---
    std::function<void(swf::DisplayObject*, int frame, bool play)> gotoFrame;   // frame counted from 0
    std::function<swf::DisplayObject*(swf::DisplayObject* parent, int characterId, const QString& name, int depth)> attachChild;
    std::function<void(swf::DisplayObject*)> removeChild;
    std::function<swf::DisplayObject*(swf::DisplayObject* src, const QString& name, int depth)> duplicateClip;
    std::function<void(const QString& url, const QString& target)> openUrl;
    std::function<void()> stopSounds;
    // Moves the keyboard focus (null: nowhere), with the focus events.
    std::function<void(swf::DisplayObject*)> setFocus;

    // --- Sound ---
    swf::AudioEvents* audio = nullptr;   // where sounds go; null: nothing is heard
    // The timeline id the frame loop gives a clip's sounds.
    swf::TimelineId timelineIdOf(const swf::DisplayObject* clip) const;
    // Sound transforms scripts set on clips (Sound objects of a clip), and
    // the global one (Sound objects of no clip).
    std::map<swf::TimelineId, swf::SoundTransform> clipSoundTransforms;
    swf::SoundTransform globalSoundTransform;
    // Tells the sound engine the transform the sounds of `clip` are heard
    // through (its own within its parents'), and with `subtree` those of
    // the clips inside it; only what changed is told.
    void syncSoundTransform(swf::DisplayObject* clip, bool subtree);
    // Sound objects whose sounds play, by instance: kept alive until their
    // sound ends (onSoundComplete) or stops.
    std::map<quint64, Object*> playingSounds;
    int lastLoadedSoundId = 0;           // Sound.loadSound's sounds count down from -1
    // A character exported under `name` (ExportAssets), the exact name
    // first, then the name in any case; 0 when none is.
    int exportedCharacter(const QString& name) const;
    // The local file a load's address names: an absolute file address, or a
    // path relative to the movie's folder. Empty for anything else (the
    // player reaches no network).
    QString localFileOf(const QString& url) const;
    // Runs `arrival` (with `target` as this) at the next timers' turn, as
    // loads arrive, in the order they were asked for.
    void deliverLater(Object* target, NativeFunction arrival);
    // Runs the timers that are due: all, or only loads' arrivals.
    enum class TimerKind { All, Arrivals };
    void runTimers(TimerKind kind = TimerKind::All);

    // --- Time ---
    double nowMs() const;
    TimeSource timeSource = TimeSource::Wall;
    double virtualMs = 0;
    qint64 startMs = 0;
    struct Timer {
        int id = 0;
        Object* callback = nullptr;   // function, or object whose method is called
        Value thisValue;
        QString method;
        std::vector<Value> args;
        double interval = 0, next = 0;
        bool repeat = true;
    };
    std::map<int, Timer> timers;
    int nextTimerId = 1;

    // Mouse and keys as the movie sees them.
    double mouseX = 0, mouseY = 0;   // stage pixels
    bool keysDown[256] = {};
    int lastKeyCode = 0, lastAscii = 0;
    bool mouseDown = false;
    bool mouseHidden = false;
    std::weak_ptr<swf::DisplayObject> dragged;
    bool dragLockCenter = false;
    double dragOffsetX = 0, dragOffsetY = 0;
    QString stageScaleMode = QStringLiteral("showAll");
    QString stageAlign;
    swf::DisplayObject* focus = nullptr;
    bool focusByKeyboard = false;   // set by Tab or a script, not a click: its rectangle shows
    bool stageFocusRect = true;     // the global _focusrect
    std::mt19937 random{12345};
    int instanceCounter = 0;   // names of unnamed clips: instance1, instance2, ...

    void defineBuiltins();

private:
    std::shared_ptr<const swf::Movie> movie_;
    swf::DisplayObject* root_;
    int version_;
    std::vector<std::unique_ptr<Object>> heap_;
    std::map<swf::TimelineId, swf::SoundTransform> soundTransformsSent_;
    size_t allocatedSinceGc_ = 0;
    size_t liveAfterGc_ = 0;
    void markRoots(Gc& gc);
    void markTree(Gc& gc, swf::DisplayObject* o);
};

// The interpreter: runs action bytes [start, end) in an activation.
// Returns the value of a Return action (undefined otherwise). Script
// throws escape as ScriptThrow.
Value Execute(Activation& a, const std::shared_ptr<const QByteArray>& code, int start, int end);

// Makes a property of name `name` hidden from older movies through
// ASSetPropFlags-style version bits.
void InstallGlobals(Runtime& rt);

} // namespace plovex::avm1
