// SPDX-License-Identifier: MIT
#include "stationwindow/lanetile.h"

#include "protocol/wireformat.h"
#include "stationtext/lanetext.h"

#include <QEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// PASS on green and FAIL on red, both in white: the word carries the
// result, the colour lets it be seen across the bench.
const char *const passStyle = "background-color:#1b7a2e; color:white;";
const char *const failStyle = "background-color:#b71c1c; color:white;";
// The share of its label's room that the result's word takes.
constexpr double roomShare = 0.8;

QLabel *wrappingLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

const char *settingName(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress: return "IP";
    case Setting::Gateway: return "gateway";
    case Setting::Port: return "port";
    case Setting::MacAddress: return "MAC";
    }
    return "";
}

} // namespace

QString settingsText(const SettingValues &values)
{
    QStringList parts;
    for (Setting setting : allSettings) {
        if (const auto &value = valueOf(values, setting))
            parts << QStringLiteral("%1 %2").arg(QLatin1String(settingName(setting)), printable(*value));
    }
    return parts.join(QStringLiteral(", "));
}

LaneTile::LaneTile(const QString &port, QWidget *parent)
    : QFrame(parent)
    , m_portName(port)
    , m_port(new QLabel(printable(port), this))
    , m_activity(wrappingLabel("tile_activity", this))
    , m_row(wrappingLabel("tile_row", this))
    , m_before(wrappingLabel("tile_before", this))
    , m_result(new QLabel(this))
    , m_reason(wrappingLabel("tile_reason", this))
    , m_scan(new QLineEdit(this))
    , m_scanRefusal(wrappingLabel("tile_scan_refusal", this))
    , m_rework(new QPushButton(QStringLiteral("Rework done"), this))
{
    m_scan->setObjectName(QStringLiteral("tile_scan"));
    m_scan->setPlaceholderText(QStringLiteral("Scan the unit's serial"));
    m_scan->setAccessibleName(QStringLiteral("Serial of the unit on lane %1").arg(printable(port)));
    m_scan->hide();
    m_scanRefusal->setStyleSheet(QStringLiteral("color:#b71c1c;"));
    m_rework->setObjectName(QStringLiteral("tile_rework"));
    m_rework->setToolTip(QStringLiteral("The failed unit on this lane is back from rework: its attempts count again"));
    m_rework->hide();
    connect(m_scan, &QLineEdit::returnPressed, this, [this] {
        const QString code = m_scan->text();
        m_scan->clear();
        if (!code.trimmed().isEmpty())
            emit scanned(code);
    });
    connect(m_rework, &QPushButton::clicked, this, &LaneTile::reworkAsked);
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    // Reachable by Tab, so a screen reader can walk the tiles.
    setFocusPolicy(Qt::TabFocus);
    m_port->setObjectName(QStringLiteral("tile_port"));
    QFont bold = m_port->font();
    bold.setBold(true);
    m_port->setFont(bold);
    m_result->setObjectName(QStringLiteral("tile_result"));
    m_result->setAlignment(Qt::AlignCenter);
    // The label takes the room left and its type follows; it never asks for
    // more, or the tile could only grow.
    m_result->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    QFont smallest = font();
    smallest.setBold(true);
    smallest.setPointSizeF(QFontInfo(smallest).pointSizeF() * smallestResultScale);
    m_result->setMinimumSize(QFontMetrics(smallest).horizontalAdvance(QStringLiteral("PASS")), QFontMetrics(smallest).height());
    m_result->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_port);
    layout->addWidget(m_activity);
    layout->addWidget(m_row);
    layout->addWidget(m_before);
    layout->addWidget(m_result, 1);
    layout->addWidget(m_reason);
    layout->addWidget(m_scan);
    layout->addWidget(m_scanRefusal);
    layout->addWidget(m_rework);
    setStatus(Lane::Status());
}

void LaneTile::setTakesSerials(bool takes)
{
    m_scan->setVisible(takes);
}

void LaneTile::setScanRefusal(const QString &why)
{
    m_scanRefusal->setText(why.isEmpty() ? QString() : QStringLiteral("Scan refused: ") + printable(why));
}

void LaneTile::focusScanField()
{
    if (m_scan->isVisible())
        m_scan->setFocus(Qt::OtherFocusReason);
}

void LaneTile::leaveScanField()
{
    if (m_scan->hasFocus())
        setFocus(Qt::OtherFocusReason);
}

bool LaneTile::scanFieldHasFocus() const
{
    return m_scan->hasFocus();
}

void LaneTile::setStatus(const Lane::Status &status)
{
    // A failure's reason has a line of its own here.
    const bool failed = status.result && *status.result != Result::Pass;
    const QString text = laneText(status);
    m_activity->setText(status.activity == Lane::Activity::TakeOff && failed ? QStringLiteral("Take the module off.")
                                                                             : text);
    // Gateway and port are the same on every row: IP and MAC tell them apart.
    m_row->setText(status.row ? QStringLiteral("Row %1: IP %2, MAC %3").arg(status.row->row)
                                    .arg(printable(valueOf(status.row->values, Setting::IpAddress).value_or(QString())),
                                         printable(valueOf(status.row->values, Setting::MacAddress).value_or(QString())))
                              : QString());
    const QString before = settingsText(status.before);
    m_before->setText(before.isEmpty() ? QString() : QStringLiteral("Before: ") + before);

    QString result;
    if (status.result) {
        const bool passed = *status.result == Result::Pass;
        result = passed ? QStringLiteral("PASS") : QStringLiteral("FAIL");
        m_result->setStyleSheet(QLatin1String(passed ? passStyle : failStyle));
    } else {
        m_result->setStyleSheet(QString());
    }
    m_result->setText(result);
    m_reason->setText(status.result && *status.result != Result::Pass ? printable(status.reason) : QString());
    // A failed unit on the lane, its failure known: it may come back from rework.
    m_rework->setVisible(failed && status.activity == Lane::Activity::TakeOff && !status.code.isEmpty());

    setAccessibleName(QStringLiteral("Lane %1: %2").arg(printable(m_portName), result.isEmpty() ? text
                                                                                                : result + QStringLiteral(", ") + text));
    QStringList description;
    for (const QLabel *label : {m_activity, m_row, m_before, m_result, m_reason}) {
        if (!label->text().isEmpty())
            description << label->text();
    }
    setAccessibleDescription(description.join(QStringLiteral(". ")));
    m_result->setAccessibleName(result.isEmpty() ? QStringLiteral("No result yet") : QStringLiteral("Result ") + result);
}

bool LaneTile::eventFilter(QObject *watched, QEvent *event)
{
    // The result's room changes with the tile and with the lines above it.
    if (watched == m_result && event->type() == QEvent::Resize)
        fitResultFont();
    return QFrame::eventFilter(watched, event);
}

void LaneTile::fitResultFont()
{
    // As large as the room the layout leaves it: "PASS" or "FAIL" fills its
    // label's height or width, whichever is tighter, and never gets smaller
    // than the smallest scale of the tile's font.
    QFont font = this->font();
    font.setBold(true);
    const QFontMetrics base(font);
    const int widest = std::max(base.horizontalAdvance(QStringLiteral("PASS")), base.horizontalAdvance(QStringLiteral("FAIL")));
    const QRect room = m_result->contentsRect();
    const double scale = std::min(room.width() * roomShare / widest, room.height() * roomShare / base.height());
    font.setPointSizeF(QFontInfo(font).pointSizeF() * std::max(smallestResultScale, scale));
    m_result->setFont(font);
}
