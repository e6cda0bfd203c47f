// SPDX-License-Identifier: MIT
// Opens the given port in the configuration window, presses Connect, waits
// for the answer and saves a picture of the window.
//   vev-screenshot OUTPUT.png DEVICE

#include "window/cloudconfigured.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QTextStream>

namespace {

void waitFor(int ms, const std::function<bool()> &done = {})
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !(done && done()))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: vev-screenshot OUTPUT.png DEVICE" << Qt::endl;
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);

    cloudConfigured window;
    window.show();
    waitFor(300);

    window.findChild<QComboBox *>(QStringLiteral("comboBox"))->setEditText(QString::fromLocal8Bit(argv[2]));
    window.findChild<QAbstractButton *>(QStringLiteral("pushButton_Open"))->click();
    window.findChild<QAbstractButton *>(QStringLiteral("pushButton_connect"))->click();
    auto *mac = window.findChild<QLineEdit *>(QStringLiteral("lineEdit_mac"));
    waitFor(3000, [mac] { return !mac->text().isEmpty(); });
    if (mac->text().isEmpty()) {
        err << "vev-screenshot: the module did not answer" << Qt::endl;
        return 1;
    }
    waitFor(200);

    if (!window.grab().save(output)) {
        err << "vev-screenshot: cannot write " << output << Qt::endl;
        return 1;
    }
    return 0;
}
