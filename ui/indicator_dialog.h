#pragma once
#include <QDialog>
#include <array>
#include <vector>

#include "chart/framework/indicator.h"
#include "chart/model/chart_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kb::chart {
class Chart;
}

namespace kb::ui {

// The properties of one indicator of a chart: its period (for classes whose label shows
// one), the main line's colour (through the colour picker), style and width, its levels
// (values separated by blanks or ";"; each keeps the description it had at its place) and
// the timeframes it shows on. apply() hands them to the chart, which recalculates the
// indicator and writes the profile. User-interface thread only; the chart must outlive it.
class IndicatorDialog : public QDialog {
    Q_OBJECT
public:
    IndicatorDialog(chart::Chart& chart, int window_index, int indicator_index, QWidget* parent = nullptr);

    // False when the indicator no longer exists.
    bool apply();

    QSpinBox* period_box() const { return period_; }   // null for classes without a period
    QComboBox* style_box() const { return style_; }
    QSpinBox* width_box() const { return width_; }
    QLineEdit* levels_box() const { return levels_; }
    QCheckBox* timeframe_box(int bit) const { return timeframes_[static_cast<size_t>(bit)]; }
    chart::Colour colour() const { return colour_; }
    void set_colour(chart::Colour colour);

private:
    void choose_colour();

    chart::Chart& chart_;
    int window_;
    int index_;
    chart::Colour colour_ = 0;
    QSpinBox* period_ = nullptr;
    QPushButton* colour_button_ = nullptr;
    QComboBox* style_ = nullptr;
    QSpinBox* width_ = nullptr;
    QLineEdit* levels_ = nullptr;
    std::vector<chart::IndicatorLevel> old_levels_;
    std::array<QCheckBox*, 9> timeframes_{};
};

}  // namespace kb::ui
