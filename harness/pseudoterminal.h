// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <termios.h>

// A pseudo-terminal pair: the code under test opens the device path like any
// serial port, the test holds the other side and plays the module.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString error() const { return m_error; }
    QString devicePath() const { return m_path; }

    // Bytes to the device side, as the module would send them.
    void send(const QByteArray &bytes);

    // Bytes to the device side, then the event loop served until the code
    // under test has read every one of them: for code on this thread, which
    // reads only while events are served. A module's pieces sent this way
    // reach it as separate reads, however busy the machine. For pieces
    // shorter than the line's buffer (4 KiB); false if they were not all
    // read within `timeoutMs`.
    bool sendAndAwaitRead(const QByteArray &bytes, int timeoutMs);

    // Bytes sent to the device side that nobody there has read yet.
    int unreadByDevice() const;

    // Reads what the device side wrote until `count` bytes have come or
    // `timeoutMs` has passed, serving the event loop meanwhile.
    QByteArray receive(int count, int timeoutMs);

    // Whatever the device side wrote within `quietMs`: a fixed span on
    // purpose, for checks that nothing comes; a busy machine can only make
    // less come in it.
    QByteArray drain(int quietMs) { return receive(1 << 30, quietMs); }

    void closeMaster();

    // The line settings of the device side as the system holds them now.
    termios lineSettings() const;

    // The terminal's size, as a program writing to the device side sees it.
    void setWindowSize(int columns, int rows);

    // How many of this process's open files are the device side, the
    // test's own included.
    int openDeviceHandles() const;

    // Reads the device side's output on a thread of its own, so that arrival
    // times can be taken while the code under test blocks this thread.
    struct Chunk {
        std::chrono::steady_clock::time_point arrival;
        QByteArray bytes;
    };
    void startRecording();
    QList<Chunk> stopRecording();
    // All bytes recorded so far.
    QByteArray recorded();

    // Writes `pattern` to the device side over and over, as fast as the
    // line takes it, on a thread of its own until stopFlood().
    void startFlood(const QByteArray &pattern);
    // Bytes written.
    qint64 stopFlood();
    qint64 floodedSoFar() const { return m_flooded; }

private:
    std::thread m_flooder;
    std::atomic<bool> m_flooding {false};
    std::atomic<qint64> m_flooded {0};
    std::thread m_recorder;
    std::atomic<bool> m_recording {false};
    std::mutex m_chunksMutex;
    QList<Chunk> m_chunks;

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QString m_error;
};
