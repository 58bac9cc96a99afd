#pragma once
#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>

#include "chart/objects/chart_object.h"
#include "ui/line_look_widgets.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QSpinBox;
class QTableWidget;

namespace kb::core {
class SettingsStore;
}
namespace kb::chart {
class Chart;
}

namespace kb::ui {

// The properties of one chart object: colour (through the colour picker), style, width,
// background, the trendline's ray, the timeframes it shows on, and for a Fibonacci
// retracement the look of its level lines, their ray and the levels with their
// descriptions. It edits a copy; apply() puts the copy back on the chart's object, which
// writes the profile, and writes the look to the settings store's "Objects" values as the
// default for new objects: always for a Fibonacci retracement, for the others when
// "Use as default" is ticked.
// User-interface thread only; the chart and the store must outlive the dialog.
class ObjectDialog : public QDialog {
    Q_OBJECT
public:
    // Null when the chart has no object with that counter.
    static ObjectDialog* open_for(chart::Chart& chart, int32_t counter, core::SettingsStore& store, QWidget* parent);

    // Applies the edits; false when the object is gone from the chart.
    bool apply();

    ColourButton* colour_button() const { return colour_; }
    QComboBox* style_box() const { return style_; }
    QSpinBox* width_box() const { return width_; }
    QCheckBox* background_box() const { return background_; }
    QCheckBox* ray_box() const { return ray_; }               // trendlines only, else null
    QCheckBox* default_box() const { return default_; }       // null for Fibonacci retracements
    QCheckBox* timeframe_box(int bit) const { return timeframes_.box(bit); }
    // Fibonacci retracements only, else null: the level lines' look and the levels, one row
    // each with the value (0.618 is 61.8%) and the description.
    ColourButton* levels_colour_button() const { return levels_colour_; }
    QComboBox* levels_style_box() const { return levels_style_; }
    QSpinBox* levels_width_box() const { return levels_width_; }
    QCheckBox* levels_ray_box() const { return levels_ray_; }
    QTableWidget* levels_table() const { return levels_; }
    // Adds an empty level row at the end (up to 32) / removes the selected one.
    void add_level_row();
    void remove_level_row();

private:
    ObjectDialog(chart::Chart& chart, std::unique_ptr<chart::CObj> object, core::SettingsStore& store,
                 QWidget* parent);
    void build_levels_page(QFormLayout& form);
    void set_level_row(int row, double value, const std::string& description);

    chart::Chart& chart_;
    std::unique_ptr<chart::CObj> object_;
    core::SettingsStore& store_;
    ColourButton* colour_ = nullptr;
    QComboBox* style_ = nullptr;
    QSpinBox* width_ = nullptr;
    QCheckBox* background_ = nullptr;
    QCheckBox* ray_ = nullptr;
    QCheckBox* default_ = nullptr;
    TimeframeBoxes timeframes_;
    ColourButton* levels_colour_ = nullptr;
    QComboBox* levels_style_ = nullptr;
    QSpinBox* levels_width_ = nullptr;
    QCheckBox* levels_ray_ = nullptr;
    QTableWidget* levels_ = nullptr;
};

}  // namespace kb::ui
