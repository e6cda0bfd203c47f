#include "cloudconfigured.h"

#include "portcombobox.h"
#include "spcomm.h"
#include "values.h"
#include "wireformat.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <array>
#include <utility>

namespace {

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

constexpr unsigned allAcknowledged = (1u << allSettings.size()) - 1;

const char *invalidValueLabel(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress: return "Invalid IP address: ";
    case Setting::Gateway: return "Invalid gateway address: ";
    case Setting::Port: return "Invalid port: ";
    case Setting::MacAddress: return "Invalid MAC address: ";
    }
    return "";
}

} // namespace

QString openFailureText(const QString &portName, QSerialPort::SerialPortError error,
                        const QString &reason)
{
    QString text = QStringLiteral("Cannot open port ") + portName + QStringLiteral(": ") + reason;
    if (error == QSerialPort::PermissionError) {
        text += QStringLiteral("\nTo get access, join the group that owns the device (usually dialout): "
                               "sudo usermod -aG dialout $USER, then log out and in again.");
    }
    return text;
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
    , m_replyTimer(nullptr)
{
    ui.setupUi(this);
    ui.pushButton_Open->setStyleSheet(QStringLiteral("background-color:rgb(0, 170, 0);"));

    comm = new SPComm();
    scanPorts();
    portOpen = false;
    connect(comm, &SPComm::comRecive, this, &cloudConfigured::CommReceiveHandle);
    connect(comm, &SPComm::portLost, this, &cloudConfigured::portLost);
    ui.textEdit_log->document()->setMaximumBlockCount(maxLogLines);

    installValidator(ui.lineEdit_ip, Setting::IpAddress);
    installValidator(ui.lineEdit_gatway, Setting::Gateway);
    installValidator(ui.lineEdit_port, Setting::Port);
    installValidator(ui.lineEdit_mac, Setting::MacAddress);

    m_replyTimer = new QTimer(this);
    m_replyTimer->setSingleShot(true);
    m_replyTimer->setInterval(replyTimeoutMs);
    connect(m_replyTimer, &QTimer::timeout, this, &cloudConfigured::giveUpRequest);
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
    // picked while it is listed; a device path they typed stays typed.
    const QString current = ui.comboBox->currentText();
    const bool typed = !current.isEmpty() && ui.comboBox->findText(current) < 0;
    const QStringList ports = m_env.freePorts();

    ui.comboBox->clear();
    ui.comboBox->addItems(ports);
    const int listed = ports.indexOf(current);
    if (listed >= 0)
        ui.comboBox->setCurrentIndex(listed);
    else if (typed)
        ui.comboBox->setEditText(current);
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
        const QString text = QStringLiteral("No serial port selected.");
        log(text);
        showMessage(text);
        return;
    }

    comm->setBaudRate(lineSpeed);
    comm->setPortName(name);
    if (!comm->open()) {
        const QString text = openFailureText(name, comm->error(), comm->errorString());
        log(text);
        showMessage(text);
        return;
    }

    m_openPortName = name;
    showPortOpen(true);
    ui.comboBox->setEnabled(false);
    logLocalHost();
}

void cloudConfigured::showPortOpen(bool open)
{
    portOpen = open;
    ui.pushButton_Open->setText(open ? QStringLiteral("Close") : QStringLiteral("Open"));
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
    m_replyTimer->stop();
}

void cloudConfigured::portLost(const QString &reason)
{
    if (!portOpen)
        return;
    closePort();
    log(QStringLiteral("Port ") + m_openPortName + QStringLiteral(" closed: ") + reason);
}

void cloudConfigured::logLocalHost()
{
    hostName = m_env.localHostName();
    log(QStringLiteral("Computer name:") + hostName);

    const QStringList addresses = localIpv4Addresses(m_env, hostName);
    for (const QString &address : addresses) {
        hostIp = address;
        hostGateway = gatewayFor(hostIp);
        log(QStringLiteral("Local IP address:") + hostIp);
        log(QStringLiteral("Local Gateway:") + hostGateway);
    }
}

// --- Read and write requests ------------------------------------------------

bool cloudConfigured::refuseWhileClosed()
{
    // Only the toggle's state counts, as the operator sees it on the button.
    if (portOpen)
        return false;
    showMessage(QStringLiteral("Please Open the Port!"));
    return true;
}

