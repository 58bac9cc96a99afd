#include "ui/window_snapshot.h"

#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

namespace kb::ui {

namespace {
// Long enough for the first layout and paint of a freshly shown window.
constexpr int kFirstSnapshotDelayMs = 300;
}  // namespace

WindowSnapshot::WindowSnapshot(QWidget& window, QString path, int interval_s, QObject* parent)
    : QObject(parent), window_(window), path_(std::move(path)) {
    connect(&timer_, &QTimer::timeout, this, &WindowSnapshot::save);
    timer_.start(interval_s * 1000);
    QTimer::singleShot(kFirstSnapshotDelayMs, this, &WindowSnapshot::save);
}

bool WindowSnapshot::save() {
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!window_.grab().save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace kb::ui
