#include "ui/object_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <vector>

#include "chart/model/chart.h"
#include "chart/objects/fibo.h"
#include "core/number_format.h"
#include "core/settings_store.h"

namespace kb::ui {

namespace {

enum LevelColumn { kValueColumn = 0, kDescriptionColumn = 1 };

int32_t value_of(const chart::CObj& object, chart::ObjectProperty which) { return object.property(which).value_or(0); }

QCheckBox* flag_box(const char* text, int32_t value) {
    auto* box = new QCheckBox(text);
    box->setChecked(value != 0);
    return box;
}

}  // namespace

ObjectDialog* ObjectDialog::open_for(chart::Chart& chart, int32_t counter, core::SettingsStore& store,
                                     QWidget* parent) {
    std::unique_ptr<chart::CObj> copy = chart.object_copy(counter);
    if (!copy) return nullptr;
    return new ObjectDialog(chart, std::move(copy), store, parent);
}

ObjectDialog::ObjectDialog(chart::Chart& chart, std::unique_ptr<chart::CObj> object, core::SettingsStore& store,
                           QWidget* parent)
    : QDialog(parent),
      chart_(chart),
      object_(std::move(object)),
      store_(store),
      timeframes_(value_of(*object_, chart::ObjectProperty::PeriodFlags)) {
    using chart::ObjectProperty;
    setWindowTitle(QString::fromStdString(std::string(object_->name())));
    auto* form = new QFormLayout;
    colour_ = new ColourButton(static_cast<chart::Colour>(value_of(*object_, ObjectProperty::Color)));
    form->addRow("Color:", colour_);
    style_ = make_style_box(value_of(*object_, ObjectProperty::Style));
    form->addRow("Style:", style_);
    width_ = make_width_box(value_of(*object_, ObjectProperty::Weight));
    form->addRow("Width:", width_);
    background_ = flag_box("Draw as background", value_of(*object_, ObjectProperty::Background));
    form->addRow(background_);
    if (object_->type() == chart::ObjectType::Trendline) {
        ray_ = flag_box("Ray", value_of(*object_, ObjectProperty::Ray));
        form->addRow(ray_);
    }
    if (object_->type() == chart::ObjectType::Fibo) build_levels_page(*form);
    else {
        default_ = new QCheckBox("Use as default");
        form->addRow(default_);
    }
    form->addRow("Timeframes:", timeframes_.layout());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

void ObjectDialog::build_levels_page(QFormLayout& form) {
    using chart::ObjectProperty;
    const auto& fibo = static_cast<const chart::Fibo&>(*object_);
    levels_colour_ = new ColourButton(static_cast<chart::Colour>(value_of(fibo, ObjectProperty::Color2)));
    form.addRow("Levels color:", levels_colour_);
    levels_style_ = make_style_box(value_of(fibo, ObjectProperty::Style2));
    form.addRow("Levels style:", levels_style_);
    levels_width_ = make_width_box(value_of(fibo, ObjectProperty::Weight2));
    form.addRow("Levels width:", levels_width_);
    levels_ray_ = flag_box("Levels ray", value_of(fibo, ObjectProperty::LevelsRay));
    form.addRow(levels_ray_);
    levels_ = new QTableWidget(0, 2);
    levels_->setHorizontalHeaderLabels({"Level", "Description"});
    levels_->horizontalHeader()->setStretchLastSection(true);
    levels_->verticalHeader()->hide();
    for (const chart::FiboLevel& level : fibo.levels()) {
        levels_->insertRow(levels_->rowCount());
        set_level_row(levels_->rowCount() - 1, level.value, level.description);
    }
    form.addRow(levels_);
    auto* row_buttons = new QHBoxLayout;
    auto* add = new QPushButton("Add");
    auto* remove = new QPushButton("Delete");
    connect(add, &QPushButton::clicked, this, &ObjectDialog::add_level_row);
    connect(remove, &QPushButton::clicked, this, &ObjectDialog::remove_level_row);
    row_buttons->addWidget(add);
    row_buttons->addWidget(remove);
    form.addRow(row_buttons);
}

void ObjectDialog::set_level_row(int row, double value, const std::string& description) {
    levels_->setItem(row, kValueColumn, new QTableWidgetItem(QString::fromStdString(core::trimmed_number_text(value, 6))));
    levels_->setItem(row, kDescriptionColumn, new QTableWidgetItem(QString::fromStdString(description)));
}

void ObjectDialog::add_level_row() {
    if (!levels_ || levels_->rowCount() >= chart::kMaxFiboLevels) return;
    levels_->insertRow(levels_->rowCount());
    set_level_row(levels_->rowCount() - 1, 0.0, "");
}

void ObjectDialog::remove_level_row() {
    if (!levels_ || levels_->currentRow() < 0) return;
    levels_->removeRow(levels_->currentRow());
}

bool ObjectDialog::apply() {
    using chart::ObjectProperty;
    object_->set_property(ObjectProperty::Color, static_cast<int32_t>(colour_->colour()));
    object_->set_property(ObjectProperty::Style, style_->currentIndex());
    object_->set_property(ObjectProperty::Weight, width_->value());
    object_->set_property(ObjectProperty::Background, background_->isChecked() ? 1 : 0);
    object_->set_property(ObjectProperty::PeriodFlags, timeframes_.flags());
    if (ray_) object_->set_property(ObjectProperty::Ray, ray_->isChecked() ? 1 : 0);
    if (levels_) {
        auto& fibo = static_cast<chart::Fibo&>(*object_);
        fibo.set_property(ObjectProperty::Color2, static_cast<int32_t>(levels_colour_->colour()));
        fibo.set_property(ObjectProperty::Style2, levels_style_->currentIndex());
        fibo.set_property(ObjectProperty::Weight2, levels_width_->value());
        fibo.set_property(ObjectProperty::LevelsRay, levels_ray_->isChecked() ? 1 : 0);
        std::vector<chart::FiboLevel> levels;
        for (int row = 0; row < levels_->rowCount(); ++row) {
            const QTableWidgetItem* value_item = levels_->item(row, kValueColumn);
            const QTableWidgetItem* description_item = levels_->item(row, kDescriptionColumn);
            QString text = value_item ? value_item->text().trimmed() : QString();
            text.replace(',', '.');
            bool number = false;
            const double value = text.toDouble(&number);
            if (!number) continue;   // not a number: the row is left out
            levels.push_back({value, description_item ? description_item->text().toStdString() : std::string()});
        }
        fibo.set_levels(levels);
    }
    if (!chart_.replace_object(*object_)) return false;
    if (levels_ || (default_ && default_->isChecked())) object_->store_defaults(store_);
    return true;
}

}  // namespace kb::ui
