#include "ui/painter/chart_picture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include "chart/model/chart.h"
#include "chart/render/chart_renderer.h"
#include "platform/clock.h"
#include "ui/painter/qpainter_canvas.h"

namespace kb::ui {

namespace {

// Qt's font database needs a GUI application; a tool has no screen, so it draws offscreen.
void ensure_gui_application() {
    if (QGuiApplication::instance()) return;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt's own notes (a missing runtime folder and the like) are not the tool's output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char name[] = "chart-tool";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> application = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

std::optional<std::string> write_chart_picture(chart::Chart& chart, const PictureRequest& request,
                                               const std::string& path, core::Journal* journal) {
    ensure_gui_application();
    QImage image(request.width, request.height, QImage::Format_RGB32);
    if (image.isNull()) return std::string("cannot make a picture of that size");
    {
        QPainter painter(&image);
        TextCache texts;
        QPainterCanvas canvas(painter, &texts);
        QtFontFamilies families;
        chart::PenCollector pens(families, platform::system_clock(), journal, request.dpi);
        chart::ChartRenderer renderer(pens);
        chart::RenderOptions options;
        options.dpi_x = options.dpi_y = request.dpi;
        chart.set_price_axis_width(renderer.price_axis_width(chart, canvas, options));
        renderer.paint(chart, canvas, options);
    }
    if (!image.save(QString::fromStdString(path), "PNG")) return "cannot write '" + path + "'";
    return std::nullopt;
}

}  // namespace kb::ui
