#pragma once
#include <QDialog>

#include "core/terminal.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace kb::ui {

// The login dialog: login (saved accounts offered), password, server (the server list
// offered, or typed in as "host[:port]"), the chosen server's access points with their
// measured state and time in the order a connect tries them, and "Keep personal data".
// Opens with the
// current account; choosing a saved login fills its server and password. OK makes the
// choice the current account (apply_login_choice), emits login_chosen and posts code 21
// (reconnect); a choice that can't be used keeps the dialog open with the reason shown.
// User-interface thread only; the terminal must outlive the dialog.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(core::Terminal& terminal, QWidget* parent = nullptr);

    QComboBox* login_field() const { return login_; }
    QLineEdit* password_field() const { return password_; }
    QComboBox* server_field() const { return server_; }
    QCheckBox* keep_personal_data_field() const { return keep_; }
    // One row per access point of the server in the server field: address, state, time.
    QTreeWidget* access_points_list() const { return access_points_; }
    // The reason the last OK was refused; empty when none was.
    QString error_text() const;

    void accept() override;

signals:
    // The login record holds the chosen account; Reconnect is posted right after.
    void login_chosen();

private:
    void offer_saved_accounts_and_servers();
    void fill_from_current_account();
    void fill_from_saved_account(const QString& login_text);
    void show_access_points(const QString& server);

    core::Terminal& terminal_;
    QComboBox* login_ = nullptr;
    QLineEdit* password_ = nullptr;
    QComboBox* server_ = nullptr;
    QTreeWidget* access_points_ = nullptr;
    QCheckBox* keep_ = nullptr;
    QLabel* error_ = nullptr;
};

}  // namespace kb::ui
