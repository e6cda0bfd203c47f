// SPDX-License-Identifier: MIT
#include "window/portcombobox.h"

PortComboBox::PortComboBox(QWidget *parent)
    : QComboBox(parent)
{
}

void PortComboBox::showPopup()
{
    emit clicked();
    QComboBox::showPopup();
}
