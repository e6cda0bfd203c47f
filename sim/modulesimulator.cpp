// SPDX-License-Identifier: MIT
#include "sim/modulesimulator.h"

#include "protocol/values.h"
#include "protocol/wireformat.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// A command that has not ended after this many bytes never will.
constexpr int longestCommand = 256;
// Start, eight data bits, stop.
constexpr double bitsPerByte = 10.0;
constexpr int pacerTickMs = 1;
constexpr int noiseMinGapMs = 100;
constexpr int noiseMaxGapMs = 700;
constexpr int noiseMaxBurst = 48;

QByteArray errorAnswer(const char *why)
{
    return QByteArray("ERR ") + why + "\r\n";
}

} // namespace

SettingValues ModuleSimulator::defaultSettings()
{
    SettingValues values;
    valueOf(values, Setting::IpAddress) = QStringLiteral("192.168.1.20");
    valueOf(values, Setting::Gateway) = QStringLiteral("192.168.1.1");
    valueOf(values, Setting::Port) = QStringLiteral("502");
    valueOf(values, Setting::MacAddress) = QStringLiteral("AA:BB:CC:DD:EE:FF");
    return values;
}

SettingValues ModuleSimulator::lineModuleSettings(int index)
{
    SettingValues values = defaultSettings();
    valueOf(values, Setting::MacAddress) = QStringLiteral("02:56:45:00:%1:%2")
                                               .arg((index + 1) / 256, 2, 16, QLatin1Char('0'))
                                               .arg((index + 1) % 256, 2, 16, QLatin1Char('0'))
                                               .toUpper();
    return values;
}

ModuleSimulator::ModuleSimulator(int fd, const Options &options, const SettingValues &settings, QTextStream &log)
    : m_fd(fd)
    , m_options(options)
    , m_settings(settings)
    , m_started(settings)
    , m_log(log)
    , m_reader(new QSocketNotifier(fd, QSocketNotifier::Read, this))
{
    connect(m_reader, &QSocketNotifier::activated, this, [this] { readLine(m_fd, m_input, m_reader); });
    m_clock.start();
    m_dueTimer.setSingleShot(true);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_dueTimer, &QTimer::timeout, this, &ModuleSimulator::sendDue);

    m_pacer.setTimerType(Qt::PreciseTimer);
    m_pacer.setInterval(pacerTickMs);
    connect(&m_pacer, &QTimer::timeout, this, &ModuleSimulator::writeQueued);

    m_offTimer.setSingleShot(true);
    m_plugTimer.setSingleShot(true);
    connect(&m_offTimer, &QTimer::timeout, this, &ModuleSimulator::takeOff);
    connect(&m_plugTimer, &QTimer::timeout, this, &ModuleSimulator::plugIn);
    m_revertTimer.setSingleShot(true);
    connect(&m_revertTimer, &QTimer::timeout, this, &ModuleSimulator::revert);
    if (m_options.lineModules > 0) {
        m_settings = factorySettings(0);
        m_log << "Module 1 of " << m_options.lineModules << " plugged in" << Qt::endl;
    }

    if (m_options.noise) {
        m_noise.setSingleShot(true);
        connect(&m_noise, &QTimer::timeout, this, &ModuleSimulator::sendNoise);
        m_noise.start(QRandomGenerator::global()->bounded(noiseMinGapMs, noiseMaxGapMs));
    }
}

ModuleSimulator::~ModuleSimulator()
{
    qDeleteAll(m_legs);
}

SettingValues ModuleSimulator::factorySettings(int index) const
{
    SettingValues values = lineModuleSettings(index);
    if (!m_options.sharedMac.isEmpty())
        valueOf(values, Setting::MacAddress) = m_options.sharedMac;
    if (!m_options.factoryIp.isEmpty())
        valueOf(values, Setting::IpAddress) = m_options.factoryIp;
    return values;
}

void ModuleSimulator::addLeg(int fd, int delayMs)
{
    auto *leg = new Leg {fd, delayMs, new QSocketNotifier(fd, QSocketNotifier::Read, this), {}};
    m_legs << leg;
    connect(leg->reader, &QSocketNotifier::activated, this, [this, leg] { readLine(leg->fd, leg->input, leg->reader); });
}

