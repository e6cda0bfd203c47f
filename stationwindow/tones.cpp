// SPDX-License-Identifier: MIT
// The tones through the sound card, or the bell.

#include "stationwindow/soundcues.h"

#include <QApplication>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QAudioDeviceInfo>
#else
#include <QMediaDevices>
#endif

#include <memory>

namespace {

// The bell's second ring for FAIL comes this long after the first.
constexpr int secondBellMs = 250;
// The sounds load this long after the start: finding the sound server
// takes time the window's first picture should not wait for. A tone asked
// for before then starts the loading, and rings the bell meanwhile.
constexpr int loadAfterMs = 1000;

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
        QTimer::singleShot(loadAfterMs, this, &Tones::load);
    }

    void play(Tone tone)
    {
        load();
        QSoundEffect *effect = tone == Tone::Pass ? m_pass : m_fail;
        // Where no sound server answers, the effect stays loading (or
        // fails) and would play to nobody: the bell then.
        if (effect && effect->status() == QSoundEffect::Ready) {
            effect->play();
            return;
        }
        QApplication::beep();
        if (tone == Tone::Fail)
            QTimer::singleShot(secondBellMs, this, [] { QApplication::beep(); });
    }

private:
    void load()
    {
        if (m_loaded)
            return;
        m_loaded = true;
        if (!hasSoundOutput())
            return;
        m_pass = effect(QStringLiteral("qrc:/tones/pass.wav"));
        m_fail = effect(QStringLiteral("qrc:/tones/fail.wav"));
    }

    QSoundEffect *effect(const QString &url)
    {
        auto *effect = new QSoundEffect(this);
        effect->setSource(QUrl(url));
        return effect;
    }

    bool m_loaded = false;
    QSoundEffect *m_pass = nullptr;
    QSoundEffect *m_fail = nullptr;
};

} // namespace

TonePlayer systemTonePlayer(QObject *owner)
{
    auto *tones = new Tones(owner);
    return [tones](Tone tone) { tones->play(tone); };
}
