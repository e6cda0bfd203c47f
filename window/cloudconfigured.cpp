// SPDX-License-Identifier: MIT
#include "window/cloudconfigured.h"

#include "window/formfit.h"
#include "window/portcombobox.h"
#include "desktop/desktopsettings.h"
#include "serial/spcomm.h"
#include "protocol/values.h"
#include "protocol/wireformat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSettings>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <array>
#include <utility>

namespace {

const QString lastPortKey = QStringLiteral("lastPort");
// Named like the desktop entry (com.telvor.VevConfig), not through the
// application's name: the serial library writes that into lock files, and
// other programs judge a lock by it.
const QString settingsName = QStringLiteral("VevConfig");


const char *const openStyle = "background-color:rgb(0,170,0);";
const char *const closeStyle = "background-color:rgb(255,0,0);";

void installValidator(QLineEdit *field, Setting setting)
{
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(valuePattern(setting)), field));
    field->setEnabled(false);
}

const char *acknowledgementLabel(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress: return "VeV-Idire IP:";
    case Setting::Gateway: return "VeV-Idire Gateway:";
    case Setting::Port: return "VeV-Idire Port:";
    case Setting::MacAddress: return "VeV-Idire MAC:";
    }
    return "";
}

// The names the log uses for settings, as in the acknowledgement lines.
const char *shortName(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress: return "IP";
    case Setting::Gateway: return "Gateway";
    case Setting::Port: return "Port";
    case Setting::MacAddress: return "MAC";
    }
    return "";
}

QTimer *replyTimer(QObject *parent)
{
    auto *timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(cloudConfigured::replyTimeoutMs);
    return timer;
}

// Translated where it is shown.
const char *invalidValueLabel(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress: return QT_TRANSLATE_NOOP("cloudConfigured", "Invalid IP address: ");
    case Setting::Gateway: return QT_TRANSLATE_NOOP("cloudConfigured", "Invalid gateway address: ");
    case Setting::Port: return QT_TRANSLATE_NOOP("cloudConfigured", "Invalid port: ");
    case Setting::MacAddress: return QT_TRANSLATE_NOOP("cloudConfigured", "Invalid MAC address: ");
    }
    return "";
}

} // namespace

QString openFailureText(const QString &portName, OpenFailure failure, const QString &reason)
{
    return cloudConfigured::tr("Cannot open port %1: %2").arg(portName, openFailureReason(failure, reason));
}

QString cloudConfigured::settingsPath()
{
    return desktopSettingsPath(settingsName);
}

cloudConfigured::cloudConfigured(QWidget *parent)
    : cloudConfigured(HostEnvironment::system(), parent)
{
}

cloudConfigured::cloudConfigured(HostEnvironment env, QWidget *parent)
    : QMainWindow(parent)
    , comm(nullptr)
    , portOpen(false)
    , readPending(false)
    , writePending(false)
    , m_env(std::move(env))
    , m_settings(nullptr)
    , m_readTimer(replyTimer(this))
    , m_writeTimer(replyTimer(this))
{
    ui.setupUi(this);
    fitTextsToFont(ui);
    ui.pushButton_Open->setStyleSheet(QStringLiteral("background-color:rgb(0, 170, 0);"));
    // Screen readers announce the fields by these; the captions beside them
    // are plain labels.
    ui.lineEdit_ip->setAccessibleName(tr("IP address"));
    ui.lineEdit_gatway->setAccessibleName(tr("Gateway"));
    ui.lineEdit_port->setAccessibleName(tr("TCP port"));
    ui.lineEdit_mac->setAccessibleName(tr("MAC address"));
    ui.comboBox->setAccessibleName(tr("Serial port"));
    // A screen reader reads the selector's editor, not the box around it.
    ui.comboBox->lineEdit()->setAccessibleName(tr("Serial port"));
    ui.textEdit_log->setAccessibleName(tr("Log"));
    openSettings();

    comm = new SPComm(this);
    scanPorts();
    offerLastPort();
    portOpen = false;
    connect(comm, &SPComm::comRecive, this, &cloudConfigured::CommReceiveHandle);
    connect(comm, &SPComm::portLost, this, &cloudConfigured::portLost);
    ui.textEdit_log->document()->setMaximumBlockCount(maxLogLines);

    installValidator(ui.lineEdit_ip, Setting::IpAddress);
    installValidator(ui.lineEdit_gatway, Setting::Gateway);
    installValidator(ui.lineEdit_port, Setting::Port);
    installValidator(ui.lineEdit_mac, Setting::MacAddress);

    // USB adapters come and go: while the port is closed, the list follows.
    m_rescan = new QTimer(this);
    m_rescan->setSingleShot(true);
    m_rescan->setInterval(hotplugSettleMs);
    connect(m_rescan, &QTimer::timeout, this, [this] {
        if (!portOpen)
            scanPorts();
    });
    if (m_env.watchPorts)
        m_env.watchPorts(this, [this] { m_rescan->start(); });

    connect(m_readTimer, &QTimer::timeout, this, &cloudConfigured::readTimeUp);
    connect(m_writeTimer, &QTimer::timeout, this, &cloudConfigured::writeTimeUp);
}

