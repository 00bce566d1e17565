#include "platform/wallpaper.h"

#include "platform/errors.h"
#include "platform/xdg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace plovex {

namespace {

QString errText(const CommandRunner::Result& r)
{
    return QString::fromUtf8(r.err).trimmed();
}

// text, followed by what the program said on its error output, if anything.
[[noreturn]] void fail(QString text, const CommandRunner::Result& r)
{
    const QString detail = errText(r);
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    else if (!r.started)
        text += QStringLiteral(": the program could not be run");
    throw PlovexError(text);
}

[[noreturn]] void failedToSet(const QString& what, const CommandRunner::Result& r)
{
    fail(QStringLiteral("Failed to set data for '%1'").arg(what), r);
}

bool isNoPicture(const QString& path)
{
    return path.trimmed().isEmpty();
}

QString absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

// A wallpaper setting as the desktops store it (a file URI or a path) turned
// into a path; other URIs stay as they are.
QString toPath(const QString& setting)
{
    if (setting.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        const QUrl url(setting);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return setting;
}

QString fileUri(const QString& path)
{
    return QString::fromUtf8(QUrl::fromLocalFile(absolute(path)).toEncoded());
}

// --- gsettings -----------------------------------------------------------

struct GSettingsKeys {
    QString label;
    QString schema;
    QString uriKey;
    QString darkUriKey; // set alongside uriKey when the schema has it
    QString optionsKey;
    QString settingsProgram;
    QStringList settingsArgs;
};

class GSettingsWallpaper final : public DesktopWallpaper {
public:
    GSettingsWallpaper(CommandRunner& runner, GSettingsKeys keys) : runner_(runner), k_(std::move(keys)) {}

    QString name() const override { return k_.label; }

    QString getDesktopWallpaper() override
    {
        const auto r = runner_.run(QStringLiteral("gsettings"), {QStringLiteral("get"), k_.schema, k_.uriKey});
        if (!r.ok())
            fail(QStringLiteral("Cannot read the wallpaper of %1").arg(k_.label), r);
        return toPath(ParseGVariantString(QString::fromUtf8(r.out).trimmed()));
    }

    void setDesktopWallpaper(const QString& path, WallpaperStyle style) override
    {
        const bool none = isNoPicture(path);
        const QString uri = none ? QString() : fileUri(path);
        set(k_.uriKey, GVariantString(uri));
        if (!k_.darkUriKey.isEmpty() && hasKey(k_.darkUriKey))
            set(k_.darkUriKey, GVariantString(uri));
        QString option = QStringLiteral("none");
        if (!none) {
            switch (style) {
            case WallpaperStyle::Stretch: option = QStringLiteral("stretched"); break;
            case WallpaperStyle::Tile: option = QStringLiteral("wallpaper"); break;
            case WallpaperStyle::Centre: option = QStringLiteral("centered"); break;
            }
        }
        set(k_.optionsKey, GVariantString(option));
    }

    void openBackgroundSettings() override { runner_.startDetached(k_.settingsProgram, k_.settingsArgs); }

private:
    void set(const QString& key, const QString& value)
    {
        const auto r = runner_.run(QStringLiteral("gsettings"), {QStringLiteral("set"), k_.schema, key, value});
        if (!r.ok())
            failedToSet(key, r);
    }

    bool hasKey(const QString& key)
    {
        if (!keysRead_) {
            const auto r = runner_.run(QStringLiteral("gsettings"), {QStringLiteral("list-keys"), k_.schema});
            if (r.ok())
                keys_ = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
            keysRead_ = true;
        }
        return keys_.contains(key);
    }

    CommandRunner& runner_;
    GSettingsKeys k_;
    QStringList keys_;
    bool keysRead_ = false;
};

const GSettingsKeys kGnome{QStringLiteral("GNOME"),
                           QStringLiteral("org.gnome.desktop.background"),
                           QStringLiteral("picture-uri"),
                           QStringLiteral("picture-uri-dark"),
                           QStringLiteral("picture-options"),
                           QStringLiteral("gnome-control-center"),
                           {QStringLiteral("background")}};

const GSettingsKeys kCinnamon{QStringLiteral("Cinnamon"),
                              QStringLiteral("org.cinnamon.desktop.background"),
                              QStringLiteral("picture-uri"),
                              QString(),
                              QStringLiteral("picture-options"),
                              QStringLiteral("cinnamon-settings"),
                              {QStringLiteral("backgrounds")}};

bool gsettingsAnswers(CommandRunner& runner, const QString& schema)
{
    if (runner.findProgram(QStringLiteral("gsettings")).isEmpty())
        return false;
    return runner.run(QStringLiteral("gsettings"), {QStringLiteral("list-keys"), schema}).ok();
}

// --- xfconf --------------------------------------------------------------

const QString kXfceChannel = QStringLiteral("xfce4-desktop");

class XfceWallpaper final : public DesktopWallpaper {
public:
    explicit XfceWallpaper(CommandRunner& runner) : runner_(runner) {}

    QString name() const override { return QStringLiteral("Xfce"); }

    QString getDesktopWallpaper() override
    {
        const QStringList images = imageProperties();
        if (images.isEmpty())
            return {};
        const auto r = xfconf({QStringLiteral("-p"), images.first()});
        if (!r.ok())
            return {};
        QString value = QString::fromUtf8(r.out);
        if (value.endsWith(u'\n'))
            value.chop(1);
        return toPath(value);
    }

    void setDesktopWallpaper(const QString& path, WallpaperStyle style) override
    {
        const bool none = isNoPicture(path);
        // image-style: 0 none, 1 centred, 2 tiled, 3 stretched.
        int code = 0;
        if (!none) {
            switch (style) {
            case WallpaperStyle::Stretch: code = 3; break;
            case WallpaperStyle::Tile: code = 2; break;
            case WallpaperStyle::Centre: code = 1; break;
            }
        }
        QStringList images = imageProperties();
        if (images.isEmpty())
            images << QStringLiteral("/backdrop/screen0/monitor0/workspace0/last-image");
        // Every monitor and workspace shows the picture, as on a desktop with
        // a single background.
        for (const QString& image : images) {
            const QString styleProperty = image.chopped(int(qstrlen("last-image"))) + QStringLiteral("image-style");
            set(image, QStringLiteral("string"), none ? QString() : absolute(path));
            set(styleProperty, QStringLiteral("int"), QString::number(code));
        }
    }

    void openBackgroundSettings() override { runner_.startDetached(QStringLiteral("xfdesktop-settings"), {}); }

private:
    CommandRunner::Result xfconf(QStringList args)
    {
        args.prepend(kXfceChannel);
        args.prepend(QStringLiteral("-c"));
        return runner_.run(QStringLiteral("xfconf-query"), args);
    }

    // The picture properties of every monitor and workspace, sorted so that
    // the first is the first monitor's first workspace.
    QStringList imageProperties()
    {
        const auto r = xfconf({QStringLiteral("-l")});
        if (!r.ok())
            fail(QStringLiteral("Cannot read the desktop settings of Xfce"), r);
        QStringList images;
        for (const QString& line : QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts))
            if (line.trimmed().startsWith(QStringLiteral("/backdrop/")) && line.trimmed().endsWith(QStringLiteral("/last-image")))
                images << line.trimmed();
        std::stable_sort(images.begin(), images.end(), [](const QString& a, const QString& b) {
            const bool wa = a.contains(QStringLiteral("/workspace0/")), wb = b.contains(QStringLiteral("/workspace0/"));
            return wa != wb ? wa : a < b;
        });
        return images;
    }

    void set(const QString& property, const QString& type, const QString& value)
    {
        const auto r = xfconf({QStringLiteral("-p"), property, QStringLiteral("-n"), QStringLiteral("-t"), type,
                               QStringLiteral("-s"), value});
        if (!r.ok())
            failedToSet(property, r);
    }

    CommandRunner& runner_;
};

// --- KDE Plasma ----------------------------------------------------------

class PlasmaWallpaper final : public DesktopWallpaper {
public:
    explicit PlasmaWallpaper(CommandRunner& runner) : runner_(runner) {}

