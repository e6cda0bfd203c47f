// SPDX-License-Identifier: MIT
#include "window/cloudconfiguredform.h"

#include "window/portcombobox.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>

namespace Ui {

namespace {

constexpr int windowWidth = 601;
constexpr int windowHeight = 351;

// One policy for every widget that expands; only its height-for-width flag
// follows the widget at hand.
void expand(QWidget *widget)
{
    QSizePolicy expanding(QSizePolicy::Expanding, QSizePolicy::Expanding);
    expanding.setHorizontalStretch(0);
    expanding.setVerticalStretch(0);
    expanding.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    widget->setSizePolicy(expanding);
}

} // namespace

void cloudConfiguredClass::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("cloudConfiguredClass"));
    window->resize(windowWidth, windowHeight);
    QIcon icon;
    icon.addFile(QStringLiteral("icon.png"), QSize(), QIcon::Normal, QIcon::Off);
    window->setWindowIcon(icon);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    setupLogAndPort();
    setupConfiguration();

    pushButton_logclear = new QPushButton(centralWidget);
    pushButton_logclear->setObjectName(QStringLiteral("pushButton_logclear"));
    pushButton_logclear->setGeometry(QRect(450, 260, 75, 23));
    expand(pushButton_logclear);

    window->setCentralWidget(centralWidget);
    label->raise();
    groupBox->raise();
    groupBox_2->raise();
    textEdit_log->raise();
    pushButton_logclear->raise();
    setupBars(window);
    setupTabOrder();

    retranslateUi(window);

    QMetaObject::connectSlotsByName(window);
}

void cloudConfiguredClass::setupLogAndPort()
{
    textEdit_log = new QTextEdit(centralWidget);
    textEdit_log->setObjectName(QStringLiteral("textEdit_log"));
    textEdit_log->setGeometry(QRect(381, 19, 209, 231));
    textEdit_log->setReadOnly(true);

    label = new QLabel(centralWidget);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(QRect(381, 1, 18, 16));
    expand(label);

    groupBox = new QGroupBox(centralWidget);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    groupBox->setGeometry(QRect(10, 0, 179, 67));
    expand(groupBox);
    groupBox->setMaximumSize(QSize(179, 67));

    comboBox = new PortComboBox(groupBox);
    comboBox->setObjectName(QStringLiteral("comboBox"));
    comboBox->setEnabled(true);
    comboBox->setGeometry(QRect(3, 24, 69, 20));
    expand(comboBox);
    // An operator may type a device the system does not list (a
    // pseudo-terminal, a socat link, an rfcomm device); typing does not add
    // it to the list of scanned ports.
    comboBox->setEditable(true);
    comboBox->setInsertPolicy(QComboBox::NoInsert);

    pushButton_Open = new QPushButton(groupBox);
    pushButton_Open->setObjectName(QStringLiteral("pushButton_Open"));
    pushButton_Open->setGeometry(QRect(78, 23, 75, 23));
    expand(pushButton_Open);
}

void cloudConfiguredClass::setupConfiguration()
{
    groupBox_2 = new QGroupBox(centralWidget);
    groupBox_2->setObjectName(QStringLiteral("groupBox_2"));
    groupBox_2->setGeometry(QRect(10, 70, 339, 196));
    expand(groupBox_2);

    lineEdit_port = new QLineEdit(groupBox_2);
    lineEdit_port->setObjectName(QStringLiteral("lineEdit_port"));
    lineEdit_port->setGeometry(QRect(80, 146, 133, 20));
    expand(lineEdit_port);
    lineEdit_port->setAlignment(Qt::AlignCenter);

    radioButton_auto = new QRadioButton(groupBox_2);
    radioButton_auto->setObjectName(QStringLiteral("radioButton_auto"));
    radioButton_auto->setGeometry(QRect(21, 50, 47, 16));
    expand(radioButton_auto);
    radioButton_auto->setChecked(true);

    label_3 = new QLabel(groupBox_2);
    label_3->setObjectName(QStringLiteral("label_3"));
    label_3->setGeometry(QRect(21, 120, 36, 16));
    expand(label_3);

    lineEdit_mac = new QLineEdit(groupBox_2);
    lineEdit_mac->setObjectName(QStringLiteral("lineEdit_mac"));
    lineEdit_mac->setGeometry(QRect(80, 172, 241, 20));
    expand(lineEdit_mac);
    lineEdit_mac->setAlignment(Qt::AlignCenter);

    pushButton_connect = new QPushButton(groupBox_2);
    pushButton_connect->setObjectName(QStringLiteral("pushButton_connect"));
    pushButton_connect->setGeometry(QRect(80, 60, 75, 23));
    expand(pushButton_connect);

    label_5 = new QLabel(groupBox_2);
    label_5->setObjectName(QStringLiteral("label_5"));
    label_5->setGeometry(QRect(21, 172, 18, 16));
    expand(label_5);

    label_4 = new QLabel(groupBox_2);
    label_4->setObjectName(QStringLiteral("label_4"));
    label_4->setGeometry(QRect(21, 146, 24, 16));
    expand(label_4);

    label_2 = new QLabel(groupBox_2);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setGeometry(QRect(21, 94, 16, 16));
    expand(label_2);

    radioButton_handle = new QRadioButton(groupBox_2);
    radioButton_handle->setObjectName(QStringLiteral("radioButton_handle"));
    radioButton_handle->setGeometry(QRect(21, 72, 53, 16));
    expand(radioButton_handle);
    radioButton_handle->setChecked(false);

    pushButton_config = new QPushButton(groupBox_2);
    pushButton_config->setObjectName(QStringLiteral("pushButton_config"));
    pushButton_config->setEnabled(true);
    pushButton_config->setGeometry(QRect(170, 60, 75, 23));
    expand(pushButton_config);
    setupAddresses();

    pushButton_about = new QPushButton(groupBox_2);
    pushButton_about->setObjectName(QStringLiteral("pushButton_about"));
    pushButton_about->setGeometry(QRect(260, 60, 75, 23));
    expand(pushButton_about);
}

