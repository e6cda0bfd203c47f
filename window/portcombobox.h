// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>

// The port selector. A combo box has no click notification of its own; this
// one reports each opening of its drop-down list, just before the list shows,
// so the window can rescan the ports the operator is about to choose from.
class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PortComboBox(QWidget *parent = nullptr);

    void showPopup() override;

signals:
    void clicked();
};
