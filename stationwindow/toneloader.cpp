// SPDX-License-Identifier: MIT
// The program's tones: the sound card's module loaded late, or the bell.

#include "stationwindow/soundcues.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTimer>

#include <memory>

namespace {

// The bell's second ring for FAIL comes this long after the first.
constexpr int secondBellMs = 250;
// The module loads this long after the start: it brings Qt Multimedia and
// the sound server's libraries, which the window's first picture should not
// wait for. A tone asked for before then loads it, and rings the bell
// meanwhile (the sounds themselves load in the background).
constexpr int loadAfterMs = 1000;

// Beside the program in the build tree; installed, where the install put it.
QString modulePath()
{
    const QDir program(QCoreApplication::applicationDirPath());
    const QString beside = program.filePath(QStringLiteral(VEV_TONES_MODULE));
    if (QFile::exists(beside))
        return beside;
    return QDir::cleanPath(program.filePath(QStringLiteral(VEV_TONES_INSTALLED)));
}

struct Loaded {
    bool tried = false;
    SoundCardPlayer play;
};

void load(Loaded *loaded, QObject *owner)
{
    if (loaded->tried)
        return;
    loaded->tried = true;
    using Make = void (*)(QObject *, SoundCardPlayer *);
    QLibrary module(modulePath());
    if (const auto make = reinterpret_cast<Make>(module.resolve("vevSoundCardPlayer")))
        make(owner, &loaded->play);
    else // said once; the bell rings for every tone
        qWarning("vev-station: the tones ring the bell: %s", qPrintable(module.errorString()));
}

} // namespace

TonePlayer systemTonePlayer(QObject *owner)
{
    auto loaded = std::make_shared<Loaded>();
    QTimer::singleShot(loadAfterMs, owner, [loaded, owner] { load(loaded.get(), owner); });
    return [loaded, owner](Tone tone) {
        load(loaded.get(), owner);
        if (loaded->play && loaded->play(tone))
            return;
        QApplication::beep();
        if (tone == Tone::Fail)
            QTimer::singleShot(secondBellMs, owner, [] { QApplication::beep(); });
    };
}
