// SPDX-License-Identifier: MIT
// The reference for the tool's start-up: a 601 x 351 main window built from
// Qt alone, started the way the tool starts.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(601, 351);
    window.setWindowTitle(QStringLiteral("vev-bench bare window"));
    window.show();
    return app.exec();
}