    QString name() const override { return QStringLiteral("KDE Plasma"); }

    // Plasma keeps each desktop's picture in its applets file, under
    // [Containments][n][Wallpaper][org.kde.image][General] as Image=.
    QString getDesktopWallpaper() override
    {
        QFile file(XdgConfigHome() + QStringLiteral("/plasma-org.kde.plasma.desktop-appletsrc"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        bool inImageGroup = false;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(u'[')) {
                inImageGroup = line.startsWith(QStringLiteral("[Containments]"))
                    && line.endsWith(QStringLiteral("[Wallpaper][org.kde.image][General]"));
                continue;
            }
            if (inImageGroup && line.startsWith(QStringLiteral("Image="))) {
                const QString value = line.mid(6).trimmed();
                if (!value.isEmpty())
                    return toPath(value);
            }
        }
        return {};
    }

    void setDesktopWallpaper(const QString& path, WallpaperStyle style) override
    {
        const QString tool = QStringLiteral("plasma-apply-wallpaperimage");
        if (isNoPicture(path))
            throw PlovexError(QStringLiteral(
                "KDE Plasma cannot be left without a wallpaper from here; choose a plain colour in its desktop settings"));
        QString mode;
        switch (style) {
        case WallpaperStyle::Stretch: mode = QStringLiteral("stretch"); break;
        case WallpaperStyle::Tile: mode = QStringLiteral("tile"); break;
        case WallpaperStyle::Centre: mode = QStringLiteral("pad"); break;
        }
        const QString file = absolute(path);
        auto r = runner_.run(tool, {QStringLiteral("--fill-mode"), mode, file});
        if (!r.ok() && r.started) {
            // Older Plasma releases have no --fill-mode; they still take the
            // picture, in their own arrangement.
            r = runner_.run(tool, {file});
        }
        if (!r.ok())
            failedToSet(tool, r);
    }