// IP and gateway each sit in a splitter of their own.
void cloudConfiguredClass::setupAddresses()
{
    splitter = new QSplitter(groupBox_2);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setGeometry(QRect(80, 90, 211, 20));
    splitter->setOrientation(Qt::Horizontal);

    lineEdit_ip = new QLineEdit(splitter);
    lineEdit_ip->setObjectName(QStringLiteral("lineEdit_ip"));
    expand(lineEdit_ip);
    lineEdit_ip->setFocusPolicy(Qt::StrongFocus);
    lineEdit_ip->setFrame(true);
    lineEdit_ip->setAlignment(Qt::AlignCenter);
    lineEdit_ip->setClearButtonEnabled(false);
    splitter->addWidget(lineEdit_ip);

    splitter_2 = new QSplitter(groupBox_2);
    splitter_2->setObjectName(QStringLiteral("splitter_2"));
    splitter_2->setGeometry(QRect(80, 120, 211, 20));
    splitter_2->setOrientation(Qt::Horizontal);

    lineEdit_gatway = new QLineEdit(splitter_2);
    lineEdit_gatway->setObjectName(QStringLiteral("lineEdit_gatway"));
    expand(lineEdit_gatway);
    lineEdit_gatway->setAlignment(Qt::AlignCenter);
    splitter_2->addWidget(lineEdit_gatway);
}

void cloudConfiguredClass::setupBars(QMainWindow *window)
{
    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, windowWidth, 23));
    window->setMenuBar(menuBar);

    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);

    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);
}

void cloudConfiguredClass::setupTabOrder()
{
    // The address fields are visited top to bottom as they stand on screen.
    QWidget::setTabOrder(comboBox, pushButton_Open);
    QWidget::setTabOrder(pushButton_Open, radioButton_auto);
    QWidget::setTabOrder(radioButton_auto, radioButton_handle);
    QWidget::setTabOrder(radioButton_handle, pushButton_connect);
    QWidget::setTabOrder(pushButton_connect, pushButton_config);
    QWidget::setTabOrder(pushButton_config, lineEdit_ip);
    QWidget::setTabOrder(lineEdit_ip, lineEdit_gatway);
    QWidget::setTabOrder(lineEdit_gatway, lineEdit_port);
    QWidget::setTabOrder(lineEdit_port, lineEdit_mac);
    QWidget::setTabOrder(lineEdit_mac, textEdit_log);
    QWidget::setTabOrder(textEdit_log, pushButton_logclear);
    QWidget::setTabOrder(pushButton_logclear, pushButton_about);
}

void cloudConfiguredClass::retranslateUi(QMainWindow *window)
{
    // Spelt out as the form's generator would, so that lupdate finds each
    // text under its context.
    window->setWindowTitle(QCoreApplication::translate("cloudConfiguredClass", "TELVOR: VeV-Idire Configuration", nullptr));
    label->setText(QCoreApplication::translate("cloudConfiguredClass", "Log", nullptr));
    groupBox->setTitle(QCoreApplication::translate("cloudConfiguredClass", "Port Setting", nullptr));
    pushButton_Open->setText(QCoreApplication::translate("cloudConfiguredClass", "Open", nullptr));
    groupBox_2->setTitle(QCoreApplication::translate("cloudConfiguredClass", "Configuration", nullptr));
    radioButton_auto->setText(QCoreApplication::translate("cloudConfiguredClass", "Auto", nullptr));
    label_3->setText(QCoreApplication::translate("cloudConfiguredClass", "Gatway", nullptr));
    pushButton_connect->setText(QCoreApplication::translate("cloudConfiguredClass", "Connect", nullptr));
    label_5->setText(QCoreApplication::translate("cloudConfiguredClass", "MAC", nullptr));
    label_4->setText(QCoreApplication::translate("cloudConfiguredClass", "Port", nullptr));
    label_2->setText(QCoreApplication::translate("cloudConfiguredClass", "IP", nullptr));
    radioButton_handle->setText(QCoreApplication::translate("cloudConfiguredClass", "Manual", nullptr));
    pushButton_config->setText(QCoreApplication::translate("cloudConfiguredClass", "Apply", nullptr));
    pushButton_about->setText(QCoreApplication::translate("cloudConfiguredClass", "About", nullptr));
    pushButton_logclear->setText(QCoreApplication::translate("cloudConfiguredClass", "Clear", nullptr));
}

} // namespace Ui
