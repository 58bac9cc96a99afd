#pragma once
#include <QPushButton>
#include <array>
#include <cstdint>

#include "chart/model/chart_settings.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QSpinBox;

namespace kb::ui {

// A button showing a colour; clicking it opens the colour picker, whose choice it keeps.
// Colours are 0x00BBGGRR. User-interface thread only.
class ColourButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColourButton(chart::Colour colour, QWidget* parent = nullptr);
    chart::Colour colour() const { return colour_; }
    void set_colour(chart::Colour colour);

private:
    void choose();

    chart::Colour colour_ = 0;
};

// The pen styles a line can have, in their codes' order (0 solid .. 4 dash-dot-dot),
// with the style selected (limited to the list).
QComboBox* make_style_box(int32_t style);
// Line widths 1..5 pixels, with width selected (limited to that range).
QSpinBox* make_width_box(int32_t width);

// One box per timeframe (M1 .. MN, bits 0 .. 8 of the period flags) in a grid.
class TimeframeBoxes {
public:
    explicit TimeframeBoxes(int32_t flags);
    QGridLayout* layout() const { return layout_; }
    QCheckBox* box(int bit) const { return boxes_[static_cast<size_t>(bit)]; }
    // The flags as ticked; bits above 8 of the flags given at the start stay as they were.
    int32_t flags() const;

private:
    static constexpr int kTimeframes = 9;
    std::array<QCheckBox*, kTimeframes> boxes_{};
    QGridLayout* layout_ = nullptr;
    int32_t other_bits_ = 0;
};

}  // namespace kb::ui
