// SPDX-License-Identifier: MIT
#include "simprocess.h"

#include <QElapsedTimer>

SimProcess::SimProcess(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(VEV_SIM_PATH), QStringList {"--state", statePath()} + arguments);
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return;
    }
    const QByteArray banner = "Simulated module on ";
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && !m_output.contains('\n')) {
        m_process.waitForReadyRead(100);
        m_output += m_process.readAll();
    }
    const QByteArray first = m_output.left(m_output.indexOf('\n'));
    if (!first.startsWith(banner)) {
        m_error = QStringLiteral("vev-sim said: ") + QString::fromLocal8Bit(m_output);
        return;
    }
    m_devicePath = QString::fromLocal8Bit(first.mid(banner.size())).section(QLatin1Char(' '), 0, 0);
}

SimProcess::~SimProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

QString SimProcess::output()
{
    // Take in whatever the simulator has printed by now, and what is on its
    // way; a simulator that never falls quiet (a lane probing it) is read
    // for half a second at the most.
    constexpr int quietMs = 100;
    constexpr int longestMs = 500;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < longestMs && m_process.waitForReadyRead(quietMs))
        m_output += m_process.readAll();
    m_output += m_process.readAll();
    return QString::fromLocal8Bit(m_output);
}
