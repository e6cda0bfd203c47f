// SPDX-License-Identifier: MIT
#pragma once

#include "window/cloudconfigured.h"
#include "fakehost.h"
#include "modalcatcher.h"
#include "pseudoterminal.h"
#include "windowdriver.h"

#include <QObject>
#include <QSettings>

#include <memory>

// A shown configuration window on a fake computer, a pseudo-terminal for the
// test to play the module on, and a catcher for modal boxes. Test classes
// derive from it and call startWindow() in init(), stopWindow() in cleanup().
class WindowOnPseudoTerminal : public QObject
{
protected:
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

    FakeHost m_host;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<ModalCatcher> m_boxes;
    std::unique_ptr<cloudConfigured> m_window;
    std::unique_ptr<WindowDriver> m_ui;
};
