// SPDX-License-Identifier: MIT
#include "stationwindow/soundcues.h"

#include <QCheckBox>
#include <QFile>
#include <QtEndian>
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
    QByteArray sounds[2];
    for (int i = 0; i < 2; ++i) {
        QFile file(i == 0 ? QStringLiteral(":/tones/pass.wav") : QStringLiteral(":/tones/fail.wav"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray wav = sounds[i] = file.readAll();
        // Mono PCM WAV, which every sound back end plays, over before the
        // next module is on.
        QVERIFY(wav.size() > 44 && wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt ");
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 20), 0x10001u);
        const double seconds = double(wav.size() - 44) / qFromLittleEndian<quint32>(wav.constData() + 28);
        QVERIFY2(seconds > 0.1 && seconds < 0.6, qPrintable(QString::number(seconds)));
    }
    QVERIFY(sounds[0] != sounds[1]);
    // Without a sound card (here) the program's player rings the bell.
    QObject owner;
    systemTonePlayer(&owner)(Tone::Fail);
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
