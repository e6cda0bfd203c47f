// SPDX-License-Identifier: MIT
#include "stationwindow/setuppanel.h"

#include "store/databaseuri.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace {

// Rows of the port list shown without scrolling.
constexpr int visiblePortRows = 3;

// The label kinds as the list offers them, in StationSetup::Labels' order,
// and what their field holds.
const char *const labelChoices[] = {QT_TRANSLATE_NOOP("SetupPanel", "No labels"),
                                    QT_TRANSLATE_NOOP("SetupPanel", "PDF files in a folder"),
                                    QT_TRANSLATE_NOOP("SetupPanel", "ZPL printer"),
                                    QT_TRANSLATE_NOOP("SetupPanel", "CUPS printer")};
const char *const labelHints[] = {"", QT_TRANSLATE_NOOP("SetupPanel", "a folder"),
                                  QT_TRANSLATE_NOOP("SetupPanel", "HOST:PORT, such as 10.0.0.9:9100"),
                                  QT_TRANSLATE_NOOP("SetupPanel", "a printer's name (lpstat -p)")};

QStringList tickedPorts(const QListWidget *list)
{
    QStringList ports;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            ports << list->item(i)->text();
    }
    return ports;
}

QListWidgetItem *portItem(const QString &port, bool ticked)
{
    auto *item = new QListWidgetItem(port);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    return item;
}

} // namespace

SetupPanel::SetupPanel(HostEnvironment env, QWidget *parent)
    : QGroupBox(tr("Set-up"), parent)
    , m_env(std::move(env))
    , m_plan(fileField("lineEdit_plan", tr("Plan file")))
    , m_audit(fileField("lineEdit_audit", tr("Audit file")))
    , m_station(new QLineEdit(this))
    , m_labels(new QComboBox(this))
    , m_labelDestination(new QLineEdit(this))
    , m_serial(new QComboBox(this))
    , m_serialPattern(new QLineEdit(this))
    , m_ports(new QListWidget(this))
    , m_typedPort(new QLineEdit(this))
    , m_rescan(new QTimer(this))
{
    setObjectName(QStringLiteral("groupBox_setup"));
    m_station->setObjectName(QStringLiteral("lineEdit_station"));
    m_station->setAccessibleName(tr("Station name"));
    m_station->setPlaceholderText(m_env.localHostName ? m_env.localHostName() : QString());
    m_labels->setObjectName(QStringLiteral("comboBox_labels"));
    m_labels->setAccessibleName(tr("Labels for the modules that pass"));
    for (const char *choice : labelChoices)
        m_labels->addItem(tr(choice));
    m_labelDestination->setObjectName(QStringLiteral("lineEdit_labelDestination"));
    m_labelDestination->setAccessibleName(tr("Where the labels go"));
    m_serial->setObjectName(QStringLiteral("comboBox_serial"));
    m_serial->setAccessibleName(tr("The units' serial numbers"));
    m_serial->addItems({tr("No serials"), tr("Serial when scanned"),
                        tr("Serial required")});
    m_serialPattern->setObjectName(QStringLiteral("lineEdit_serialPattern"));
    m_serialPattern->setAccessibleName(tr("Pattern a serial must match"));
    m_serialPattern->setPlaceholderText(tr("pattern, e.g. SN-[0-9]{6}"));
    m_ports->setObjectName(QStringLiteral("list_ports"));
    m_ports->setAccessibleName(tr("Serial ports: tick one for each lane"));
    m_ports->setMinimumHeight(m_ports->fontMetrics().height() * visiblePortRows);
    m_typedPort->setObjectName(QStringLiteral("lineEdit_typedPort"));
    m_typedPort->setAccessibleName(tr("Port to add, by device path"));
    m_typedPort->setPlaceholderText(QStringLiteral("/dev/serial/by-id/…"));

    auto *browsePlan = new QPushButton(tr("Browse…"), this);
    browsePlan->setObjectName(QStringLiteral("pushButton_plan"));
    browsePlan->setAccessibleName(tr("Choose the plan file"));
    auto *browseAudit = new QPushButton(tr("Browse…"), this);
    browseAudit->setObjectName(QStringLiteral("pushButton_audit"));
    browseAudit->setAccessibleName(tr("Choose the audit file"));
    auto *add = new QPushButton(tr("Add port"), this);
    add->setObjectName(QStringLiteral("pushButton_addPort"));

    m_instructions = fileField("lineEdit_instructions", tr("Instructions file"));
    m_instructions->setPlaceholderText(tr("none: the tiles say what to do in their own words"));
    m_instructions->setToolTip(tr("A text file, one line per kind of outcome: kind = text (see the manual)"));
    m_ackFail = new QCheckBox(tr("A FAIL holds its lane until acknowledged"), this);
    m_ackFail->setObjectName(QStringLiteral("checkBox_ackFail"));
    m_ackFail->setToolTip(tr("The lane takes no next module until the operator clicks its tile, presses Enter or "
                             "scans %1").arg(QLatin1String(Instructions::acknowledgeCode)));
    m_roster = fileField("lineEdit_roster", tr("Roster file"));
    m_roster->setPlaceholderText(tr("none: the operator types a name; with one, operators sign in with their badge"));
    layOut(browsePlan, browseAudit, add);

    connect(browsePlan, &QPushButton::clicked, this, [this] { browse(m_plan, false); });
    connect(browseAudit, &QPushButton::clicked, this, [this] { browse(m_audit, true); });
    connect(add, &QPushButton::clicked, this, [this] { addPort(m_typedPort->text().trimmed()); });
    connect(m_typedPort, &QLineEdit::returnPressed, this, [this] { addPort(m_typedPort->text().trimmed()); });
    connect(m_labels, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int kind) {
        m_labelDestination->setEnabled(kind != 0);
        m_labelDestination->setPlaceholderText(kind == 0 ? QString() : tr(labelHints[kind]));
    });
    m_labelDestination->setEnabled(false);
    m_plan->setPlaceholderText(tr("a CSV file, or postgresql://… for a plan several benches share"));
    // A plan in a database keeps its audit there too.
    connect(m_plan, &QLineEdit::textChanged, this, [this] {
        const bool database = DatabaseUri::isUri(m_plan->text().trimmed());
        m_audit->setEnabled(!database);
        m_audit->setPlaceholderText(database ? tr("in the database, with the plan") : QString());
    });

    // Adapters come and go: while the set-up can be changed, the list follows.
    m_rescan->setSingleShot(true);
    m_rescan->setInterval(hotplugSettleMs);
    connect(m_rescan, &QTimer::timeout, this, [this] {
        if (isEnabled())
            scanPorts();
    });
    if (m_env.watchPorts)
        m_env.watchPorts(this, [this] { m_rescan->start(); });
    scanPorts();
}

