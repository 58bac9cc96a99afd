#include "ui/symbols_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

#include "core/fixed_text.h"
#include "market/symbols_base.h"

namespace kb::ui {

namespace {

// The symbol name travels in the item's data; group items have none.
constexpr int kSymbolRole = Qt::UserRole;

std::string symbol_of(const QTreeWidgetItem* item) { return item->data(0, kSymbolRole).toString().toStdString(); }

}  // namespace

SymbolsDialog::SymbolsDialog(market::SymbolsBase& base, QWidget* parent) : QDialog(parent), base_(base) {
    setWindowTitle("Symbols");
    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(2);
    tree_->setHeaderHidden(true);
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* show = buttons->addButton("Show", QDialogButtonBox::ActionRole);
    QPushButton* hide = buttons->addButton("Hide", QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(show, &QPushButton::clicked, this, [this] { show_current(true); });
    connect(hide, &QPushButton::clicked, this, [this] { show_current(false); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_);
    layout->addWidget(buttons);
    build();
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (updating_ || column != 0 || symbol_of(item).empty()) return;
        set_shown(symbol_of(item), item->checkState(0) == Qt::Checked);
        update_checks();
    });
}

void SymbolsDialog::build() {
    std::array<QTreeWidgetItem*, market::kSymbolGroupCount> groups{};
    for (size_t position = 0;; ++position) {
        std::optional<market::SymbolRecord> symbol = base_.symbol_at(position);
        if (!symbol) break;
        const int group = symbol->group_index;
        if (group < 0 || group >= static_cast<int>(groups.size())) continue;
        QTreeWidgetItem*& group_item = groups[static_cast<size_t>(group)];
        if (!group_item) {
            group_item = new QTreeWidgetItem(tree_);
            group_item->setText(0, QString::fromStdString(std::string(core::field_text(base_.group_at(group).name))));
        }
        auto* item = new QTreeWidgetItem(group_item);
        const QString name = QString::fromStdString(std::string(core::field_text(symbol->name)));
        item->setText(0, name);
        item->setText(1, QString::fromStdString(std::string(core::field_text(symbol->description))));
        item->setData(0, kSymbolRole, name);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    tree_->expandAll();
    update_checks();
}

void SymbolsDialog::update_checks() {
    updating_ = true;
    for (int g = 0; g < tree_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree_->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem* item = group->child(i);
            std::optional<market::SelectedSymbol> entry = base_.selected_by_name(symbol_of(item));
            const bool shown = entry && entry->shown == static_cast<int32_t>(market::Shown::Yes);
            item->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
        }
    }
    updating_ = false;
}

bool SymbolsDialog::set_shown(const std::string& name, bool shown) {
    const bool done = shown ? base_.select(name, market::Shown::Yes, market::Save::Yes) : base_.hide_symbol(name);
    changed_ = changed_ || done;
    return done;
}

int SymbolsDialog::show_current(bool shown) {
    QTreeWidgetItem* current = tree_->currentItem();
    if (!current) return 0;
    int changed = 0;
    if (!symbol_of(current).empty()) {
        changed += set_shown(symbol_of(current), shown);
    } else {
        for (int i = 0; i < current->childCount(); ++i) changed += set_shown(symbol_of(current->child(i)), shown);
    }
    update_checks();
    return changed;
}

}  // namespace kb::ui
