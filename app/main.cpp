// SPDX-License-Identifier: MIT
#include "desktop/desktopstart.h"
#include "window/cloudconfigured.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    prepareDesktopStart();
    QApplication app(argc, argv);
    // Lets the desktop match the window to its launcher entry and icon,
    // whatever the working directory.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.telvor.VevConfig"));
    cloudConfigured window;
    window.show();
    return app.exec();
}
