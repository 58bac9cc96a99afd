#include "ui/login_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "core/notifications.h"
#include "ui/login_choice.h"

namespace kb::ui {

namespace {

QString probe_state_text(int32_t state) {
    switch (state) {
        case config::kProbeReachable: return "reachable";
        case config::kProbeUnreachable: return "unreachable";
        default: return "not measured";
    }
}

QString probe_time_text(int32_t time_ms) {
    if (time_ms == config::kNeverMeasuredMs) return QString();
    if (time_ms >= config::kFailedMs) return "failed";
    return QString("%1 ms").arg(time_ms);
}

}  // namespace

LoginDialog::LoginDialog(core::Terminal& terminal, QWidget* parent) : QDialog(parent), terminal_(terminal) {
    setWindowTitle("Login");
    login_ = new QComboBox;
    login_->setEditable(true);
    password_ = new QLineEdit;
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(kMaxPasswordLength);
    server_ = new QComboBox;
    server_->setEditable(true);
    access_points_ = new QTreeWidget;
    access_points_->setHeaderLabels({"Access point", "State", "Time"});
    access_points_->setRootIsDecorated(false);
    access_points_->header()->setStretchLastSection(false);
    access_points_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    keep_ = new QCheckBox("Keep personal data");
    error_ = new QLabel;
    error_->setWordWrap(true);
    error_->hide();

    auto* form = new QFormLayout;
    form->addRow("Login:", login_);
    form->addRow("Password:", password_);
    form->addRow("Server:", server_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LoginDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(access_points_);
    layout->addWidget(keep_);
    layout->addWidget(error_);
    layout->addWidget(buttons);

    connect(server_, &QComboBox::currentTextChanged, this, &LoginDialog::show_access_points);
    offer_saved_accounts_and_servers();
    fill_from_current_account();
    show_access_points(server_->currentText());
    // Only a login chosen from the list fills the other fields; typing one doesn't.
    connect(login_, &QComboBox::activated, this, [this](int index) { fill_from_saved_account(login_->itemText(index)); });
}

void LoginDialog::offer_saved_accounts_and_servers() {
    core::Services& services = terminal_.services();
    if (config::AccountsBase* accounts = services.accounts_base.get()) {
        for (size_t i = 0; i < accounts->size(); ++i)
            if (std::optional<config::AccountSnapshot> account = accounts->at(i))
                login_->addItem(QString::number(account->login));
    }
    if (config::ServerList* servers = services.server_list.get()) {
        for (size_t i = 0; i < servers->size(); ++i)
            if (std::optional<config::ServerEntry> entry = servers->copy_at(i))
                server_->addItem(QString::fromStdString(std::string(entry->name())));
    }
}

void LoginDialog::show_access_points(const QString& server) {
    access_points_->clear();
    config::ServerList* servers = terminal_.services().server_list.get();
    std::optional<config::ServerEntry> entry =
        servers ? servers->find_copy(server.trimmed().toStdString()) : std::nullopt;
    if (!entry) return;
    for (const config::AccessPointRecord& point : entry->access_points) {
        const std::string_view address = config::address_of(point);
        access_points_->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())),
             probe_state_text(point.probe_state), probe_time_text(point.time_ms)}));
    }
}

QString LoginDialog::error_text() const { return error_->isHidden() ? QString() : error_->text(); }

void LoginDialog::fill_from_current_account() {
    if (!terminal_.services().terminal_config) return;
    const LoginChoice current = current_login_choice(*terminal_.services().terminal_config);
    login_->setEditText(current.login > 0 ? QString::number(current.login) : QString());
    password_->setText(QString::fromStdString(current.password));
    server_->setEditText(QString::fromStdString(current.server));
    keep_->setChecked(current.keep_personal_data);
}

void LoginDialog::fill_from_saved_account(const QString& login_text) {
    config::AccountsBase* accounts = terminal_.services().accounts_base.get();
    bool ok = false;
    int32_t login = login_text.toInt(&ok);
    if (!accounts || !ok) return;
    if (std::optional<LoginChoice> saved = saved_login_choice(*accounts, login, keep_->isChecked())) {
        password_->setText(QString::fromStdString(saved->password));
        server_->setEditText(QString::fromStdString(saved->server));
    }
}

void LoginDialog::accept() {
    core::Services& services = terminal_.services();
    std::string error;
    LoginChoice choice;
    choice.login = login_->currentText().trimmed().toInt();   // 0 for anything but a number
    choice.password = password_->text().toStdString();
    choice.server = server_->currentText().trimmed().toStdString();
    choice.keep_personal_data = keep_->isChecked();
    if (!services.terminal_config || !services.server_list) {
        error = "the configuration could not be loaded";
    } else {
        apply_login_choice(*services.terminal_config, *services.server_list, choice, error);
    }
    if (!error.empty()) {
        error_->setText(QString::fromStdString("Can't log in: " + error));
        error_->show();
        return;
    }
    error_->hide();
    emit login_chosen();
    terminal_.notify(core::Notification::Reconnect, 0);
    QDialog::accept();
}

}  // namespace kb::ui