void SetupPanel::layOut(QPushButton *browsePlan, QPushButton *browseAudit, QPushButton *add)
{
    auto *grid = new QGridLayout(this);
    const auto caption = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    grid->addWidget(caption(tr("&Plan:"), m_plan), 0, 0);
    grid->addWidget(m_plan, 0, 1);
    grid->addWidget(browsePlan, 0, 2);
    grid->addWidget(caption(tr("&Audit:"), m_audit), 1, 0);
    grid->addWidget(m_audit, 1, 1);
    grid->addWidget(browseAudit, 1, 2);
    // The roster beside the station: the two say who works here.
    auto *names = new QHBoxLayout;
    names->addWidget(m_station, 1);
    names->addWidget(caption(tr("Roste&r:"), m_roster));
    names->addWidget(m_roster, 2);
    grid->addWidget(caption(tr("S&tation:"), m_station), 2, 0);
    grid->addLayout(names, 2, 1, 1, 2);
    auto *labels = new QHBoxLayout;
    labels->addWidget(m_labels);
    labels->addWidget(m_labelDestination, 1);
    grid->addWidget(caption(tr("La&bels:"), m_labels), 3, 0);
    grid->addLayout(labels, 3, 1, 1, 2);
    auto *serials = new QHBoxLayout;
    serials->addWidget(m_serial);
    serials->addWidget(m_serialPattern, 1);
    grid->addWidget(caption(tr("Se&rials:"), m_serial), 4, 0);
    grid->addLayout(serials, 4, 1, 1, 2);
    grid->addWidget(caption(tr("&Lanes:"), m_ports), 0, 3);
    grid->addWidget(m_ports, 0, 4, 3, 2);
    grid->addWidget(m_typedPort, 3, 4);
    grid->addWidget(add, 3, 5);
    // The instructions and the hold that goes with a FAIL on one row: the
    // set-up stays short enough for a small screen.
    auto *instructions = new QHBoxLayout;
    instructions->addWidget(m_instructions, 1);
    instructions->addWidget(m_ackFail);
    grid->addWidget(caption(tr("I&nstructions:"), m_instructions), 4, 3);
    grid->addLayout(instructions, 4, 4, 1, 2);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(4, 2);
}

