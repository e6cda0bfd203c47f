// SPDX-License-Identifier: MIT
#include "window/formfit.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTextEdit>

#include <algorithm>

namespace {

// Between a caption and the control to its right.
constexpr int captionGap = 4;

int advance(const QWidget *widget, const QString &text)
{
    return widget->fontMetrics().horizontalAdvance(text);
}

} // namespace

int textWidthNeeded(const QWidget *widget)
{
    const QStyle *style = widget->style();
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return advance(label, label->text()) + 2 * label->margin();
    if (const auto *radio = qobject_cast<const QRadioButton *>(widget)) {
        return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio)
               + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio) + advance(radio, radio->text());
    }
    if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
        return advance(button, button->text()) + 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
               + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    }
    if (const auto *group = qobject_cast<const QGroupBox *>(widget)) {
        // Where the style puts the title, with the same inset on the right.
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.textAlignment = group->alignment();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return title.left() + advance(group, group->title()) + title.left();
    }
    return 0;
}

bool textFitsHeight(const QWidget *widget)
{
    const int line = widget->fontMetrics().height();
    if (qobject_cast<const QLabel *>(widget) || qobject_cast<const QRadioButton *>(widget))
        return line <= widget->height();
    if (qobject_cast<const QPushButton *>(widget))
        return line + 2 * widget->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget) <= widget->height();
    if (qobject_cast<const QGroupBox *>(widget)) {
        // The title stays above the group's first control.
        int top = widget->height();
        const auto children = widget->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        for (const QWidget *child : children)
            top = std::min(top, child->y());
        return line <= top;
    }
    return true;
}

void fitTextsToFont(Ui::cloudConfiguredClass &ui)
{
    struct Growable {
        QWidget *widget;
        int width;  // as drawn
        int limit;  // x where the next control to its right begins
    };
    const Growable growable[] = {
        {ui.label, ui.label->width(), ui.textEdit_log->geometry().right() + 1},
        {ui.label_2, ui.label_2->width(), ui.splitter->x() - captionGap},
        {ui.label_3, ui.label_3->width(), ui.splitter_2->x() - captionGap},
        {ui.label_4, ui.label_4->width(), ui.lineEdit_port->x() - captionGap},
        {ui.label_5, ui.label_5->width(), ui.lineEdit_mac->x() - captionGap},
        {ui.radioButton_auto, ui.radioButton_auto->width(), ui.pushButton_connect->x() - captionGap},
        {ui.radioButton_handle, ui.radioButton_handle->width(), ui.pushButton_connect->x() - captionGap},
    };
    const QWidget *fixed[] = {ui.pushButton_Open, ui.pushButton_connect, ui.pushButton_config, ui.pushButton_about,
                              ui.pushButton_logclear, ui.groupBox, ui.groupBox_2};

    QFont font = ui.centralWidget->font();
    for (;;) {
        bool fits = true;
        for (const Growable &g : growable) {
            const int needed = textWidthNeeded(g.widget);
            const int room = g.limit - g.widget->x();
            g.widget->resize(std::clamp(needed, g.width, std::max(g.width, room)), g.widget->height());
            fits = fits && needed <= g.widget->width() && textFitsHeight(g.widget);
        }
        for (const QWidget *widget : fixed)
            fits = fits && textWidthNeeded(widget) <= widget->width() && textFitsHeight(widget);
        const int pixels = QFontInfo(font).pixelSize();
        if (fits || pixels <= minimumPixelSize)
            return;
        font.setPixelSize(pixels - 1);
        ui.centralWidget->setFont(font);
    }
}