void cloudConfigured::on_pushButton_connect_clicked()
{
    if (refuseWhileClosed())
        return;

    readPending = true;
    for (Setting setting : allSettings)
        comm->write(commandBytes(readCommand(setting)).constData());
    awaitReply();
}

void cloudConfigured::on_pushButton_config_clicked()
{
    if (refuseWhileClosed())
        return;

    std::array<QString, allSettings.size()> values;
    if (ui.radioButton_auto->isChecked()) {
        values = {nextAddress(hostIp), hostGateway, ui.lineEdit_port->text(), ui.lineEdit_mac->text()};
    } else if (ui.radioButton_handle->isChecked()) {
        values = {ui.lineEdit_ip->text(), ui.lineEdit_gatway->text(), ui.lineEdit_port->text(),
                  ui.lineEdit_mac->text()};
    } else {
        return;
    }

    // An empty or half-typed value would overwrite the module's setting
    // with nonsense: refuse before anything is sent.
    for (std::size_t i = 0; i < allSettings.size(); ++i) {
        if (!isValidValue(allSettings[i], values[i])) {
            showMessage(QLatin1String(invalidValueLabel(allSettings[i])) + values[i]);
            return;
        }
    }

    writePending = true;
    m_writeAnswered = false;
    m_acknowledged = 0;
    for (std::size_t i = 0; i < allSettings.size(); ++i) {
        const Setting setting = allSettings[i];
        sentValue(setting) = values[i];
        comm->write(commandBytes(writeCommand(setting, values[i])).constData());
        if (i + 1 < allSettings.size())
            delayMs(writePauseMs);
    }
    awaitReply();
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
    // A busy wait on the monotonic clock: it does not serve the event loop,
    // and a change of the wall clock (midnight, a time sync) cannot stretch
    // or cut it.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() <= ms) {
    }
}

void cloudConfigured::awaitReply()
{
    m_replyTimer->start();
}

void cloudConfigured::giveUpRequest()
{
    const bool unanswered = readPending || (writePending && !m_writeAnswered);
    readPending = false;
    writePending = false;
    if (unanswered)
        log(QStringLiteral("No reply from the module."));
}

// --- Replies ----------------------------------------------------------------

void cloudConfigured::CommReceiveHandle()
{
    rxBytes = comm->takeReceived();
    const QString text = frameText(rxBytes);
    rxBytes.clear();

    if (readPending) {
        readPending = false;
        parseReadReply(text);
        log(text);
    }

    if (writePending) {
        // Apply's pauses keep the event loop from cutting frames while the
        // module acknowledges, so the last acknowledgement usually arrives
        // in a frame of its own: the request takes acknowledgements from
        // every frame until all four have come or the reply time is up.
        m_writeAnswered = true;
        for (Setting setting : allSettings) {
            const unsigned bit = 1u << static_cast<unsigned>(setting);
            if ((m_acknowledged & bit) == 0 && acknowledges(text, setting)) {
                m_acknowledged |= bit;
                log(QLatin1String(acknowledgementLabel(setting)) + sentValue(setting));
            }
        }
        if (m_acknowledged == allAcknowledged)
            writePending = false;
    }

    if (!readPending && !writePending)
        m_replyTimer->stop();
}

void cloudConfigured::parseReadReply(QString text)
{
    if (const auto mac = replyValue(text, Setting::MacAddress)) {
        log(QStringLiteral("\r\nConnected!\r\n"));
        devMac = *mac;
        ui.lineEdit_mac->setText(devMac);
    }
    if (const auto ip = replyValue(text, Setting::IpAddress)) {
        devIp = *ip;
        ui.lineEdit_ip->setText(devIp);
    }
    if (const auto gateway = replyValue(text, Setting::Gateway)) {
        devGateway = *gateway;
        ui.lineEdit_gatway->setText(devGateway);
    }
    if (const auto port = replyValue(text, Setting::Port)) {
        devPort = *port;
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
    box.setWindowTitle(QStringLiteral("About VeV-Idire Configuration"));
    box.setText(QStringLiteral("version:v1.0.0\r\n"
                               "Copyright 2026 TELVOR\r\n"
                               "E-mail:support@telvor.example\r\n"
                               "Tell:+1 555 0100"));
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
                          + QStringLiteral(" ... (%1 more characters not shown)").arg(text.size() - maxLogEntryChars));
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
