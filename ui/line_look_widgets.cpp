#include "ui/line_look_widgets.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QSpinBox>
#include <algorithm>

#include "core/period_names.h"
#include "ui/painter/qpainter_canvas.h"

namespace kb::ui {

namespace {

constexpr int kTimeframeMinutes[] = {1, 5, 15, 30, 60, 240, 1440, 10080, 43200};
constexpr const char* kStyles[] = {"Solid", "Dash", "Dot", "Dash Dot", "Dash Dot Dot"};
constexpr int kMaxWidth = 5;
constexpr int kTimeframeColumns = 3;

}  // namespace

ColourButton::ColourButton(chart::Colour colour, QWidget* parent) : QPushButton(parent) {
    set_colour(colour);
    connect(this, &QPushButton::clicked, this, &ColourButton::choose);
}

void ColourButton::set_colour(chart::Colour colour) {
    colour_ = colour & 0xFFFFFF;
    setStyleSheet(QString("background-color: %1").arg(to_qcolor(colour_).name()));
}

void ColourButton::choose() {
    const QColor chosen = QColorDialog::getColor(to_qcolor(colour_), this);
    if (!chosen.isValid()) return;
    set_colour(static_cast<chart::Colour>(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16)));
}

QComboBox* make_style_box(int32_t style) {
    auto* box = new QComboBox;
    for (const char* name : kStyles) box->addItem(name);
    box->setCurrentIndex(std::clamp(style, 0, static_cast<int32_t>(std::size(kStyles)) - 1));
    return box;
}

QSpinBox* make_width_box(int32_t width) {
    auto* box = new QSpinBox;
    box->setRange(1, kMaxWidth);
    box->setValue(std::clamp(width, 1, kMaxWidth));
    return box;
}

TimeframeBoxes::TimeframeBoxes(int32_t flags) : layout_(new QGridLayout), other_bits_(flags & ~((1 << kTimeframes) - 1)) {
    for (int bit = 0; bit < kTimeframes; ++bit) {
        auto* box = new QCheckBox(QString::fromStdString(core::period_name(kTimeframeMinutes[bit])));
        box->setChecked((flags >> bit) & 1);
        layout_->addWidget(box, bit / kTimeframeColumns, bit % kTimeframeColumns);
        boxes_[static_cast<size_t>(bit)] = box;
    }
}

int32_t TimeframeBoxes::flags() const {
    int32_t flags = other_bits_;
    for (int bit = 0; bit < kTimeframes; ++bit)
        if (boxes_[static_cast<size_t>(bit)]->isChecked()) flags |= 1 << bit;
    return flags;
}

}  // namespace kb::ui
