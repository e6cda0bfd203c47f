// SPDX-License-Identifier: MIT
#pragma once

// The fixed form of the configuration window: every widget at an absolute
// position, no layout managers.

class PortComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QTextEdit;
class QToolBar;
class QWidget;

namespace Ui {

class cloudConfiguredClass
{
public:
    QWidget *centralWidget = nullptr;
    QTextEdit *textEdit_log = nullptr;
    QLabel *label = nullptr;
    QGroupBox *groupBox = nullptr;
    PortComboBox *comboBox = nullptr;
    QPushButton *pushButton_Open = nullptr;
    QGroupBox *groupBox_2 = nullptr;
    QLineEdit *lineEdit_port = nullptr;
    QRadioButton *radioButton_auto = nullptr;
    QLabel *label_3 = nullptr;
    QLineEdit *lineEdit_mac = nullptr;
    QPushButton *pushButton_connect = nullptr;
    QLabel *label_5 = nullptr;
    QLabel *label_4 = nullptr;
    QLabel *label_2 = nullptr;
    QRadioButton *radioButton_handle = nullptr;
    QPushButton *pushButton_config = nullptr;
    QSplitter *splitter = nullptr;
    QLineEdit *lineEdit_ip = nullptr;
    QSplitter *splitter_2 = nullptr;
    // Spelt so on purpose: the handlers and every tool that drives the
    // window find the field by this name.
    QLineEdit *lineEdit_gatway = nullptr;
    QPushButton *pushButton_about = nullptr;
    QPushButton *pushButton_logclear = nullptr;
    QMenuBar *menuBar = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);

private:
    void setupLogAndPort();
    void setupConfiguration();
    void setupAddresses();
    void setupBars(QMainWindow *window);
    void setupTabOrder();
};

} // namespace Ui
