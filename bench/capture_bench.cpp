// Encodes a 1920x1080 frame as JPEG, GIF and BMP and prints milliseconds
// per frame; then runs Debian's cjpeg -quality 90 -baseline on the same
// pixels (as a PPM file) for comparison.
//
//   bench_capture [ITERATIONS]

#include "capture/encoders.h"
#include "capture/image_files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRadialGradient>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Something like a frame of a vector animation: gradients, antialiased
// shapes and outlines over a full-HD stage.
QImage testFrame()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 1080);
    sky.setColorAt(0, QColor(30, 60, 160));
    sky.setColorAt(1, QColor(250, 200, 120));
    p.fillRect(image.rect(), sky);
    for (int i = 0; i < 60; ++i) {
        const int x = (i * 373) % 1920;
        const int y = (i * 611) % 1080;
        const int r = 20 + (i * 37) % 160;
        QRadialGradient g(x, y, r);
        g.setColorAt(0, QColor::fromHsv((i * 47) % 360, 200, 255));
        g.setColorAt(1, QColor::fromHsv((i * 47 + 120) % 360, 255, 120));
        p.setBrush(g);
        p.setPen(QPen(Qt::black, 3));
        p.drawEllipse(QPoint(x, y), r, r * 2 / 3);
    }
    p.setPen(QPen(QColor(20, 20, 20), 2));
    for (int x = 0; x < 1920; x += 48)
        p.drawLine(x, 900, x + 200, 1080);
    return image;
}

struct Timing {
    double best = 0;
    double mean = 0;
};

Timing measure(int iterations, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < iterations; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    Timing t;
    t.best = *std::min_element(ms.begin(), ms.end());
    for (double v : ms)
        t.mean += v / double(ms.size());
    return t;
}

void print(const char* what, const Timing& t, qsizetype bytes)
{
    std::printf("%-44s %8.2f ms/frame (best %7.2f)  %9lld bytes\n", what, t.mean, t.best, (long long)bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    const QImage frame = testFrame();
    std::printf("1920x1080 frame, %d iterations each\n\n", iterations);
    std::fflush(stdout);

    QByteArray jpeg, gif, bmp;
    const Timing jpegTime = measure(iterations, [&] { jpeg = plovex::EncodeJpeg(frame); });
    print("JPEG in memory (quality 90, baseline)", jpegTime, jpeg.size());
    const Timing gifTime = measure(iterations, [&] { gif = plovex::EncodeGif(frame); });
    print("GIF in memory (216 colours, LZW)", gifTime, gif.size());
    const Timing bmpTime = measure(iterations, [&] { bmp = plovex::EncodeBmp(frame); });
    print("BMP in memory (24 bits per pixel)", bmpTime, bmp.size());

    QTemporaryDir dir;
    for (const char* ext : {".jpg", ".gif", ".bmp"}) {
        const QString path = dir.filePath(QStringLiteral("frame") + QLatin1String(ext));
        const QString label = QStringLiteral("  written to disk as %1 (with fsync)").arg(QLatin1String(ext));
        const Timing t = measure(iterations, [&] { plovex::WriteImageFileByExtension(frame, QLatin1String(ext), path); });
        print(label.toUtf8().constData(), t, QFile(path).size());
    }

    // The same pixels through Debian's cjpeg: the whole program, so the
    // figure includes starting the process and reading the PPM file.
    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    if (cjpeg.isEmpty()) {
        std::printf("\ncjpeg not found (package libjpeg-turbo-progs): no comparison\n");
        return 0;
    }
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB888);
    const QString ppm = dir.filePath(QStringLiteral("frame.ppm"));
    const QString out = dir.filePath(QStringLiteral("cjpeg.jpg"));
    {
        QFile f(ppm);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(QStringLiteral("P6\n1920 1080\n255\n").toLatin1());
        for (int y = 0; y < rgb.height(); ++y)
            f.write(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    bool ok = true;
    const Timing t = measure(iterations, [&] {
        QProcess process;
        process.start(cjpeg, {"-quality", "90", "-baseline", "-outfile", out, ppm});
        ok = process.waitForFinished(60000) && process.exitCode() == 0 && ok;
    });
    QFile result(out);
    const QByteArray theirs = result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray();
    std::printf("\n");
    print("cjpeg -quality 90 -baseline (PPM -> file)", t, theirs.size());
    std::printf("cjpeg %s; its file and ours are %s\n", ok ? "succeeded" : "FAILED",
        theirs == jpeg ? "identical byte for byte" : "DIFFERENT");
    return ok ? 0 : 1;
}
