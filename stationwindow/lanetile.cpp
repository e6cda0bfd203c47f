// SPDX-License-Identifier: MIT
#include "stationwindow/lanetile.h"

#include "protocol/wireformat.h"
#include "stationtext/lanetext.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The share of its label's room that the result's word takes.
constexpr double roomShare = 0.8;

// The banner: it takes the room the tile's layout leaves it, and its type
// follows; it asks for no more than its smallest size, or the tile could
// only grow. (Its size hint is that size, not none: a tile laid out by the
// height its wrapped lines need at its width counts the banner in.)
class BannerLabel : public QLabel
{
public:
    using QLabel::QLabel;
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSizeHint() const override { return minimumSize(); }
};

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
    case Setting::IpAddress: return QT_TRANSLATE_NOOP("LaneTile", "IP");
    case Setting::Gateway: return QT_TRANSLATE_NOOP("LaneTile", "gateway");
    case Setting::Port: return QT_TRANSLATE_NOOP("LaneTile", "port");
    case Setting::MacAddress: return QT_TRANSLATE_NOOP("LaneTile", "MAC");
    }
    return "";
}

} // namespace

QString settingsText(const SettingValues &values)
{
    QStringList parts;
    for (Setting setting : allSettings) {
        if (const auto &value = valueOf(values, setting))
            parts << QStringLiteral("%1 %2").arg(LaneTile::tr(settingName(setting)), printable(*value));
    }
    return parts.join(QStringLiteral(", "));
}

