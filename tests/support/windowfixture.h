// SPDX-License-Identifier: MIT
#pragma once

#include "window/cloudconfigured.h"
#include "serial/spcomm.h"
#include "fakehost.h"
#include "modalcatcher.h"
#include "pseudoterminal.h"
#include "windowdriver.h"

#include <QFile>
#include <QObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

// The window's link to its port, whose frames tests wait on.
inline SPComm *windowLink(const cloudConfigured &window)
{
    auto *link = window.findChild<SPComm *>();
    if (!link)
        qFatal("the window has no link");
    return link;
}

// A shown configuration window on a fake computer, a pseudo-terminal for the
// test to play the module on, and a catcher for modal boxes, made anew for
// each test function of the test classes that derive from it.
class WindowOnPseudoTerminal : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        const QString failed = startWindow();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
    void cleanup() { stopWindow(); }

protected:
    // Settings go to a folder of the process's own, named before the first
    // use of settings (Qt keeps the folder from then on).
    WindowOnPseudoTerminal() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome.path())); }

    // Where the windows' settings file is.
    QString settingsPath() const { return m_configHome.filePath(QStringLiteral("TELVOR/VevConfig.conf")); }

    // An empty string when all is set up; otherwise what failed.
    QString startWindow(bool rememberLastPort = false)
    {
        // Each test starts without a port remembered from the one before.
        if (!rememberLastPort)
            QSettings(QStringLiteral("TELVOR"), QStringLiteral("VevConfig")).remove(QStringLiteral("lastPort"));
        m_host = FakeHost();
        m_pty = std::make_unique<PseudoTerminal>();
        if (!m_pty->isValid())
            return QStringLiteral("no pseudo-terminal: ") + m_pty->error();
        m_boxes = std::make_unique<ModalCatcher>();
        m_window = std::make_unique<cloudConfigured>(m_host.environment());
        m_ui = std::make_unique<WindowDriver>(m_window.get());
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return QStringLiteral("the window was not exposed");
        return QString();
    }

    void stopWindow()
    {
        m_ui.reset();
        m_window.reset();
        m_boxes.reset();
        m_pty.reset();
    }

    // Opens the test's pseudo-terminal in the window; false if it did not open.
    bool openPty() { return m_ui->openPort(m_pty->devicePath()); }

    // Plays the module's bytes and waits until the window has handled the
    // frame they make, whether or not it logs anything; false if no frame
    // ended within the bound.
    bool sendFrame(const QByteArray &bytes)
    {
        QSignalSpy frames(windowLink(*m_window), &SPComm::comRecive);
        m_pty->send(bytes);
        return frames.wait(SPComm::frameWindowMs + frameLatenessMs);
    }
    // How late a frame may end on a loaded machine.
    static constexpr int frameLatenessMs = 2000;

    // The reply time of the request just started: the window's one running
    // timer of that length; null unless exactly one runs.
    QTimer *runningReplyTimer() const
    {
        QTimer *found = nullptr;
        const auto timers = m_window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        for (QTimer *timer : timers) {
            if (!timer->isActive() || timer->interval() != cloudConfigured::replyTimeoutMs)
                continue;
            if (found)
                return nullptr;
            found = timer;
        }
        return found;
    }

    // Waits until the request whose reply time `reply` is has ended: its
    // time is up or it was answered in full, and no frame that began in time
    // is still under way. False if that took longer than the bound.
    bool requestEnded(const QTimer *reply) const
    {
        const SPComm *link = windowLink(*m_window);
        return QTest::qWaitFor([reply, link] { return !reply->isActive() && !link->frameInProgress(); },
                               cloudConfigured::replyTimeoutMs + SPComm::frameWindowMs + frameLatenessMs);
    }

    QTemporaryDir m_configHome;
    FakeHost m_host;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<ModalCatcher> m_boxes;
    std::unique_ptr<cloudConfigured> m_window;
    std::unique_ptr<WindowDriver> m_ui;
};