QLineEdit *SetupPanel::fileField(const char *name, const QString &accessibleName)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setAccessibleName(accessibleName);
    connect(field, &QLineEdit::editingFinished, this, [this, field] {
        if (field->isModified()) {
            field->setModified(false);
            emit filesChanged();
        }
    });
    return field;
}

void SetupPanel::browse(QLineEdit *field, bool audit)
{
    const QString start = field->text().isEmpty() || DatabaseUri::isUri(field->text().trimmed())
                              ? QString()
                              : QFileInfo(field->text()).absolutePath();
    // An audit is appended to, or made: choosing an existing one is no
    // overwrite.
    const QString path = audit ? QFileDialog::getSaveFileName(this, tr("Audit file"), start,
                                                              tr("Audit (*.jsonl);;All files (*)"), nullptr,
                                                              QFileDialog::DontConfirmOverwrite)
                               : QFileDialog::getOpenFileName(this, tr("Plan"), start,
                                                              tr("Plans (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    field->setText(path);
    emit filesChanged();
}

void SetupPanel::setSetup(const StationSetup &setup)
{
    m_plan->setText(setup.planPath);
    m_audit->setText(setup.auditPath);
    m_station->setText(setup.station);
    m_roster->setText(setup.rosterPath);
    m_labels->setCurrentIndex(int(setup.labels));
    m_labelDestination->setText(setup.labelDestination);
    m_serial->setCurrentIndex(int(setup.serial));
    m_serialPattern->setText(setup.serialPattern);
    m_maxAttempts = setup.maxAttempts;
    m_instructions->setText(setup.instructionsPath);
    m_ackFail->setChecked(setup.ackFail);
    for (int i = 0; i < m_ports->count(); ++i)
        m_ports->item(i)->setCheckState(setup.ports.contains(m_ports->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
    for (const QString &port : setup.ports)
        addPort(port);
}

StationSetup SetupPanel::setup() const
{
    StationSetup setup;
    setup.planPath = m_plan->text().trimmed();
    setup.auditPath = m_audit->text().trimmed();
    setup.station = m_station->text().trimmed();
    setup.rosterPath = m_roster->text().trimmed();
    setup.labels = StationSetup::Labels(m_labels->currentIndex());
    setup.labelDestination = m_labelDestination->text().trimmed();
    setup.ports = tickedPorts(m_ports);
    setup.serial = Lane::SerialMode(m_serial->currentIndex());
    setup.serialPattern = m_serialPattern->text().trimmed();
    setup.maxAttempts = m_maxAttempts;
    setup.instructionsPath = m_instructions->text().trimmed();
    setup.ackFail = m_ackFail->isChecked();
    return setup;
}

void SetupPanel::addPort(const QString &port)
{
    if (port.isEmpty())
        return;
    const auto found = m_ports->findItems(port, Qt::MatchExactly);
    if (found.isEmpty())
        m_ports->addItem(portItem(port, true));
    else
        found.first()->setCheckState(Qt::Checked);
    if (port == m_typedPort->text().trimmed())
        m_typedPort->clear();
}

void SetupPanel::scanPorts()
{
    // Rebuilt, not appended to: the ports listed now, then the ticked ones
    // the computer does not list (typed paths, an adapter unplugged for a
    // moment), still ticked, so that Start says what is wrong with them
    // instead of a lane silently going missing.
    const QStringList ticked = tickedPorts(m_ports);
    const QStringList listed = m_env.freePorts ? m_env.freePorts() : QStringList();
    m_ports->clear();
    for (const QString &port : listed)
        m_ports->addItem(portItem(port, ticked.contains(port)));
    for (const QString &port : ticked) {
        if (!listed.contains(port))
            m_ports->addItem(portItem(port, true));
    }
}
