// SPDX-License-Identifier: MIT
#pragma once

// The form's fixed geometry was drawn for a narrow font; desktops use wider
// ones. Every caption, radio button, push button and group title is made to
// show its text in full, in width and in height: captions and radio buttons grow to the right into
// the free space before the next control, and where that is not enough the
// form's font is made smaller, never below minimumPixelSize. Positions and
// heights stay as drawn.

#include "window/cloudconfiguredform.h"

class QWidget;

// The width a widget needs to show its text at its font, by the style's
// metrics: indicator and spacing for a radio button, margins and frame for
// a push button, the title's room for a group box.
int textWidthNeeded(const QWidget *widget);

// Whether the text's line fits the widget's drawn height (for a group box:
// the title above its first control). Fonts with taller lines, such as
// those for Chinese, need a smaller size than their width alone asks.
bool textFitsHeight(const QWidget *widget);

void fitTextsToFont(Ui::cloudConfiguredClass &ui);

inline constexpr int minimumPixelSize = 9;
