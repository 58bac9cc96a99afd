#pragma once
#include <QDialog>
#include <string>

class QTreeWidget;
class QTreeWidgetItem;

namespace kb::market {
class SymbolsBase;
}

namespace kb::ui {

// The "Symbols" dialog of the market watch: the symbol groups with their symbols, each
// symbol checked while Market Watch shows it. Checking a symbol, or "Show" on it or its
// group, shows it; unchecking, or "Hide", hides it, which the symbols base refuses (and
// the check comes back) while an open trade or chart uses the symbol. The base must
// outlive the dialog. User-interface thread only.
class SymbolsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SymbolsDialog(market::SymbolsBase& base, QWidget* parent = nullptr);

    // True once a symbol was shown or hidden.
    bool changed() const { return changed_; }
    QTreeWidget* tree() const { return tree_; }
    // Shows or hides the current item's symbol, or every symbol of the current group.
    // Returns how many symbols changed.
    int show_current(bool shown);

private:
    void build();
    bool set_shown(const std::string& name, bool shown);
    // Checks the symbols that are shown now.
    void update_checks();

    market::SymbolsBase& base_;
    QTreeWidget* tree_ = nullptr;
    bool changed_ = false;
    bool updating_ = false;
};

}  // namespace kb::ui