cloudConfigured::~cloudConfigured()
{
    // Closes a port that is still open.
    delete comm;
}

// --- Port selection and open/close ----------------------------------------

void cloudConfigured::on_comboBox_clicked()
{
    scanPorts();
}

void cloudConfigured::scanPorts()
{
    // The list is rebuilt, not appended to. A port the operator picked stays
    // picked while it is listed; a typed device path, or a picked port that
    // has gone, stays as text, so Open fails with its reason instead of
    // opening another device (another module) in its place.
    const QString current = ui.comboBox->currentText();
    const QStringList ports = m_env.freePorts();

    ui.comboBox->clear();
    ui.comboBox->addItems(ports);
    const int listed = ports.indexOf(current);
    if (listed >= 0)
        ui.comboBox->setCurrentIndex(listed);
    else if (!current.isEmpty())
        ui.comboBox->setEditText(current);
}

void cloudConfigured::openSettings()
{
    QString why;
    m_settings = openDesktopSettings(settingsName, this, &why);
    if (!m_settings)
        log(tr("Settings not used: %1; the last port opened is not remembered.").arg(why));
}

void cloudConfigured::offerLastPort()
{
    if (!m_settings)
        return;
    // The port last opened, picked if it is listed, else typed in.
    const QString last = m_settings->value(lastPortKey).toString();
    if (last.isEmpty())
        return;
    const int listed = ui.comboBox->findText(last);
    if (listed >= 0)
        ui.comboBox->setCurrentIndex(listed);
    else
        ui.comboBox->setEditText(last);
}

void cloudConfigured::on_pushButton_Open_clicked()
{
    if (portOpen)
        closePort();
    else
        openPort();
}

void cloudConfigured::openPort()
{
    if (comm->isOpen()) {
        showPortOpen(true);
        return;
    }

    const QString name = ui.comboBox->currentText().trimmed();
    if (name.isEmpty()) {
        const QString text = tr("No serial port selected.");
        log(text);
        showMessage(text);
        return;
    }

    comm->setBaudRate(::lineSpeed);
    comm->setPortName(name);
    if (!comm->open()) {
        const QString text = openFailureText(name, diagnoseOpenFailure(name, comm->error()), comm->errorString());
        log(text);
        showMessage(text);
        return;
    }

    m_openPortName = name;
    if (m_settings)
        m_settings->setValue(lastPortKey, name);
    showPortOpen(true);
    ui.comboBox->setEnabled(false);
    logLocalHost();
}

void cloudConfigured::showPortOpen(bool open)
{
    portOpen = open;
    ui.pushButton_Open->setText(open ? tr("Close") : QCoreApplication::translate("cloudConfiguredClass", "Open"));
    ui.pushButton_Open->setStyleSheet(QLatin1String(open ? closeStyle : openStyle));
}

void cloudConfigured::closePort()
{
    showPortOpen(false);
    comm->close();
    ui.comboBox->setEnabled(true);
    // Whatever arrives on the next opening answers nothing sent before.
    readPending = false;
    writePending = false;
    m_readRequest.end();
    m_writeRequest.end();
    m_readTimer->stop();
    m_writeTimer->stop();
}

void cloudConfigured::portLost(const QString &reason)
{
    if (!portOpen)
        return;
    closePort();
    log(tr("Port %1 closed: %2").arg(m_openPortName, reason));
}

void cloudConfigured::logLocalHost()
{
    hostName = m_env.localHostName();
    log(tr("Computer name:") + hostName);

    const QStringList addresses = localIpv4Addresses(m_env, hostName);
    const auto source = chooseAutoSource(m_env, addresses);
    for (const QString &address : addresses) {
        log(tr("Local IP address:") + address);
        log(tr("Local Gateway:")
            + (source && source->ip == address ? source->gateway : gatewayFor(address)));
    }
    // With several networks (a docker or VM bridge, Wi-Fi and a cable) the
    // last address is no guide: Auto takes the one the computer routes by.
    if (source) {
        hostIp = source->ip;
        hostGateway = source->gateway;
        log(tr("Auto uses %1 with gateway %2 (%3).").arg(hostIp, hostGateway, source->how));
    }
}

