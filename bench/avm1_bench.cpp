// The script machine's speed: a frame script that loops over arithmetic,
// property and function-call actions, run headless. Prints the actions
// run per second and the script time per frame.

#include "avm1/frame_loop.h"
#include "swf/writer.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>
#include <ctime>

using namespace plovex;
using swf::ActionWriter;

namespace {

// i = 0; do { x = x + i * 2; o.p = o.p + 1; f(i); i = i + 1 } while (i < n)
QByteArray loopMovie(int iterations)
{
    ActionWriter a;
    a.push(QStringLiteral("i")).pushInt(0).setVariable();
    a.push(QStringLiteral("x")).pushInt(0).setVariable();
    a.push(QStringLiteral("o")).pushInt(0).op(0x43).setVariable();
    a.push(QStringLiteral("o")).getVariable().push(QStringLiteral("p")).pushInt(0).op(0x4F);
    ActionWriter body;
    body.push(QStringLiteral("v")).getVariable().op(0x3E);
    a.defineFunction(QStringLiteral("f"), {QStringLiteral("v")}, body);
    ActionWriter loop;
    loop.push(QStringLiteral("x")).push(QStringLiteral("x")).getVariable().push(QStringLiteral("i")).getVariable()
        .pushInt(2).op(0x0C).op(0x47).setVariable();
    loop.push(QStringLiteral("o")).getVariable().push(QStringLiteral("p"))
        .push(QStringLiteral("o")).getVariable().push(QStringLiteral("p")).op(0x4E).pushInt(1).op(0x47).op(0x4F);
    loop.push(QStringLiteral("i")).getVariable().callFunction(1, QStringLiteral("f")).op(0x17);
    loop.push(QStringLiteral("i")).push(QStringLiteral("i")).getVariable().op(0x50).setVariable();
    loop.push(QStringLiteral("i")).getVariable().pushInt(iterations).op(0x48);
    const int back = -(loop.size() + 5);   // to the loop's start, past this If
    loop.ifTrue(int16_t(back));
    QByteArray code = a.body() + loop.body();
    swf::SwfWriter w;
    w.tag(swf::kDoAction, code + QByteArray(1, '\0'));
    w.showFrame();
    w.showFrame();
    return w.finish();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, atoi(argv[1])) : 200000;
    const auto movie = swf::LoadMovie(loopMovie(iterations));
    avm1::ScriptOptions o;
    o.virtualClock = true;
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu0 = std::clock();
    avm1::ScriptedMovie sm(movie, o);
    const double ms = t.nsecsElapsed() / 1e6;
    const double cpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    const qint64 actions = sm.runtime().actionCount;
    std::printf("iterations: %d\n", iterations);
    std::printf("actions: %lld\n", static_cast<long long>(actions));
    std::printf("script_ms_per_frame: %.3f\n", ms);
    std::printf("script_cpu_ms: %.3f\n", cpuMs);
    std::printf("simple_actions_per_second: %.0f (wall), %.0f (processor time)\n", ms > 0 ? actions / (ms / 1000) : 0.0,
                cpuMs > 0 ? actions / (cpuMs / 1000) : 0.0);
    return 0;
}
