#include "ui/placeholder_views.h"

namespace kb::ui {

PlaceholderView::PlaceholderView(const QString& name, const QString& description, QWidget* parent)
    : QLabel(parent) {
    setObjectName(name);
    setText(description);
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(12);
}

ChartView::ChartView(QWidget* parent)
    : PlaceholderView("chart", "The chart of the selected symbol will be drawn here, with its indicators and "
                               "line studies.", parent) {}

NewsView::NewsView(QWidget* parent)
    : PlaceholderView("news", "The broker's news and the internal mail will be listed here.", parent) {}

}  // namespace kb::ui
