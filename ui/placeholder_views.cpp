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

NewsView::NewsView(QWidget* parent)
    : PlaceholderView("news", "The broker's news and the internal mail will be listed here.", parent) {}

}  // namespace kb::ui
