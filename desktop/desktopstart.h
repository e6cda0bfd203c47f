// SPDX-License-Identifier: MIT
#pragma once

// What the desktop programs set before their QApplication is made.

#include <QCoreApplication>

inline void prepareDesktopStart()
{
    // The windows draw no OpenGL, yet the X platform's GL integration would
    // load the system's GL driver (with Mesa, all of LLVM) at start: most of
    // the start-up time and resident memory. An operator's own setting wins.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Pixel geometry scales with the screen, as Qt 6 does anyway.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}
