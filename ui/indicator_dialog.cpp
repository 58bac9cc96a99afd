#include "ui/indicator_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart/catalogue/indicator_factory.h"
#include "chart/framework/period_flags.h"
#include "chart/model/chart.h"
#include "core/number_format.h"
#include "ui/painter/qpainter_canvas.h"

namespace kb::ui {

namespace {

constexpr const char* kStyles[] = {"Solid", "Dash", "Dot", "Dash Dot", "Dash Dot Dot"};
constexpr int kMaxWidth = 5;
constexpr double kBoundLimit = 1e9;   // fixed minimum and maximum entries
constexpr int kBoundDecimals = 6;     // as the profile keeps them
constexpr int kLevelValueColumn = 0;
constexpr int kLevelDescriptionColumn = 1;

// A level value as typed: a decimal number, with "," accepted for ".".
std::optional<double> level_value(QString text) {
    text = text.trimmed().replace(',', '.');
    bool number = false;
    const double value = text.toDouble(&number);
    if (!number || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

IndicatorDialog* IndicatorDialog::for_indicator(chart::Chart& chart, int window_index, int indicator_index,
                                                QWidget* parent) {
    if (window_index < 0 || indicator_index < 0) return nullptr;
    IndicatorDialog* dialog = nullptr;
    int window = 0;
    chart.for_each_window([&](const chart::ChartWindow& each) {
        if (window++ != window_index) return;
        const chart::CInd* indicator = each.indicator(static_cast<size_t>(indicator_index));
        if (!indicator) return;
        dialog = new IndicatorDialog(chart, Purpose::Edit, window_index, indicator_index, parent);
        dialog->build(*indicator);
    });
    return dialog;
}

IndicatorDialog::IndicatorDialog(chart::Chart& chart, const chart::CInd& indicator, QWidget* parent)
    : IndicatorDialog(chart, Purpose::Add, -1, -1, parent) {
    build(indicator);
}

IndicatorDialog::IndicatorDialog(chart::Chart& chart, Purpose purpose, int window_index, int indicator_index,
                                 QWidget* parent)
    : QDialog(parent), chart_(chart), purpose_(purpose), window_(window_index), index_(indicator_index) {}

void IndicatorDialog::build(const chart::CInd& indicator) {
    name_ = std::string(indicator.registry_name());
    probe_ = chart::create_indicator(name_);
    setWindowTitle(QString::fromStdString(name_));
    auto* layout = new QVBoxLayout(this);
    if (purpose_ == Purpose::Add) {
        auto* form = new QFormLayout;
        form->addRow("Window:", build_window_choice(indicator));
        layout->addLayout(form);
    }
    if (QWidget* parameters = build_parameters(indicator)) layout->addWidget(parameters);
    layout->addWidget(build_lines(indicator));
    if (indicator.window_kind() == chart::WindowKind::Own) layout->addWidget(build_levels(indicator));
    layout->addWidget(build_timeframes(indicator));
    error_ = new QLabel;
    error_->setStyleSheet("color: red");
    error_->hide();
    layout->addWidget(error_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QWidget* IndicatorDialog::build_window_choice(const chart::CInd& indicator) {
    window_box_ = new QComboBox;
    const bool over_prices = indicator.window_kind() == chart::WindowKind::Main;
    if (over_prices) window_box_->addItem("Main window", 0);
    // An indicator drawn over the prices leaves them only to work on another's data.
    if (!over_prices || indicator.accepts_data_input()) window_box_->addItem("New window", -1);
    if (indicator.accepts_data_input()) {
        int index = 0;
        chart_.for_each_window([&](const chart::ChartWindow& window) {
            const int this_index = index++;
            if (window.is_main()) return;
            QStringList labels;
            for (size_t i = 0; i < window.indicator_count(); ++i)
                labels << QString::fromStdString(window.indicator(i)->label());
            window_box_->addItem(QString("Window %1: %2").arg(this_index).arg(labels.join(", ")), this_index);
        });
    }
    window_box_->setEnabled(window_box_->count() > 1);
    return window_box_;
}

QWidget* IndicatorDialog::build_parameters(const chart::CInd& indicator) {
    const std::vector<chart::ParameterValue> values = chart::indicator_parameters(indicator);
    if (values.empty()) return nullptr;
    auto* box = new QGroupBox("Parameters");
    auto* form = new QFormLayout(box);
    for (const chart::ParameterValue& value : values) {
        QWidget* widget = nullptr;
        switch (value.shape.kind) {
        case chart::ParameterKind::Integer: {
            auto* spin = new QSpinBox;
            spin->setRange(static_cast<int>(value.shape.minimum), static_cast<int>(value.shape.maximum));
            spin->setValue(static_cast<int>(std::lround(value.value)));
            widget = spin;
            break;
        }
        case chart::ParameterKind::Decimal: {
            auto* spin = new QDoubleSpinBox;
            spin->setDecimals(value.shape.decimals);
            spin->setRange(value.shape.minimum, value.shape.maximum);
            spin->setSingleStep(std::pow(10.0, -value.shape.decimals));
            spin->setValue(value.value);
            widget = spin;
            break;
        }
        case chart::ParameterKind::Method:
        case chart::ParameterKind::AppliedPrice:
        case chart::ParameterKind::PriceField: {
            auto* combo = new QComboBox;
            for (const chart::ParameterChoice& choice : chart::parameter_choices(indicator, value.shape.kind))
                combo->addItem(QString::fromUtf8(choice.text.data(), static_cast<int>(choice.text.size())), choice.value);
            combo->setCurrentIndex(std::max(0, combo->findData(static_cast<int>(std::lround(value.value)))));
            widget = combo;
            break;
        }
        }
        form->addRow(QString::fromUtf8(value.shape.caption.data(), static_cast<int>(value.shape.caption.size())), widget);
        parameters_.push_back({value.shape, widget});
    }
    return box;
}

IndicatorDialog::LineEntries IndicatorDialog::line_entries(chart::LineStyle style, bool with_style) {
    LineEntries entries;
    entries.colour = new QPushButton;
    entries.colour->setMinimumWidth(48);
    entries.value = static_cast<chart::Colour>(style.color) & 0xFFFFFF;
    show_colour(entries.colour, entries.value);
    if (with_style) {
        entries.style = new QComboBox;
        for (const char* name : kStyles) entries.style->addItem(name);
        entries.style->setCurrentIndex(std::clamp(style.style, 0, static_cast<int>(std::size(kStyles)) - 1));
    }
    entries.width = new QSpinBox;
    entries.width->setRange(1, kMaxWidth);
    entries.width->setValue(std::clamp(style.weight, 1, kMaxWidth));
    return entries;
}

QWidget* IndicatorDialog::build_lines(const chart::CInd& indicator) {
    auto* box = new QGroupBox("Lines");
    auto* grid = new QGridLayout(box);
    const std::vector<std::string_view> captions = chart::line_captions(indicator);
    const bool with_style = chart::lines_have_style(indicator);
    lines_.reserve(captions.size());
    for (size_t line = 0; line < captions.size(); ++line) {
        lines_.push_back(line_entries(indicator.line_style(static_cast<int>(line)), with_style));
        const int row = static_cast<int>(line);
        grid->addWidget(new QLabel(QString::fromUtf8(captions[line].data(), static_cast<int>(captions[line].size()))), row, 0);
        grid->addWidget(lines_.back().colour, row, 1);
        if (lines_.back().style) grid->addWidget(lines_.back().style, row, 2);
        grid->addWidget(lines_.back().width, row, 3);
    }
    for (size_t line = 0; line < lines_.size(); ++line)
        connect(lines_[line].colour, &QPushButton::clicked, this, [this, line] { choose_colour(lines_[line]); });
    return box;
}

QWidget* IndicatorDialog::build_levels(const chart::CInd& indicator) {
    auto* box = new QGroupBox("Levels");
    auto* layout = new QVBoxLayout(box);
    levels_ = new QTableWidget(0, 2);
    levels_->setHorizontalHeaderLabels({"Value", "Description"});
    levels_->horizontalHeader()->setStretchLastSection(true);
    levels_->verticalHeader()->hide();
    levels_->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const chart::IndicatorLevel& level : indicator.levels()) {
        const int row = levels_->rowCount();
        levels_->insertRow(row);
        levels_->setItem(row, kLevelValueColumn,
                         new QTableWidgetItem(QString::fromStdString(core::trimmed_number_text(level.value, 4))));
        levels_->setItem(row, kLevelDescriptionColumn, new QTableWidgetItem(QString::fromStdString(level.description)));
    }
    layout->addWidget(levels_);
    auto* buttons = new QHBoxLayout;
    add_level_ = new QPushButton("Add");
    delete_level_ = new QPushButton("Delete");
    connect(add_level_, &QPushButton::clicked, this, &IndicatorDialog::add_level);
    connect(delete_level_, &QPushButton::clicked, this, &IndicatorDialog::delete_level);
    buttons->addWidget(add_level_);
    buttons->addWidget(delete_level_);
    level_line_ = line_entries(indicator.level_style(), true);
    connect(level_line_.colour, &QPushButton::clicked, this, [this] { choose_colour(level_line_); });
    buttons->addWidget(level_line_.colour);
    buttons->addWidget(level_line_.style);
    buttons->addWidget(level_line_.width);
    layout->addLayout(buttons);

    auto* bounds = new QFormLayout;
    const auto bound = [&](const char* text, std::optional<double> value, QCheckBox*& check, QDoubleSpinBox*& spin) {
        check = new QCheckBox(text);
        spin = new QDoubleSpinBox;
        spin->setDecimals(kBoundDecimals);
        spin->setRange(-kBoundLimit, kBoundLimit);
        check->setChecked(value.has_value());
        spin->setValue(value.value_or(0));
        spin->setEnabled(value.has_value());
        connect(check, &QCheckBox::toggled, spin, &QWidget::setEnabled);
        bounds->addRow(check, spin);
    };
    bound("Fixed minimum", indicator.fixed_minimum(), minimum_check_, minimum_);
    bound("Fixed maximum", indicator.fixed_maximum(), maximum_check_, maximum_);
    layout->addLayout(bounds);
    return box;
}

QWidget* IndicatorDialog::build_timeframes(const chart::CInd& indicator) {
    auto* box = new QGroupBox("Timeframes");
    auto* grid = new QGridLayout(box);
    for (size_t bit = 0; bit < timeframes_.size(); ++bit) {
        const chart::Timeframe& timeframe = chart::kTimeframes[bit];
        timeframes_[bit] = new QCheckBox(QString::fromUtf8(timeframe.name.data(), static_cast<int>(timeframe.name.size())));
        // Checked exactly where the indicator shows: 0 shows it everywhere, -1 nowhere.
        timeframes_[bit]->setChecked(indicator.visible_on(timeframe.minutes));
        grid->addWidget(timeframes_[bit], static_cast<int>(bit / 3), static_cast<int>(bit % 3));
    }
    return box;
}

void IndicatorDialog::show_colour(QPushButton* button, chart::Colour colour) {
    button->setStyleSheet(QString("background-color: %1").arg(to_qcolor(colour).name()));
}

void IndicatorDialog::set_line_colour(int line, chart::Colour colour) {
    LineEntries& entries = lines_.at(static_cast<size_t>(line));
    entries.value = colour & 0xFFFFFF;
    show_colour(entries.colour, entries.value);
}

void IndicatorDialog::choose_colour(LineEntries& entries) {
    const QColor chosen = QColorDialog::getColor(to_qcolor(entries.value), this);
    if (!chosen.isValid()) return;
    entries.value = static_cast<chart::Colour>(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
    show_colour(entries.colour, entries.value);
}

void IndicatorDialog::add_level() {
    if (!levels_ || levels_->rowCount() >= chart::kMaxLevels) return;
    const int row = levels_->rowCount();
    levels_->insertRow(row);
    levels_->setItem(row, kLevelValueColumn, new QTableWidgetItem("0"));
    levels_->setItem(row, kLevelDescriptionColumn, new QTableWidgetItem);
    levels_->setCurrentCell(row, kLevelValueColumn);
}

void IndicatorDialog::delete_level() {
    if (!levels_ || levels_->currentRow() < 0) return;
    levels_->removeRow(levels_->currentRow());
}

QString IndicatorDialog::error_text() const { return error_ && !error_->isHidden() ? error_->text() : QString(); }

bool IndicatorDialog::read_entries(QString& error) {
    parameter_values_.clear();
    for (const ParameterEntry& entry : parameters_) {
        chart::ParameterValue value{entry.shape, 0};
        if (auto* spin = qobject_cast<QSpinBox*>(entry.widget)) value.value = spin->value();
        else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(entry.widget)) value.value = decimal->value();
        else if (auto* combo = qobject_cast<QComboBox*>(entry.widget)) value.value = combo->currentData().toInt();
        if (!probe_ || !parameter_in_range(*probe_, value)) {
            error = QString("%1 is out of range").arg(QString::fromUtf8(entry.shape.caption.data(),
                                                                       static_cast<int>(entry.shape.caption.size())));
            return false;
        }
        parameter_values_.push_back(value);
    }

    line_values_.clear();
    for (const LineEntries& entries : lines_)
        line_values_.push_back({static_cast<int32_t>(entries.value), entries.style ? entries.style->currentIndex() : 0,
                                entries.width->value()});

    level_values_.clear();
    minimum_value_.reset();
    maximum_value_.reset();
    if (levels_) {
        for (int row = 0; row < levels_->rowCount(); ++row) {
            const QTableWidgetItem* value_item = levels_->item(row, kLevelValueColumn);
            const std::optional<double> value = level_value(value_item ? value_item->text() : QString());
            if (!value) {
                error = QString("Level %1 is not a number").arg(row + 1);
                return false;
            }
            const QTableWidgetItem* description = levels_->item(row, kLevelDescriptionColumn);
            level_values_.push_back({*value, description ? description->text().toStdString() : std::string()});
        }
        if (minimum_check_->isChecked()) minimum_value_ = minimum_->value();
        if (maximum_check_->isChecked()) maximum_value_ = maximum_->value();
        if (minimum_value_ && maximum_value_ && *minimum_value_ >= *maximum_value_) {
            error = "The fixed minimum must be below the fixed maximum";
            return false;
        }
    }

    flags_value_ = 0;
    for (size_t bit = 0; bit < timeframes_.size(); ++bit)
        if (timeframes_[bit]->isChecked()) flags_value_ |= 1 << bit;
    // No box checked hides it everywhere; 0 would show it on every timeframe.
    if (flags_value_ == 0) flags_value_ = chart::kNoPeriods;
    return true;
}

void IndicatorDialog::write_to(chart::CInd& indicator) const {
    chart::set_indicator_parameters(indicator, parameter_values_);
    for (size_t line = 0; line < line_values_.size(); ++line)
        indicator.set_line_style(static_cast<int>(line), line_values_[line]);
    if (levels_) {
        indicator.set_levels(level_values_);
        indicator.set_level_style({static_cast<int32_t>(level_line_.value), level_line_.style->currentIndex(),
                                   level_line_.width->value()});
        indicator.set_fixed_minimum(minimum_value_);
        indicator.set_fixed_maximum(maximum_value_);
    }
    indicator.set_period_flags(flags_value_);
    indicator.rebuild_label();
}

bool IndicatorDialog::apply() {
    QString error;
    bool applied = read_entries(error);
    if (applied && purpose_ == Purpose::Edit) {
        applied = chart_.edit_indicator(window_, index_, [this](chart::CInd& indicator) { write_to(indicator); });
        if (!applied) error = "The indicator is no longer on the chart";
    } else if (applied) {
        std::unique_ptr<chart::CInd> added = chart::create_indicator(name_);
        if (added) write_to(*added);
        const int window = window_box_->currentData().toInt();
        applied = added && chart_.add_indicator(std::move(added), window);
        if (!applied) error = "The chart already shows this indicator with these parameters";
    }
    error_->setText(error);
    error_->setVisible(!applied);
    return applied;
}

QWidget* IndicatorDialog::parameter_widget(std::string_view key) const {
    for (const ParameterEntry& entry : parameters_)
        if (entry.shape.key == key) return entry.widget;
    return nullptr;
}

}  // namespace kb::ui
