// SPDX-License-Identifier: MIT
#include "window/portcombobox.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QStyle>

#include <algorithm>

PortComboBox::PortComboBox(QWidget *parent)
    : QComboBox(parent)
{
    // A device path is longer than the box: the whole of it is the tool tip.
    connect(this, &QComboBox::currentTextChanged, this, &QWidget::setToolTip);
}

void PortComboBox::showPopup()
{
    emit clicked();
    // The list is as wide as its longest entry, whatever the box's width.
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    const int margins = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this)
                        + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) + fontMetrics().averageCharWidth() * 2;
    view()->setMinimumWidth(std::max(width(), widest + margins));
    QComboBox::showPopup();
}
