// SPDX-License-Identifier: MIT
#pragma once

// The station's sounds: a tone for each module that passes and another
// for each that fails, so that the operator hears the verdict without
// looking, each one turned on or off with its own box.

#include "plan/records.h"

#include <QWidget>

#include <functional>

class QCheckBox;

enum class Tone { Pass, Fail };
// Sounds a tone; the program's plays the sound files (tones.cpp), tests
// record what was asked for.
using TonePlayer = std::function<void(Tone)>;

class SoundCues : public QWidget
{
    Q_OBJECT

public:
    explicit SoundCues(TonePlayer play, QWidget *parent = nullptr);

    void setTones(bool onPass, bool onFail);
    bool toneOnPass() const;
    bool toneOnFail() const;

    // The outcome's tone, unless its box is cleared: PASS for a pass,
    // FAIL for every other result.
    void sound(Result result);

private:
    TonePlayer m_play;
    QCheckBox *m_onPass;
    QCheckBox *m_onFail;
};

// The program's player: the tones from the program's resources through
// the sound card, or the desktop's bell where there is no sound output
// (once for PASS, twice for FAIL). The sound card's part is a module of
// its own (vev-tones), loaded a second after the start or at the first
// tone, not while the window opens; without it, the bell.
TonePlayer systemTonePlayer(QObject *owner);

// The module's player: false when it could not sound the tone.
using SoundCardPlayer = std::function<bool(Tone)>;
