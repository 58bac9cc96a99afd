#pragma once
#include <QLabel>
#include <QStringList>
#include <cstdint>

namespace kb::ui {

// Stands in for one tab's view until the real view replaces it: it says what the tab
// will show and already owns the notification entry points the main window routes to
// it. The real view implements each entry point; here each call is only noted in
// received(), so the routing can be checked. User-interface thread only.
class PlaceholderView : public QLabel {
    Q_OBJECT
public:
    PlaceholderView(const QString& name, const QString& description, QWidget* parent = nullptr);

    // The entry points called so far, oldest first, e.g. "refresh_market_watch" or
    // "forward 2 0" (code and value).
    const QStringList& received() const { return received_; }
    void clear_received() { received_.clear(); }

protected:
    void note(const QString& call) { received_.append(call); }

private:
    QStringList received_;
};

// Tab "News": the broker's news and the mailbox.
class NewsView : public PlaceholderView {
    Q_OBJECT
public:
    explicit NewsView(QWidget* parent = nullptr);
    // A news header arrived (News).
    void refresh_news() { note("refresh_news"); }
    // A mail message arrived: redraw the mail list and its reader (Mail).
    void refresh_mail() { note("refresh_mail"); }
    // Codes the mail view handles itself (33 from the mail composer).
    void forward_to_mail(int code, intptr_t value) { note(QString("forward_to_mail %1 %2").arg(code).arg(value)); }
};

}  // namespace kb::ui
