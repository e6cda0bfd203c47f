// SPDX-License-Identifier: MIT
// The tones through the sound card: a module of its own (vev-tones), loaded
// by systemTonePlayer once the window is up, so that Qt Multimedia and the
// sound server's libraries are not loaded while the window opens.

#include "stationwindow/soundcues.h"

#include <QSoundEffect>
#include <QUrl>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QAudioDeviceInfo>
#else
#include <QAudioDevice>
#include <QMediaDevices>
#endif

namespace {

bool hasSoundOutput()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return !QAudioDeviceInfo::availableDevices(QAudio::AudioOutput).isEmpty();
#else
    return !QMediaDevices::audioOutputs().isEmpty();
#endif
}

class Tones : public QObject
{
public:
    explicit Tones(QObject *parent)
        : QObject(parent)
    {
        if (!hasSoundOutput())
            return;
        m_pass = effect(QStringLiteral("qrc:/tones/pass.wav"));
        m_fail = effect(QStringLiteral("qrc:/tones/fail.wav"));
    }

    // False where it cannot: no sound output, or the sound not loaded (where
    // no sound server answers, the effect stays loading and would play to
    // nobody).
    bool play(Tone tone)
    {
        QSoundEffect *effect = tone == Tone::Pass ? m_pass : m_fail;
        if (!effect || effect->status() != QSoundEffect::Ready)
            return false;
        effect->play();
        return true;
    }

private:
    QSoundEffect *effect(const QString &url)
    {
        auto *effect = new QSoundEffect(this);
        effect->setSource(QUrl(url));
        return effect;
    }

    QSoundEffect *m_pass = nullptr;
    QSoundEffect *m_fail = nullptr;
};

} // namespace

extern "C" Q_DECL_EXPORT void vevSoundCardPlayer(QObject *owner, SoundCardPlayer *player)
{
    auto *tones = new Tones(owner);
    *player = [tones](Tone tone) { return tones->play(tone); };
}
