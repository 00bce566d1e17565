#include "app/ui_font.h"

#include <QStringList>

namespace plovex {

QFont UiFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans SC"), QStringLiteral("Droid Sans Fallback")});
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace plovex
