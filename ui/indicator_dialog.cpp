#include "ui/indicator_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QGridLayout>
#include <QPushButton>
#include <QSpinBox>
#include <memory>

#include "chart/catalogue/indicator_factory.h"
#include "chart/model/chart.h"
#include "core/number_format.h"
#include "core/period_names.h"
#include "ui/painter/qpainter_canvas.h"

namespace kb::ui {

namespace {

constexpr int kTimeframes[] = {1, 5, 15, 30, 60, 240, 1440, 10080, 43200};
constexpr const char* kStyles[] = {"Solid", "Dash", "Dot", "Dash Dot", "Dash Dot Dot"};
constexpr int kMaxWidth = 5;

// Whether the class shows its period in its label, i.e. has a period to set.
bool has_period(std::string_view name) {
    std::unique_ptr<chart::CInd> probe = chart::create_indicator(name);
    if (!probe) return false;
    probe->set_period(2);
    const std::string two = probe->build_label();
    probe->set_period(3);
    return probe->build_label() != two;
}

}  // namespace

IndicatorDialog::IndicatorDialog(chart::Chart& chart, int window_index, int indicator_index, QWidget* parent)
    : QDialog(parent), chart_(chart), window_(window_index), index_(indicator_index) {
    std::string name;
    chart::LineStyle line;
    int period = 0;
    int32_t flags = 0;
    int window = 0;
    chart.for_each_window([&](const chart::ChartWindow& each) {
        if (window++ != window_index) return;
        if (const chart::CInd* indicator = each.indicator(static_cast<size_t>(indicator_index))) {
            name = indicator->registry_name();
            line = indicator->line_style(0);
            period = indicator->period();
            flags = indicator->period_flags();
            old_levels_.assign(indicator->levels().begin(), indicator->levels().end());
        }
    });
    setWindowTitle(QString::fromStdString(name));
    auto* form = new QFormLayout;
    if (!name.empty() && has_period(name)) {
        period_ = new QSpinBox;
        period_->setRange(1, chart::kMaxPeriod);
        period_->setValue(period);
        form->addRow("Period:", period_);
    }
    colour_button_ = new QPushButton;
    connect(colour_button_, &QPushButton::clicked, this, &IndicatorDialog::choose_colour);
    set_colour(static_cast<chart::Colour>(line.color));
    form->addRow("Color:", colour_button_);
    style_ = new QComboBox;
    for (const char* style : kStyles) style_->addItem(style);
    style_->setCurrentIndex(std::clamp(line.style, 0, static_cast<int>(std::size(kStyles)) - 1));
    form->addRow("Style:", style_);
    width_ = new QSpinBox;
    width_->setRange(1, kMaxWidth);
    width_->setValue(std::clamp(line.weight, 1, kMaxWidth));
    form->addRow("Width:", width_);
    QStringList level_texts;
    for (const chart::IndicatorLevel& level : old_levels_)
        level_texts << QString::fromStdString(core::trimmed_number_text(level.value, 4));
    levels_ = new QLineEdit(level_texts.join(' '));
    form->addRow("Levels:", levels_);
    auto* grid = new QGridLayout;
    for (size_t bit = 0; bit < timeframes_.size(); ++bit) {
        timeframes_[bit] = new QCheckBox(QString::fromStdString(core::period_name(kTimeframes[bit])));
        timeframes_[bit]->setChecked((flags >> bit) & 1);
        grid->addWidget(timeframes_[bit], static_cast<int>(bit / 3), static_cast<int>(bit % 3));
    }
    form->addRow("Timeframes:", grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

void IndicatorDialog::set_colour(chart::Colour colour) {
    colour_ = colour & 0xFFFFFF;
    colour_button_->setStyleSheet(QString("background-color: %1").arg(to_qcolor(colour_).name()));
}

void IndicatorDialog::choose_colour() {
    const QColor chosen = QColorDialog::getColor(to_qcolor(colour_), this);
    if (!chosen.isValid()) return;
    set_colour(static_cast<chart::Colour>(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16)));
}

bool IndicatorDialog::apply() {
    const int period = period_ ? period_->value() : 0;
    const chart::LineStyle line{static_cast<int32_t>(colour_), style_->currentIndex(), width_->value()};
    int32_t flags = 0;
    for (size_t bit = 0; bit < timeframes_.size(); ++bit)
        if (timeframes_[bit]->isChecked()) flags |= 1 << bit;
    std::vector<chart::IndicatorLevel> levels;
    QString typed = levels_->text();
    typed.replace(',', '.');
    for (const QString& part : typed.split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts)) {
        bool number = false;
        const double value = part.toDouble(&number);
        if (!number) continue;   // not a number: left out
        chart::IndicatorLevel level{value, {}};
        if (levels.size() < old_levels_.size()) level.description = old_levels_[levels.size()].description;
        levels.push_back(level);
    }
    return chart_.edit_indicator(window_, index_, [&](chart::CInd& indicator) {
        if (period > 0) indicator.set_period(period);
        indicator.set_levels(levels);
        indicator.set_line_style(0, line);
        indicator.set_period_flags(flags);
    });
}

}  // namespace kb::ui
