// SPDX-License-Identifier: MIT
#include "window/cloudconfigured.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The window draws no OpenGL, yet the X platform's GL integration would
    // load the system's GL driver (with Mesa, all of LLVM) at start: most of
    // the start-up time and resident memory. An operator's own setting wins.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // The form's pixel geometry scales with the screen, as Qt 6 does anyway.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);
    // Lets the desktop match the window to its launcher entry and icon,
    // whatever the working directory.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.telvor.VevConfig"));
    cloudConfigured window;
    window.show();
    return app.exec();
}
