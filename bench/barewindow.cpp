// SPDX-License-Identifier: MIT
// The references for the tool's start-up, started the way the tool starts:
// a bare 601 x 351 main window built from Qt alone and, built with
// VEV_WITH_FORM, the tool's own form on it (its widgets, the Open button's
// colour and the field validators) without anything else of the tool: no
// serial port, network, settings or host code.

#include <QApplication>
#include <QMainWindow>

#ifdef VEV_WITH_FORM
#include "window/cloudconfiguredform.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#endif

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QMainWindow window;
#ifdef VEV_WITH_FORM
    Ui::cloudConfiguredClass ui;
    ui.setupUi(&window);
    ui.pushButton_Open->setStyleSheet(QStringLiteral("background-color:rgb(0, 170, 0);"));
    for (QLineEdit *field : {ui.lineEdit_ip, ui.lineEdit_gatway, ui.lineEdit_port, ui.lineEdit_mac}) {
        field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9A-Fa-f.:-]*$")), field));
        field->setEnabled(false);
    }
    window.setWindowTitle(QStringLiteral("vev-bench form window"));
#else
    window.resize(601, 351);
    window.setWindowTitle(QStringLiteral("vev-bench bare window"));
#endif
    window.show();
    return app.exec();
}
