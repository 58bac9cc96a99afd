#pragma once
#include <QObject>
#include <QString>
#include <map>
#include <memory>

#include "platform/sound.h"

class QSoundEffect;

namespace kb::ui {

// Plays .wav files through Qt Multimedia. Create it on the main thread: play_async may be
// called from any thread and posts the request to the main thread, which starts the
// sound and returns. A missing or undecodable file, or a machine without an audio
// device, plays nothing.
class QtSoundPlayer final : public QObject, public platform::SoundPlayer {
    Q_OBJECT
public:
    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void play_async(const std::string& path) override;

private:
    void play_now(const QString& path);

    // One loaded effect per file, so a repeated event does not decode its file again.
    std::map<QString, std::unique_ptr<QSoundEffect>> effects_;
};

}  // namespace kb::ui
