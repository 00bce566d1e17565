#pragma once

#include <QString>

namespace plovex {

// The fixed playback rates: the rate timer moves the movie one frame per
// tick at these intervals. 30 frames per second is 33 ms, not 33.3; the
// rate panel still reads 30, the rounded quotient of 1000 by the interval.
inline constexpr int kRateIntervals[] = {200, 100, 50, 40, 33, 25, 20};   // 5, 10, 20, 25, 30, 40, 50 fps

// Reverse play steps back one frame every 40 ms (25 frames per second).
inline constexpr int kReverseInterval = 40;

// The rate panel while a fixed rate runs: "速率:" n "帧\秒", n = 1000 / interval rounded.
QString RatePanelText(int intervalMs);

inline const QString kRateDefaultText = QStringLiteral("速率：默认");        // after "默认速率" (full-width colon)
inline const QString kReverseRunningText = QStringLiteral("速率:倒放(25帧/秒)");
inline const QString kReverseStoppedText = QStringLiteral("倒放已停止");

} // namespace plovex
