#pragma once
#include "core/display_metrics.h"

class QScreen;

namespace kb::ui {

// Fills the metrics from a screen: its logical resolution rounded down to a multiple of
// 96, its size and the height of its available area. A null screen leaves a 96 dpi,
// 480 x 640 stand-in, so layout never scales by zero. User-interface thread.
void fill_display_metrics(core::DisplayMetrics& metrics, const QScreen* screen);

}  // namespace kb::ui
