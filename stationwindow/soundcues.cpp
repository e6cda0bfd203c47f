// SPDX-License-Identifier: MIT
#include "stationwindow/soundcues.h"

#include <QCheckBox>
#include <QHBoxLayout>

SoundCues::SoundCues(TonePlayer play, QWidget *parent)
    : QWidget(parent)
    , m_play(std::move(play))
    , m_onPass(new QCheckBox(tr("Sound on PASS"), this))
    , m_onFail(new QCheckBox(tr("Sound on FAIL"), this))
{
    m_onPass->setObjectName(QStringLiteral("checkBox_passTone"));
    m_onFail->setObjectName(QStringLiteral("checkBox_bell"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_onPass);
    row->addWidget(m_onFail);
    setTones(true, true);
}

void SoundCues::setTones(bool onPass, bool onFail)
{
    m_onPass->setChecked(onPass);
    m_onFail->setChecked(onFail);
}

bool SoundCues::toneOnPass() const
{
    return m_onPass->isChecked();
}

bool SoundCues::toneOnFail() const
{
    return m_onFail->isChecked();
}

void SoundCues::sound(Result result)
{
    const Tone tone = result == Result::Pass ? Tone::Pass : Tone::Fail;
    if (m_play && (tone == Tone::Pass ? toneOnPass() : toneOnFail()))
        m_play(tone);
}