void ModuleSimulator::readLine(int fd, QByteArray &input, QSocketNotifier *reader)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) {
        // EIO: nobody holds the device side open. Wait for the next opener
        // without spinning on a readable-but-empty line.
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            reader->setEnabled(false);
            QTimer::singleShot(100, this, [this, reader] { reader->setEnabled(!m_hangingUp); });
        }
        return;
    }
    input.append(buffer, static_cast<int>(n));

    int end;
    while (!m_hangingUp && (end = input.indexOf('#')) >= 0) {
        const QByteArray command = input.left(end + 1);
        input.remove(0, end + 1);
        handle(command);
    }
    if (input.size() > longestCommand) {
        note("<", input);
        sendAnswer(errorAnswer("command too long"));
        input.clear();
    }
}

void ModuleSimulator::handle(const QByteArray &command)
{
    note("<", command);
    if (!m_present)
        return; // nobody on the line to answer
    const auto parsed = parseCommand(QString::fromLatin1(command));
    const bool deaf = m_options.deafOnceWritten && (m_written || (parsed && parsed->write));
    if (!deaf)
        sendAnswer(answerTo(command));
    if (parsed && parsed->write)
        written();
    // Written and read back: the operator takes the module off.
    else if (parsed && m_written && m_options.lineModules > 0 && !m_offTimer.isActive())
        m_offTimer.start(m_options.offAfterMs);
    ++m_commands;
    if (m_options.hangupAfter > 0 && m_commands >= m_options.hangupAfter) {
        m_hangingUp = true;
        m_reader->setEnabled(false);
        maybeHangUp();
    }
}

QByteArray ModuleSimulator::answer(const QByteArray &bytes, SettingValues &settings)
{
    const auto command = parseCommand(QString::fromLatin1(bytes));
    if (!command)
        return errorAnswer("unknown command");

    const Setting setting = command->setting;
    if (!command->write) {
        const auto &value = valueOf(settings, setting);
        return commandBytes(replyText(setting, value.value_or(QString())));
    }

    if (!isValidValue(setting, command->formValue))
        return errorAnswer("bad value");
    valueOf(settings, setting) = command->formValue;
    return QByteArray("OK ") + settingInfo(setting).ackKeyword + " " + command->formValue.toLatin1() + "\r\n";
}

QByteArray ModuleSimulator::answerTo(const QByteArray &bytes)
{
    SettingValues after = m_settings;
    const QByteArray reply = answer(bytes, after);
    // Only a write it took is stored; a module that lies keeps the old values.
    if (m_options.ignoreWrites || !reply.startsWith("OK "))
        return reply;
    if (!m_options.statePath.isEmpty()) {
        QString error;
        if (!writeSettingsFile(m_options.statePath, after, &error)) {
            // A module that cannot store a value must not acknowledge it.
            m_log << "cannot store: " << error << Qt::endl;
            return errorAnswer("cannot store value");
        }
    }
    m_settings = after;
    return reply;
}

void ModuleSimulator::sendAnswer(const QByteArray &answer)
{
    if (m_options.silent)
        return;
    note(">", answer);

    // Answers go out one after the other: an answer's pieces never mix
    // with those of the answer before it.
    const int pieces = std::clamp(m_options.split, 1, std::max(1, int(answer.size())));
    const int pieceSize = (answer.size() + pieces - 1) / pieces;
    const qint64 now = m_clock.elapsed();
    qint64 at = std::max(now + m_options.delayMs, m_busyUntil);
    for (int i = 0; i < pieces; ++i, at += m_options.splitGapMs) {
        const QByteArray piece = answer.mid(i * pieceSize, pieceSize);
        if (piece.isEmpty())
            break;
        m_busyUntil = at;
        m_due.append({at, piece});
    }
    sendDue();
}

void ModuleSimulator::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_due.isEmpty() && m_due.first().at <= now)
        queue(m_due.takeFirst().bytes);
    if (!m_due.isEmpty())
        m_dueTimer.start(int(m_due.first().at - now));
}

void ModuleSimulator::queue(const QByteArray &bytes)
{
    // A client that sends and never reads must not make us hoard its
    // answers: beyond this much waiting output, answers are dropped.
    if (m_output.size() + bytes.size() > maxQueuedBytes) {
        if (!m_dropping)
            m_log << "output queue full: the other side is not reading; dropping answers" << Qt::endl;
        m_dropping = true;
        return;
    }
    m_dropping = false;
    m_output.append(bytes);
    // The other legs of a Y cable carry the same signal, later.
    for (const Leg *leg : std::as_const(m_legs)) {
        QTimer::singleShot(leg->delayMs, this, [fd = leg->fd, bytes] {
            [[maybe_unused]] const ssize_t n = ::write(fd, bytes.constData(), size_t(bytes.size()));
        });
    }
    if (m_options.lineRate <= 0) {
        writeQueued();
        return;
    }
    if (!m_pacer.isActive()) {
        m_credit = 1; // the first byte goes at once
        startPacing();
        writeQueued();
    }
}

