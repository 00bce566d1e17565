#pragma once

#include "platform/errors.h"
#include "platform/wallpaper.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace plovex::testing {

// A desktop that records what the program asks of it. Install it with
// SetDesktopWallpaperBackend(&fake) and remove it with
// SetDesktopWallpaperBackend(nullptr).
class FakeWallpaper final : public DesktopWallpaper {
public:
    struct SetCall {
        QString path;
        WallpaperStyle style;
        bool operator==(const SetCall&) const = default;
    };

    // What the desktop shows; setDesktopWallpaper changes it.
    QString current;
    // When set, every operation raises PlovexError with this text and
    // changes nothing, as on a desktop the program cannot reach.
    std::optional<QString> failure;
    // False: the desktop has no wallpaper tool the program can reach.
    bool reachable = true;

    std::vector<SetCall> sets;
    int gets = 0;
    int settingsOpened = 0;
    // Every call in order: "get", "set PATH STYLE", "settings".
    QStringList log;

    QString name() const override { return QStringLiteral("Fake"); }
    bool available() const override { return reachable; }

    QString getDesktopWallpaper() override
    {
        log << QStringLiteral("get");
        check();
        ++gets;
        return current;
    }

    void setDesktopWallpaper(const QString& path, WallpaperStyle style) override
    {
        log << QStringLiteral("set %1 %2").arg(path, styleName(style));
        check();
        sets.push_back({path, style});
        current = path.trimmed().isEmpty() ? QString() : path;
    }

    void openBackgroundSettings() override
    {
        log << QStringLiteral("settings");
        check();
        ++settingsOpened;
    }

    static QString styleName(WallpaperStyle style)
    {
        switch (style) {
        case WallpaperStyle::Stretch: return QStringLiteral("stretch");
        case WallpaperStyle::Tile: return QStringLiteral("tile");
        case WallpaperStyle::Centre: return QStringLiteral("centre");
        }
        return {};
    }

private:
    void check() const
    {
        if (failure)
            throw PlovexError(*failure);
    }
};

} // namespace plovex::testing