    void openBackgroundSettings() override
    {
        runner_.startDetached(QStringLiteral("systemsettings"), {QStringLiteral("kcm_wallpaper")});
    }

private:
    CommandRunner& runner_;
};

// --- none ----------------------------------------------------------------

class NoWallpaper final : public DesktopWallpaper {
public:
    explicit NoWallpaper(QString desktop) : desktop_(std::move(desktop)) {}
    QString name() const override { return desktop_; }
    bool available() const override { return false; }
    QString getDesktopWallpaper() override { fail(); }
    void setDesktopWallpaper(const QString&, WallpaperStyle) override { fail(); }
    void openBackgroundSettings() override { fail(); }

private:
    [[noreturn]] void fail() const
    {
        QString where = desktop_.isEmpty() ? QStringLiteral("this desktop")
                                           : QStringLiteral("this desktop (%1)").arg(desktop_);
        throw PlovexError(QStringLiteral("Plovex cannot change the wallpaper of %1: it works with GNOME, "
                                         "Cinnamon, Xfce and KDE Plasma, and none of them answered")
                              .arg(where));
    }
    QString desktop_;
};

enum class Kind { Gnome, Cinnamon, Xfce, Plasma };

bool answers(Kind kind, CommandRunner& runner)
{
    switch (kind) {
    case Kind::Gnome: return gsettingsAnswers(runner, kGnome.schema);
    case Kind::Cinnamon: return gsettingsAnswers(runner, kCinnamon.schema);
    case Kind::Xfce:
        return !runner.findProgram(QStringLiteral("xfconf-query")).isEmpty()
            && runner.run(QStringLiteral("xfconf-query"), {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-l")}).ok();
    case Kind::Plasma: return !runner.findProgram(QStringLiteral("plasma-apply-wallpaperimage")).isEmpty();
    }
    return false;
}

std::unique_ptr<DesktopWallpaper> make(Kind kind, CommandRunner& runner)
{
    switch (kind) {
    case Kind::Gnome: return MakeGnomeWallpaper(runner);
    case Kind::Cinnamon: return MakeCinnamonWallpaper(runner);
    case Kind::Xfce: return MakeXfceWallpaper(runner);
    case Kind::Plasma: return MakePlasmaWallpaper(runner);
    }
    return {};
}

DesktopWallpaper*& installed()
{
    static DesktopWallpaper* backend = nullptr;
    return backend;
}

} // namespace

QString GVariantString(const QString& s)
{
    QString out = QStringLiteral("'");
    for (QChar c : s) {
        if (c == u'\\' || c == u'\'')
            out += u'\\';
        out += c;
    }
    return out + u'\'';
}

QString ParseGVariantString(const QString& literal)
{
    const QString t = literal.trimmed();
    if (t.size() < 2 || (t.front() != u'\'' && t.front() != u'"') || t.back() != t.front())
        return t;
    QString out;
    for (qsizetype i = 1; i + 1 < t.size(); ++i) {
        QChar c = t[i];
        if (c != u'\\' || i + 2 >= t.size()) {
            out += c;
            continue;
        }
        c = t[++i];
        switch (c.unicode()) {
        case u'n': out += u'\n'; break;
        case u't': out += u'\t'; break;
        case u'r': out += u'\r'; break;
        case u'a': out += u'\a'; break;
        case u'b': out += u'\b'; break;
        case u'f': out += u'\f'; break;
        case u'v': out += u'\v'; break;
        case u'u':
        case u'U': {
            const int digits = c == u'u' ? 4 : 8;
            bool ok = false;
            const uint code = t.mid(i + 1, digits).toUInt(&ok, 16);
            if (ok && i + digits + 1 < t.size()) {
                const char32_t ch = code;
                out += QString::fromUcs4(&ch, 1);
                i += digits;
            } else {
                out += c;
            }
            break;
        }
        default: out += c; break; // \\, \', \" and anything else stand for themselves
        }
    }
    return out;
}

std::unique_ptr<DesktopWallpaper> MakeGnomeWallpaper(CommandRunner& runner)
{
    return std::make_unique<GSettingsWallpaper>(runner, kGnome);
}

std::unique_ptr<DesktopWallpaper> MakeCinnamonWallpaper(CommandRunner& runner)
{
    return std::make_unique<GSettingsWallpaper>(runner, kCinnamon);
}

std::unique_ptr<DesktopWallpaper> MakeXfceWallpaper(CommandRunner& runner)
{
    return std::make_unique<XfceWallpaper>(runner);
}

std::unique_ptr<DesktopWallpaper> MakePlasmaWallpaper(CommandRunner& runner)
{
    return std::make_unique<PlasmaWallpaper>(runner);
}

std::unique_ptr<DesktopWallpaper> MakeDesktopWallpaper(CommandRunner& runner)
{
    const QString current = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    const QStringList names = current.toLower().split(u':', Qt::SkipEmptyParts);
    auto named = [&](std::initializer_list<const char*> list) {
        for (const char* n : list)
            if (names.contains(QLatin1String(n)))
                return true;
        return false;
    };
    std::optional<Kind> wanted;
    if (named({"x-cinnamon", "cinnamon"}))
        wanted = Kind::Cinnamon;
    else if (named({"gnome", "gnome-classic", "gnome-flashback", "unity", "budgie", "budgie-desktop", "pantheon"}))
        wanted = Kind::Gnome;
    else if (named({"xfce"}))
        wanted = Kind::Xfce;
    else if (named({"kde"}))
        wanted = Kind::Plasma;

    if (wanted)
        return answers(*wanted, runner) ? make(*wanted, runner) : std::make_unique<NoWallpaper>(current);
    if (!names.isEmpty())
        return std::make_unique<NoWallpaper>(current); // a desktop we do not know
    // Sessions started without a desktop name: take the first that answers.
    for (Kind kind : {Kind::Gnome, Kind::Xfce, Kind::Plasma})
        if (answers(kind, runner))
            return make(kind, runner);
    return std::make_unique<NoWallpaper>(QString());
}

DesktopWallpaper& desktopWallpaper()
{
    if (installed())
        return *installed();
    static std::unique_ptr<DesktopWallpaper> system = MakeDesktopWallpaper();
    return *system;
}

void SetDesktopWallpaperBackend(DesktopWallpaper* backend)
{
    installed() = backend;
}

QString GetDesktopWallpaper()
{
    return desktopWallpaper().getDesktopWallpaper();
}

void SetDesktopWallpaper(const QString& path, WallpaperStyle style)
{
    desktopWallpaper().setDesktopWallpaper(path, style);
}

void OpenBackgroundSettings()
{
    desktopWallpaper().openBackgroundSettings();
}

} // namespace plovex
