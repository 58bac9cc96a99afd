#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace kb::ui {

// Keeps a PNG picture of a window up to date, so the program can be watched without a
// display. Each picture replaces the previous one atomically. User-interface thread.
class WindowSnapshot : public QObject {
    Q_OBJECT
public:
    // Takes the first picture shortly after the event loop starts, then one every
    // interval_s seconds. The window must outlive this object.
    WindowSnapshot(QWidget& window, QString path, int interval_s, QObject* parent = nullptr);

    // Grabs the window now; false when the file can't be written.
    bool save();

private:
    QWidget& window_;
    QString path_;
    QTimer timer_;
};

}  // namespace kb::ui
