#include "player/playback_rates.h"

#include <cmath>

namespace plovex {

QString RatePanelText(int intervalMs)
{
    const long rate = intervalMs > 0 ? std::lround(1000.0 / intervalMs) : 0;
    return QStringLiteral("速率:%1帧\\秒").arg(rate);
}

} // namespace plovex
