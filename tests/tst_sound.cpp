// SPDX-License-Identifier: MIT
#include "stationwindow/soundcues.h"

#include <QCheckBox>
#include <QFile>
#include <QLibrary>
#include <QtTest>

Q_DECLARE_METATYPE(Tone)

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void tonesFollowTheBoxes_data();
    void tonesFollowTheBoxes();
    void tonesAreShortDistinctSounds();
};

void TestSound::tonesFollowTheBoxes_data()
{
    QTest::addColumn<bool>("onPass");
    QTest::addColumn<bool>("onFail");
    QTest::addColumn<QList<Tone>>("played"); // for a pass, a fail and a module that did not answer

    QTest::newRow("both on") << true << true << QList<Tone> {Tone::Pass, Tone::Fail, Tone::Fail};
    QTest::newRow("PASS off") << false << true << QList<Tone> {Tone::Fail, Tone::Fail};
    QTest::newRow("FAIL off") << true << false << QList<Tone> {Tone::Pass};
}

void TestSound::tonesFollowTheBoxes()
{
    QFETCH(bool, onPass);
    QFETCH(bool, onFail);
    QFETCH(QList<Tone>, played);
    QList<Tone> asked;
    SoundCues cues([&asked](Tone tone) { asked << tone; });
    // The boxes as the operator clicks them.
    for (const auto &[name, on] : {std::pair("checkBox_passTone", onPass), std::pair("checkBox_bell", onFail)}) {
        if (!on)
            cues.findChild<QCheckBox *>(QLatin1String(name))->click();
    }
    for (Result result : {Result::Pass, Result::Fail, Result::NoAnswer})
        cues.sound(result);
    QCOMPARE(asked, played);
    QCOMPARE(std::pair(cues.toneOnPass(), cues.toneOnFail()), std::pair(onPass, onFail));
}

void TestSound::tonesAreShortDistinctSounds()
{
    QFile pass(QStringLiteral(":/tones/pass.wav"));
    QFile fail(QStringLiteral(":/tones/fail.wav"));
    QVERIFY(pass.open(QIODevice::ReadOnly) && fail.open(QIODevice::ReadOnly));
    const QByteArray sounds[] {pass.readAll(), fail.readAll()};
    // WAV files, small, and not the same.
    for (const QByteArray &wav : sounds)
        QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 4) == "WAVE" && wav.size() > 1000 && wav.size() < 32 * 1024);
    QVERIFY(sounds[0] != sounds[1]);
    // Without a sound card (here) the program's player rings the bell.
    QObject owner;
    systemTonePlayer(&owner)(Tone::Fail);
    // The sound card's module, loaded late, gives its player; without a
    // sound card it says it could not play, and the bell rings instead.
    QLibrary module(QStringLiteral(VEV_TONES_PATH));
    const auto make = reinterpret_cast<void (*)(QObject *, SoundCardPlayer *)>(module.resolve("vevSoundCardPlayer"));
    QVERIFY2(make, qPrintable(module.errorString()));
    SoundCardPlayer play;
    make(&owner, &play);
    QVERIFY(play && !play(Tone::Pass));
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