// --- Read and write requests ------------------------------------------------

bool cloudConfigured::refuseWhileClosed()
{
    // Only the toggle's state counts, as the operator sees it on the button.
    if (portOpen)
        return false;
    showMessage(tr("Please Open the Port!"));
    return true;
}

void cloudConfigured::on_pushButton_connect_clicked()
{
    if (refuseWhileClosed())
        return;

    readPending = true;
    m_readRequest.startRead();
    for (Setting setting : allSettings)
        comm->write(commandBytes(readCommand(setting)).constData());
    m_readTimer->start();
}

void cloudConfigured::on_pushButton_config_clicked()
{
    if (refuseWhileClosed())
        return;

    std::array<std::optional<QString>, allSettings.size()> values;
    if (ui.radioButton_auto->isChecked()) {
        const AutoAddress derived = deriveAutoAddress(hostIp, hostGateway);
        if (!derived.error.isEmpty()) {
            log(derived.error);
            showMessage(derived.error);
            return;
        }
        values = {derived.ip, derived.gateway, ui.lineEdit_port->text(), ui.lineEdit_mac->text()};
    } else if (ui.radioButton_handle->isChecked()) {
        values = {ui.lineEdit_ip->text(), ui.lineEdit_gatway->text(), ui.lineEdit_port->text(),
                  ui.lineEdit_mac->text()};
    } else {
        return;
    }

    // An empty, half-typed or unusable value would leave the module
    // unreachable: refuse before anything is sent.
    if (const auto problem = checkValues(values)) {
        QString text = tr(invalidValueLabel(problem->setting)) + problem->value;
        if (!problem->reason.isEmpty())
            text += QStringLiteral(" (") + problem->reason + QLatin1Char(')');
        showMessage(text);
        return;
    }

    // An answer to Connect still on its way would put the module's old
    // values into the form after these writes, and a second Apply would
    // write them back.
    if (readPending) {
        readPending = false;
        m_readTimer->stop();
        m_readRequest.end();
        log(tr("Connect's read cancelled: Apply writes new values."));
    }

    writePending = true;
    m_writeRequest.startWrite();
    for (std::size_t i = 0; i < allSettings.size(); ++i) {
        const Setting setting = allSettings[i];
        sentValue(setting) = *values[i];
        m_writeRequest.sent(setting);
        comm->write(commandBytes(writeCommand(setting, *values[i])).constData());
        if (i + 1 < allSettings.size())
            delayMs(writePauseMs);
    }
    m_writeTimer->start();
}

QString &cloudConfigured::sentValue(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress: return cloudIp;
    case Setting::Gateway: return cloudGateway;
    case Setting::Port: return cloudPort;
    case Setting::MacAddress: break;
    }
    return cloudMac;
}

void cloudConfigured::delayMs(int ms)
{
    // A busy wait on the monotonic clock, kept on purpose: the module takes
    // a second to store each value, and serving the event loop here would
    // let the operator start a second request in the middle of this one.
    // A change of the wall clock (midnight, a time sync) cannot stretch or
    // cut it.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() <= ms) {
    }
}

void cloudConfigured::readTimeUp()
{
    // A frame that began in time is part of the answer: end with it.
    m_readRequest.timeUp(comm->frameInProgress());
    if (m_readRequest.isOver())
        endRead();
}

void cloudConfigured::writeTimeUp()
{
    m_writeRequest.timeUp(comm->frameInProgress());
    if (m_writeRequest.isOver())
        endWrite();
}

void cloudConfigured::endRead()
{
    if (!readPending)
        return;
    readPending = false;
    m_readTimer->stop();
    showReadValues(m_readRequest.finishRead());
    m_readRequest.end();
    if (!m_readRequest.gatherer().answered())
        log(tr("No reply from the module."));
}

void cloudConfigured::endWrite()
{
    if (!writePending)
        return;
    writePending = false;
    m_writeTimer->stop();
    m_writeRequest.end();
    if (!m_writeRequest.tally().answered()) {
        log(tr("No reply from the module."));
        return;
    }
    const QList<Setting> missing = m_writeRequest.tally().missing().toList();
    if (missing.isEmpty())
        return;
    QStringList names;
    for (Setting setting : missing)
        names << QLatin1String(shortName(setting));
    log(tr("Not acknowledged by the module: %1.").arg(names.join(QStringLiteral(", "))));
}

