#pragma once
#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/catalogue/indicator_parameters.h"
#include "chart/framework/indicator.h"
#include "chart/model/chart_settings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QWidget;

namespace kb::chart {
class Chart;
}

namespace kb::ui {

// The properties of one indicator: the class's parameters (its own keys with their ranges
// and choices), the colour (through the colour picker), style and width of each of its
// lines, its levels (value and description, added, edited and deleted, with their common
// colour, style and width) and fixed minimum and maximum where it draws in its own window,
// and the timeframes it shows on. The same dialog adds a new indicator (OK adds it to the
// chart) and edits one already there (OK hands the changes to the chart, which
// recalculates it); either way the chart writes its profile.
// User-interface thread only; the chart must outlive the dialog.
class IndicatorDialog : public QDialog {
    Q_OBJECT
public:
    enum class Purpose { Add, Edit };

    // Edits the n-th indicator of a window (the price series not counted); null when there
    // is no such indicator.
    static IndicatorDialog* for_indicator(chart::Chart& chart, int window_index, int indicator_index,
                                          QWidget* parent = nullptr);
    // Adds a new indicator of indicator's class, starting from its entries (the user's
    // defaults), to the main window or a new sub-window by its kind, or, for a class that
    // can work on another indicator's data, to the sub-window chosen. indicator is only read.
    IndicatorDialog(chart::Chart& chart, const chart::CInd& indicator, QWidget* parent = nullptr);

    // Checks the entries and hands them to the chart. False, with error_text() saying why
    // and nothing changed, when an entry is out of range, the indicator is gone, or the
    // chart refused to add an equal one.
    bool apply();
    QString error_text() const;
    Purpose purpose() const { return purpose_; }
    const std::string& indicator_name() const { return name_; }

    // ---- the widgets, for tests ----
    // The entry of a parameter by its profile key ("period", "apply", ...): a QSpinBox,
    // QDoubleSpinBox or QComboBox; null when the class has no such parameter.
    QWidget* parameter_widget(std::string_view key) const;
    // Add only: where the indicator goes (item data: the window index, -1 a new one).
    QComboBox* window_box() const { return window_box_; }
    int line_count() const { return static_cast<int>(lines_.size()); }
    QPushButton* line_colour_button(int line) const { return lines_.at(static_cast<size_t>(line)).colour; }
    QComboBox* line_style_box(int line) const { return lines_.at(static_cast<size_t>(line)).style; }
    QSpinBox* line_width_box(int line) const { return lines_.at(static_cast<size_t>(line)).width; }
    chart::Colour line_colour(int line) const { return lines_.at(static_cast<size_t>(line)).value; }
    void set_line_colour(int line, chart::Colour colour);
    // Null for indicators drawn over the prices (no levels, no fixed range there).
    QTableWidget* levels_table() const { return levels_; }
    QPushButton* add_level_button() const { return add_level_; }
    QPushButton* delete_level_button() const { return delete_level_; }
    QPushButton* level_colour_button() const { return level_line_.colour; }
    QComboBox* level_style_box() const { return level_line_.style; }
    QSpinBox* level_width_box() const { return level_line_.width; }
    chart::Colour level_colour() const { return level_line_.value; }
    QCheckBox* minimum_check() const { return minimum_check_; }
    QDoubleSpinBox* minimum_box() const { return minimum_; }
    QCheckBox* maximum_check() const { return maximum_check_; }
    QDoubleSpinBox* maximum_box() const { return maximum_; }
    QCheckBox* timeframe_box(int bit) const { return timeframes_[static_cast<size_t>(bit)]; }

private:
    // The entries of one line style.
    struct LineEntries {
        QPushButton* colour = nullptr;
        QComboBox* style = nullptr;   // null when the lines have no style
        QSpinBox* width = nullptr;
        chart::Colour value = 0;
    };
    struct ParameterEntry {
        chart::ParameterSpec shape;
        QWidget* widget = nullptr;
    };

    IndicatorDialog(chart::Chart& chart, Purpose purpose, int window_index, int indicator_index, QWidget* parent);
    void build(const chart::CInd& indicator);
    QWidget* build_window_choice(const chart::CInd& indicator);
    QWidget* build_parameters(const chart::CInd& indicator);
    QWidget* build_lines(const chart::CInd& indicator);
    QWidget* build_levels(const chart::CInd& indicator);
    QWidget* build_timeframes(const chart::CInd& indicator);
    LineEntries line_entries(chart::LineStyle style, bool with_style);
    void show_colour(QPushButton* button, chart::Colour colour);
    void choose_colour(LineEntries& entries);
    void add_level();
    void delete_level();
    // Fills the indicator from the entries; false with the reason when one is invalid.
    bool read_entries(QString& error);
    void write_to(chart::CInd& indicator) const;

    chart::Chart& chart_;
    Purpose purpose_;
    int window_;
    int index_;
    std::string name_;
    std::unique_ptr<chart::CInd> probe_;   // a new one of the class: its parameters' choices

    QComboBox* window_box_ = nullptr;
    std::vector<ParameterEntry> parameters_;
    std::vector<LineEntries> lines_;
    LineEntries level_line_;
    QTableWidget* levels_ = nullptr;
    QPushButton* add_level_ = nullptr;
    QPushButton* delete_level_ = nullptr;
    QCheckBox* minimum_check_ = nullptr;
    QDoubleSpinBox* minimum_ = nullptr;
    QCheckBox* maximum_check_ = nullptr;
    QDoubleSpinBox* maximum_ = nullptr;
    std::array<QCheckBox*, 9> timeframes_{};
    QLabel* error_ = nullptr;

    // What read_entries() collected for write_to().
    std::vector<chart::ParameterValue> parameter_values_;
    std::vector<chart::LineStyle> line_values_;
    std::vector<chart::IndicatorLevel> level_values_;
    std::optional<double> minimum_value_;
    std::optional<double> maximum_value_;
    int32_t flags_value_ = 0;
};

}  // namespace kb::ui
