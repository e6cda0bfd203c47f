// SPDX-License-Identifier: MIT
// The station's tones: which is asked for on each outcome, that a cleared
// box keeps its tone quiet, and that the sounds the program carries are
// short distinct WAV files.

#include "stationwindow/soundcues.h"

#include <QCheckBox>
#include <QFile>
#include <QtEndian>
#include <QtTest>

Q_DECLARE_METATYPE(Result)
Q_DECLARE_METATYPE(Tone)

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void tonesFollowTheBoxes_data();
    void tonesFollowTheBoxes();
    void tonesAreShortDistinctSounds();
    void programPlaysWithoutSoundOutput();
};

void TestSound::tonesFollowTheBoxes_data()
{
    QTest::addColumn<bool>("onPass");
    QTest::addColumn<bool>("onFail");
    QTest::addColumn<QList<Result>>("results");
    QTest::addColumn<QList<Tone>>("played");

    const QList<Result> all {Result::Pass, Result::Fail, Result::NoAnswer, Result::NotAcknowledged, Result::Aborted};
    QTest::newRow("both on") << true << true << all
                             << QList<Tone> {Tone::Pass, Tone::Fail, Tone::Fail, Tone::Fail, Tone::Fail};
    QTest::newRow("PASS off") << false << true << all << QList<Tone> {Tone::Fail, Tone::Fail, Tone::Fail, Tone::Fail};
    QTest::newRow("FAIL off") << true << false << all << QList<Tone> {Tone::Pass};
    QTest::newRow("both off") << false << false << all << QList<Tone>();
}

void TestSound::tonesFollowTheBoxes()
{
    QFETCH(bool, onPass);
    QFETCH(bool, onFail);
    QFETCH(QList<Result>, results);
    QFETCH(QList<Tone>, played);
    QList<Tone> asked;
    SoundCues cues([&asked](Tone tone) { asked << tone; });
    // The boxes as the operator clicks them.
    for (const auto &[name, on] : {std::pair("checkBox_passTone", onPass), std::pair("checkBox_bell", onFail)}) {
        auto *box = cues.findChild<QCheckBox *>(QLatin1String(name));
        QVERIFY(box && box->isChecked());
        if (!on)
            box->click();
    }
    QCOMPARE(std::pair(cues.toneOnPass(), cues.toneOnFail()), std::pair(onPass, onFail));
    for (Result result : results)
        cues.sound(result);
    QCOMPARE(asked, played);
}

void TestSound::tonesAreShortDistinctSounds()
{
    QByteArray sounds[2];
    for (int i = 0; i < 2; ++i) {
        QFile file(i == 0 ? QStringLiteral(":/tones/pass.wav") : QStringLiteral(":/tones/fail.wav"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        sounds[i] = file.readAll();
        const QByteArray &wav = sounds[i];
        // RIFF WAVE, PCM, mono: what every sound back end plays.
        QVERIFY(wav.size() > 44 && wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt ");
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 20), quint16(1));
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 22), quint16(1));
        const quint32 bytesPerSecond = qFromLittleEndian<quint32>(wav.constData() + 28);
        const double seconds = double(wav.size() - 44) / bytesPerSecond;
        // Heard, and over before the next module is on.
        QVERIFY2(seconds > 0.1 && seconds < 0.6, qPrintable(QString::number(seconds)));
    }
    QVERIFY(sounds[0] != sounds[1]);
}

void TestSound::programPlaysWithoutSoundOutput()
{
    // No sound card here: the tones fall back on the bell, and nothing
    // fails, before the sounds load and after.
    QObject owner;
    const TonePlayer play = systemTonePlayer(&owner);
    play(Tone::Fail);
    QTest::qWait(300);
    play(Tone::Pass);
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
