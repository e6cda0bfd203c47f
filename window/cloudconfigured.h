// SPDX-License-Identifier: MIT
#pragma once

#include "window/cloudconfiguredform.h"
#include "host/hostenvironment.h"
#include "serial/portaccess.h"
#include "protocol/modulerequest.h"

#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>
#include <QString>

class QSettings;
class QTimer;
class SPComm;
enum class Setting;

// The configuration window: opens the serial port, reads the module's four
// Ethernet settings into the form and writes them back.
class cloudConfigured : public QMainWindow
{
    Q_OBJECT

public:
    explicit cloudConfigured(QWidget *parent = nullptr);
    explicit cloudConfigured(HostEnvironment env, QWidget *parent = nullptr);
    ~cloudConfigured() override;

    // A request not answered in full this long after its handler returned
    // is ended with what has come; a frame begun by then is still taken.
    static constexpr int replyTimeoutMs = 3000;
    // The pause Apply makes after each of its first three writes.
    static constexpr int writePauseMs = 1000;
    // The log is for people: a flood of bytes is shown in part, and the
    // oldest lines go once there are this many.
    static constexpr int maxLogEntryChars = 4096;
    static constexpr int maxLogLines = 10000;
    // A plugged adapter makes several device nodes at once: one rescan once
    // they have settled.
    static constexpr int hotplugSettleMs = 300;

    // The settings file, where the port last opened is remembered.
    static QString settingsPath();

private slots:
    void on_pushButton_Open_clicked();
    void on_pushButton_config_clicked();
    void on_pushButton_connect_clicked();
    void CommReceiveHandle();
    void on_radioButton_auto_toggled();
    void on_radioButton_handle_toggled();
    void on_pushButton_logclear_clicked();
    void on_comboBox_clicked();
    void on_pushButton_about_clicked();

private:
    void parseReadReply(QString text);
    void delayMs(int ms);

    void scanPorts();
    // The settings file, unless something other than a file is in its place.
    void openSettings();
    void offerLastPort();
    bool refuseWhileClosed();
    void openPort();
    void closePort();
    // The toggle: portOpen and the button's text and colour.
    void showPortOpen(bool open);
    void logLocalHost();
    void log(const QString &text);
    void showMessage(const QString &text);
    void showReadValues(SettingSet settings);
    void readTimeUp();
    void writeTimeUp();
    void endRead();
    void endWrite();
    void portLost(const QString &reason);
    QString &sentValue(Setting setting);

    Ui::cloudConfiguredClass ui;
    SPComm *comm;
    bool portOpen;
    QByteArray rxBytes;
    QString devMac;
    QString devIp;
    QString devPort;
    QString devGateway;
    bool readPending;
    bool writePending;
    QString hostName;
    QString hostIp;
    QString hostGateway;
    QString cloudIp;
    QString cloudGateway;
    QString cloudPort;
    QString cloudMac;

    HostEnvironment m_env;
    QString m_openPortName;
    QSettings *m_settings; // null when its file cannot be used
    // Each request gathers its answer from every frame until it is whole or
    // its own reply time is up: a Connect during a write does not stretch
    // the write's time. readPending and writePending say whether each is
    // under way.
    ModuleRequest m_readRequest;
    ModuleRequest m_writeRequest;
    QTimer *m_readTimer;
    QTimer *m_writeTimer;
    QTimer *m_rescan = nullptr;
};

// What the operator is told when a port does not open: the reason, and how
// to get access when the device file itself is barred to the user.
QString openFailureText(const QString &portName, OpenFailure failure, const QString &reason);
