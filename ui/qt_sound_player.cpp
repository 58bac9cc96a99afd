#include "ui/qt_sound_player.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QSoundEffect>
#include <QUrl>

namespace kb::ui {

namespace {

// More distinct files than the sound table and the alerts use; beyond it the cache starts over.
constexpr size_t kMaxCachedEffects = 32;

}  // namespace

QtSoundPlayer::QtSoundPlayer(QObject* parent) : QObject(parent) {}

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::play_async(const std::string& path) {
    const QString file = QString::fromStdString(path);
    QMetaObject::invokeMethod(this, [this, file] { play_now(file); }, Qt::QueuedConnection);
}

void QtSoundPlayer::play_now(const QString& path) {
    if (!QFileInfo(path).isFile()) return;
    auto found = effects_.find(path);
    if (found == effects_.end()) {
        if (effects_.size() >= kMaxCachedEffects) effects_.clear();
        auto effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl::fromLocalFile(path));
        found = effects_.emplace(path, std::move(effect)).first;
    }
    // A sound still loading starts once it is loaded; one without a device stays silent.
    found->second->play();
}

}  // namespace kb::ui
