// SPDX-License-Identifier: MIT
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <utility>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        m_master = m_slave = -1;
        return;
    }
    m_path = QString::fromLocal8Bit(name);

    // Raw from the start, so nothing is echoed or translated even before the
    // code under test configures the line.
    termios raw {};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);

    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal()
{
    stopFlood();
    stopRecording();
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void PseudoTerminal::send(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd p {m_master, POLLOUT, 0};
                ::poll(&p, 1, 10);
                continue;
            }
            return;
        }
        data += n;
        left -= n;
    }
}

bool PseudoTerminal::sendAndAwaitRead(const QByteArray &bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const int before = unreadByDevice();
    send(bytes);
    // The system hands written bytes to the device side a moment after the
    // write; only then are they counted there. Nobody on this thread reads
    // them meanwhile, as no event is served.
    while (unreadByDevice() < before + bytes.size()) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        pollfd p {m_slave, POLLIN, 0};
        ::poll(&p, 1, 1);
    }
    // Wakes the loop now and then, should the reader be gone.
    QTimer wake;
    wake.start(1);
    while (unreadByDevice() > 0) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int PseudoTerminal::unreadByDevice() const
{
    int count = 0;
    if (m_slave < 0 || ::ioctl(m_slave, FIONREAD, &count) != 0)
        return 0;
    return count;
}

QByteArray PseudoTerminal::receive(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p {m_master, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<int>(n));
    }
    return got;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

termios PseudoTerminal::lineSettings() const
{
    termios settings {};
    ::tcgetattr(m_slave, &settings);
    return settings;
}

void PseudoTerminal::setWindowSize(int columns, int rows)
{
    winsize size {};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ::ioctl(m_master, TIOCSWINSZ, &size);
}

int PseudoTerminal::openDeviceHandles() const
{
    int count = 0;
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo &fd : fds) {
        if (fd.symLinkTarget() == m_path)
            ++count;
    }
    return count;
}

void PseudoTerminal::startRecording()
{
    stopRecording();
    m_chunks.clear();
    m_recording = true;
    m_recorder = std::thread([this] {
        while (m_recording) {
            pollfd p {m_master, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            const std::lock_guard<std::mutex> lock(m_chunksMutex);
            m_chunks.append({std::chrono::steady_clock::now(), QByteArray(buffer, static_cast<int>(n))});
        }
    });
}

QList<PseudoTerminal::Chunk> PseudoTerminal::stopRecording()
{
    if (m_recorder.joinable()) {
        m_recording = false;
        m_recorder.join();
    }
    const std::lock_guard<std::mutex> lock(m_chunksMutex);
    return m_chunks;
}

QByteArray PseudoTerminal::recorded()
{
    const std::lock_guard<std::mutex> lock(m_chunksMutex);
    QByteArray all;
    for (const Chunk &chunk : std::as_const(m_chunks))
        all += chunk.bytes;
    return all;
}

void PseudoTerminal::startFlood(const QByteArray &pattern)
{
    stopFlood();
    m_flooded = 0;
    m_flooding = true;
    m_flooder = std::thread([this, pattern] {
        while (m_flooding) {
            pollfd p {m_master, POLLOUT, 0};
            if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLOUT))
                continue;
            const ssize_t n = ::write(m_master, pattern.constData(), size_t(pattern.size()));
            if (n > 0)
                m_flooded += n;
        }
    });
}

qint64 PseudoTerminal::stopFlood()
{
    if (m_flooder.joinable()) {
        m_flooding = false;
        m_flooder.join();
    }
    return m_flooded;
}