void ModuleSimulator::writeQueued()
{
    int allowed = m_output.size();
    if (m_options.lineRate > 0) {
        // Credited from nanoseconds: whole milliseconds would drop most of
        // a millisecond at every tick and pace the line well below its rate.
        const double bytesPerNs = m_options.lineRate / bitsPerByte / 1e9;
        const qint64 now = m_paceClock.nsecsElapsed();
        m_credit += double(now - m_pacedUntilNs) * bytesPerNs;
        m_pacedUntilNs = now;
        allowed = std::min(allowed, int(m_credit));
    }
    if (allowed > 0) {
        const ssize_t n = ::write(m_fd, m_output.constData(), static_cast<size_t>(allowed));
        if (n > 0) {
            m_output.remove(0, int(n));
            m_credit -= double(n);
        }
    }
    if (m_output.isEmpty()) {
        m_pacer.stop();
        maybeHangUp();
    } else if (!m_pacer.isActive()) {
        // The line is full: try again shortly.
        startPacing();
    }
}

void ModuleSimulator::startPacing()
{
    m_paceClock.start();
    m_pacedUntilNs = 0;
    m_pacer.start();
}

void ModuleSimulator::sendNoise()
{
    auto *random = QRandomGenerator::global();
    QByteArray burst(int(random->bounded(1, noiseMaxBurst + 1)), Qt::Uninitialized);
    for (char &byte : burst)
        byte = char(random->bounded(256));
    // Now and then a burst that looks like the start of a reply.
    if (random->bounded(4) == 0)
        burst.prepend(random->bounded(2) ? "RS:RT" : "eth ");
    note(">", burst);
    queue(burst);
    m_noise.start(random->bounded(noiseMinGapMs, noiseMaxGapMs));
}

void ModuleSimulator::maybeHangUp()
{
    if (!m_hangingUp || !m_due.isEmpty() || !m_output.isEmpty())
        return;
    m_noise.stop();
    m_log << "Hanging up after " << m_commands << " commands" << Qt::endl;
    emit hungUp();
}

void ModuleSimulator::written()
{
    m_written = true;
    ++m_writes;
    if (m_options.revertAfterMs >= 0)
        m_revertTimer.start(m_options.revertAfterMs);
    if (m_options.swapAfterWrites > 0 && m_options.lineModules > 0 && m_writes >= m_options.swapAfterWrites && !m_swapped)
        swap();
}

// The operator takes the module off and puts the next on at once, in the
// middle of its writes.
void ModuleSimulator::swap()
{
    m_swapped = true;
    m_offTimer.stop();
    m_revertTimer.stop();
    noteSettings("swapped");
    if (m_module + 1 < m_options.lineModules) {
        plugIn();
        return;
    }
    m_present = false;
    m_log << "End of the line" << Qt::endl;
    emit lineEnded();
}

void ModuleSimulator::revert()
{
    if (!m_present)
        return;
    m_settings = m_options.lineModules > 0 ? factorySettings(m_module) : m_started;
    m_log << "Module " << m_module + 1 << " went back to its factory settings" << Qt::endl;
}

void ModuleSimulator::takeOff()
{
    m_present = false;
    noteSettings("taken off");
    if (m_module + 1 < m_options.lineModules) {
        m_plugTimer.start(m_options.plugGapMs);
    } else {
        m_log << "End of the line" << Qt::endl;
        emit lineEnded();
    }
}

void ModuleSimulator::plugIn()
{
    ++m_module;
    m_settings = factorySettings(m_module);
    m_written = false;
    m_writes = 0;
    m_revertTimer.stop();
    m_present = true;
    m_log << "Module " << m_module + 1 << " of " << m_options.lineModules << " plugged in" << Qt::endl;
}

// What the module leaves with, for whoever checks the line afterwards.
void ModuleSimulator::noteSettings(const char *what)
{
    QStringList values;
    for (Setting setting : allSettings)
        values << valueOf(m_settings, setting).value_or(QStringLiteral("-"));
    m_log << "Module " << m_module + 1 << ' ' << what << " holding " << values.join(QLatin1Char(' ')) << Qt::endl;
}

void ModuleSimulator::note(const char *direction, const QByteArray &bytes)
{
    m_log << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) << ' ' << direction << ' '
          << printable(QString::fromLatin1(bytes)) << Qt::endl;
}