// --- Replies ----------------------------------------------------------------

void cloudConfigured::CommReceiveHandle()
{
    rxBytes = comm->takeReceived();
    const QString text = frameText(rxBytes);
    rxBytes.clear();

    if (!readPending && !writePending)
        return;

    // A module's answer may come in several frames (a slow line, a pause,
    // a noise byte that starts a frame early): each request gathers from
    // every frame until its answer is whole or its time is up.
    if (readPending)
        parseReadReply(text);
    log(text);

    if (writePending) {
        const SettingSet acknowledged = m_writeRequest.feed(text);
        for (Setting setting : acknowledged.toList())
            log(QLatin1String(acknowledgementLabel(setting)) + sentValue(setting));
    }

    // A frame is whole: an answer that was under way when the time was up
    // has ended with it.
    for (ModuleRequest *request : {&m_readRequest, &m_writeRequest}) {
        if (request->isTimeUp())
            request->answerEnded();
    }
    if (readPending && m_readRequest.isOver())
        endRead();
    if (writePending && m_writeRequest.isOver())
        endWrite();
}

void cloudConfigured::parseReadReply(QString text)
{
    showReadValues(m_readRequest.feed(text));
}

void cloudConfigured::showReadValues(SettingSet settings)
{
    if (settings.contains(Setting::MacAddress)) {
        log(QStringLiteral("\r\n") + tr("Connected!") + QStringLiteral("\r\n"));
        devMac = *m_readRequest.gatherer().value(Setting::MacAddress);
        ui.lineEdit_mac->setText(devMac);
    }
    if (settings.contains(Setting::IpAddress)) {
        devIp = *m_readRequest.gatherer().value(Setting::IpAddress);
        ui.lineEdit_ip->setText(devIp);
    }
    if (settings.contains(Setting::Gateway)) {
        devGateway = *m_readRequest.gatherer().value(Setting::Gateway);
        ui.lineEdit_gatway->setText(devGateway);
    }
    if (settings.contains(Setting::Port)) {
        devPort = *m_readRequest.gatherer().value(Setting::Port);
        ui.lineEdit_port->setText(devPort);
    }
}

// --- Mode, log and about ----------------------------------------------------

void cloudConfigured::on_radioButton_auto_toggled()
{
    if (!ui.radioButton_auto->isChecked())
        return;
    ui.lineEdit_ip->setEnabled(false);
    ui.lineEdit_gatway->setEnabled(false);
    ui.lineEdit_port->setEnabled(false);
    ui.lineEdit_mac->setEnabled(false);
}

void cloudConfigured::on_radioButton_handle_toggled()
{
    if (!ui.radioButton_handle->isChecked())
        return;
    ui.lineEdit_ip->setEnabled(true);
    ui.lineEdit_gatway->setEnabled(true);
    ui.lineEdit_port->setEnabled(true);
    ui.lineEdit_mac->setEnabled(true);
}

void cloudConfigured::on_pushButton_logclear_clicked()
{
    ui.textEdit_log->clear();
}

void cloudConfigured::on_pushButton_about_clicked()
{
    QMessageBox box;
    box.setWindowTitle(tr("About VeV-Idire Configuration"));
    box.setText(tr("version:v%1\r\nCopyright 2026 TELVOR\r\nE-mail:support@telvor.example\r\nTell:+1 555 0100")
                    .arg(QStringLiteral(VEV_VERSION)));
    box.exec();
}

void cloudConfigured::log(const QString &text)
{
    // Appended as plain text, whatever the module sent: a reply holding
    // "<b>" or "<img" must show its angle brackets, not render them.
    QScrollBar *scroll = ui.textEdit_log->verticalScrollBar();
    const bool following = scroll->value() == scroll->maximum();
    QTextDocument *document = ui.textEdit_log->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    if (!document->isEmpty())
        cursor.insertBlock();
    if (text.size() > maxLogEntryChars) {
        cursor.insertText(text.left(maxLogEntryChars)
                          + tr(" ... (%1 more characters not shown)").arg(text.size() - maxLogEntryChars));
    } else {
        cursor.insertText(text);
    }
    if (following)
        scroll->setValue(scroll->maximum());
}

void cloudConfigured::showMessage(const QString &text)
{
    QMessageBox box;
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}