LaneTile::LaneTile(const QString &port, int number, QWidget *parent)
    : QFrame(parent)
    , m_portName(port)
    , m_number(number)
    , m_port(new QLabel(tr("Lane %1: %2").arg(number).arg(printable(port)), this))
    , m_action(wrappingLabel("tile_action", this))
    , m_ack(wrappingLabel("tile_ack", this))
    , m_progress(new QProgressBar(this))
    , m_activity(wrappingLabel("tile_activity", this))
    , m_row(wrappingLabel("tile_row", this))
    , m_before(wrappingLabel("tile_before", this))
    , m_result(new BannerLabel(this))
    , m_reason(wrappingLabel("tile_reason", this))
    , m_scan(new QLineEdit(this))
    , m_scanRefusal(wrappingLabel("tile_scan_refusal", this))
    , m_rework(new QPushButton(tr("Rework done"), this))
{
    m_scan->setObjectName(QStringLiteral("tile_scan"));
    m_scan->setAccessibleName(tr("Serial of the unit on lane %1").arg(printable(port)));
    m_scan->hide();
    m_scanRefusal->setStyleSheet(QStringLiteral("color:#b71c1c;"));
    m_scanRefusal->hide();
    m_rework->setObjectName(QStringLiteral("tile_rework"));
    m_rework->setToolTip(tr("The failed unit on this lane is back from rework: its attempts count again"));
    m_rework->hide();
    m_progress->setObjectName(QStringLiteral("tile_progress"));
    m_progress->setTextVisible(true);
    m_progress->hide();
    connect(m_scan, &QLineEdit::returnPressed, this, [this] {
        const QString code = m_scan->text().trimmed();
        m_scan->clear();
        // Enter alone, or the acknowledge code, while a FAIL is held.
        if (m_awaitsAck && (code.isEmpty() || code.compare(QLatin1String(Instructions::acknowledgeCode), Qt::CaseInsensitive) == 0))
            emit acknowledged();
        else if (!code.isEmpty())
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
    // What to do next is read from a step away too: larger than the rest.
    QFont action = bold;
    action.setPointSizeF(QFontInfo(bold).pointSizeF() * 1.25);
    m_action->setFont(action);
    m_ack->setFont(bold);
    m_result->setObjectName(QStringLiteral("tile_result"));
    m_result->setAlignment(Qt::AlignCenter);
    m_result->setAutoFillBackground(true);
    m_result->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont smallest = font();
    smallest.setBold(true);
    smallest.setPointSizeF(QFontInfo(smallest).pointSizeF() * smallestResultScale);
    int widest = 0;
    for (const LaneStateStyle &style : laneStates)
        widest = std::max(widest, QFontMetrics(smallest).horizontalAdvance(bannerOf(style.state)));
    m_result->setMinimumSize(widest, QFontMetrics(smallest).height());
    m_result->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_port);
    layout->addWidget(m_result, 1);
    layout->addWidget(m_action);
    layout->addWidget(m_ack);
    layout->addWidget(m_progress);
    layout->addWidget(m_activity);
    layout->addWidget(m_row);
    layout->addWidget(m_before);
    layout->addWidget(m_reason);
    layout->addWidget(m_scan);
    layout->addWidget(m_scanRefusal);
    layout->addWidget(m_rework);
    setStatus(Lane::Status());
}

void LaneTile::setTakesSerials(bool takes)
{
    m_takesSerials = takes;
    m_scan->setVisible(m_takesSerials || m_awaitsAck);
}

void LaneTile::setScanRefusal(const QString &why)
{
    m_scanRefusal->setText(why.isEmpty() ? QString() : tr("Scan refused: ") + printable(why));
    m_scanRefusal->setHidden(why.isEmpty());
    keepLinesWhole();
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

void LaneTile::setStatus(const Lane::Status &status, int writingLane)
{
    const LaneView view = laneView(status, m_instructions, writingLane);
    const bool verdict = styleOf(view.state).verdict;
    const bool failed = view.state == LaneState::Fail;
    // The whole of what the lane does; a failure's reason has a line of
    // its own, and what to do with the module is the action above.
    m_activity->setText(status.activity == Lane::Activity::TakeOff && failed
                            ? tr("Row %1 failed").arg(status.row ? status.row->row : 0)
                            : laneText(status));
    // The module's row and settings, only while it is the lane's.
    // (A module being read may be another than the one the row was about.)
    const bool module = verdict || ((view.state == LaneState::Working || view.state == LaneState::InDoubt)
                                    && status.activity != Lane::Activity::Reading);
    // Gateway and port are the same on every row: IP and MAC tell them apart.
    m_row->setText(module && status.row ? tr("Row %1: IP %2, MAC %3").arg(status.row->row)
                                              .arg(printable(valueOf(status.row->values, Setting::IpAddress).value_or(QString())),
                                                   printable(valueOf(status.row->values, Setting::MacAddress).value_or(QString())))
                                        : QString());
    const QString before = module ? settingsText(status.before) : QString();
    m_before->setText(before.isEmpty() ? QString() : tr("Before: ") + before);
    m_reason->setText(failed && status.result && *status.result != Result::Pass ? printable(status.reason) : QString());
    // A failed unit on the lane, its failure known: it may come back from rework.
    m_rework->setVisible(failed && status.activity == Lane::Activity::TakeOff && !status.code.isEmpty());
    m_awaitsAck = status.unacknowledged > 0 && (failed || view.state == LaneState::Held);
    m_scan->setVisible(m_takesSerials || m_awaitsAck);
    m_scan->setPlaceholderText(m_awaitsAck ? tr("Scan %1 or press Enter to acknowledge the FAIL")
                                                 .arg(QLatin1String(Instructions::acknowledgeCode))
                                           : tr("Scan the unit's serial"));
    // An empty line takes no room from the banner.
    for (QLabel *label : {m_activity, m_row, m_before, m_reason})
        label->setHidden(label->text().isEmpty());
    showView(view);
}

void LaneTile::showView(const LaneView &view)
{
    m_state = view.state;
    const LaneStateStyle &style = styleOf(view.state);
    const QString banner = bannerOf(view.state);
    m_result->setStyleSheet(QStringLiteral("background-color:%1; color:%2;")
                                .arg(QLatin1String(style.background), QLatin1String(style.foreground)));
    m_result->setText(banner);
    fitResultFont();
    m_action->setText(view.action);
    m_ack->setText(view.acknowledge);
    m_ack->setVisible(!view.acknowledge.isEmpty());
    m_progress->setVisible(view.steps > 0);
    if (view.steps > 0) {
        m_progress->setRange(0, view.steps);
        m_progress->setValue(view.step);
        m_progress->setFormat(tr("Step %1 of %2: %3").arg(view.step).arg(view.steps).arg(view.stepName));
    }
    describe(banner, view.action);
    keepLinesWhole();
}

void LaneTile::describe(const QString &banner, const QString &action)
{
    setAccessibleName(tr("Lane %1, %2: %3, %4").arg(m_number).arg(printable(m_portName), banner, action));
    QStringList description;
    for (const QLabel *label : {m_ack, m_activity, m_row, m_before, m_reason}) {
        if (!label->text().isEmpty())
            description << label->text();
    }
    if (m_progress->isVisible())
        description << m_progress->text();
    setAccessibleDescription(description.join(QStringLiteral(". ")));
    m_result->setAccessibleName(banner);
}

void LaneTile::mousePressEvent(QMouseEvent *event)
{
    if (m_awaitsAck && event->button() == Qt::LeftButton) {
        emit acknowledged();
        return;
    }
    QFrame::mousePressEvent(event);
}

void LaneTile::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    keepLinesWhole();
}

void LaneTile::keepLinesWhole()
{
    // Wrapped lines take the height the tile's width leaves them, which the
    // window's layout does not ask for: the tile asks it itself. It must
    // have room for its banner, what to do and a failure's reason, whole in
    // any language; the lines that only say more (what the lane does, the
    // row, the settings before) show while there is room for them, and go
    // to the tile's tooltip when there is not, rather than show cut.
    if (m_fitting)
        return;
    m_fitting = true;
    // The layout's width and height are the tile's within its frame.
    const int width = contentsRect().width();
    const int frame = height() - contentsRect().height();
    const auto needed = [this, width, frame] { return layout()->minimumHeightForWidth(width) + frame; };
    for (QLabel *label : {m_reason, m_scanRefusal})
        label->setHidden(label->text().isEmpty());
    // A wrapped label asks its layout for too little height at a narrow
    // width: the lines that must show ask for theirs at the tile's.
    const QMargins margins = layout()->contentsMargins();
    for (QLabel *label : {m_action, m_ack, m_reason, m_scanRefusal})
        label->setMinimumHeight(label->text().isEmpty() ? 0 : label->heightForWidth(width - margins.left() - margins.right()));
    const QList<QLabel *> extras {m_activity, m_row, m_before}; // the first kept longest
    for (QLabel *label : extras)
        label->setHidden(label->text().isEmpty());
    m_wholeHeight = needed();
    for (QLabel *label : extras)
        label->hide();
    setMinimumHeight(needed());
    QStringList left;
    for (QLabel *label : extras) {
        if (label->text().isEmpty())
            continue;
        if (left.isEmpty()) {
            label->show();
            if (needed() <= height())
                continue;
            label->hide();
        }
        left << label->text();
    }
    setToolTip(left.join(QLatin1Char('\n')));
    updateGeometry();
    m_fitting = false;
}

QSize LaneTile::sizeHint() const
{
    // As tall as all its lines, whichever show: the window's layout does
    // not give the tile less room for having less to show in it.
    return {QFrame::sizeHint().width(), std::max(m_wholeHeight, minimumHeight())};
}

bool LaneTile::eventFilter(QObject *watched, QEvent *event)
{
    // The banner's room changes with the tile and with the lines around it.
    if (watched == m_result && event->type() == QEvent::Resize)
        fitResultFont();
    return QFrame::eventFilter(watched, event);
}

void LaneTile::fitResultFont()
{
    // As large as the room the layout leaves it: the state's word fills its
    // label's height or width, whichever is tighter, and never gets smaller
    // than the smallest scale of the tile's font.
    QFont font = this->font();
    font.setBold(true);
    const QFontMetrics base(font);
    const int widest = std::max(1, base.horizontalAdvance(m_result->text()));
    const QRect room = m_result->contentsRect();
    const double scale = std::min(room.width() * roomShare / widest, room.height() * roomShare / base.height());
    font.setPointSizeF(QFontInfo(font).pointSizeF() * std::max(smallestResultScale, scale));
    m_result->setFont(font);
}
