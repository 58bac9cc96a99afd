#include "ui/display_metrics_qt.h"

#include <QScreen>

namespace kb::ui {

void fill_display_metrics(core::DisplayMetrics& metrics, const QScreen* screen) {
    if (!screen) {
        metrics = core::DisplayMetrics{96, 96, 480, 640, 640};
        return;
    }
    metrics.dpi_x = core::DisplayMetrics::round_dpi(static_cast<int>(screen->logicalDotsPerInchX()));
    metrics.dpi_y = core::DisplayMetrics::round_dpi(static_cast<int>(screen->logicalDotsPerInchY()));
    metrics.screen_width = screen->size().width();
    metrics.screen_height = screen->size().height();
    metrics.work_area_height = screen->availableGeometry().height();
}

}  // namespace kb::ui
