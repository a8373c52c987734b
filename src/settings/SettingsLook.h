// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qt>

class LabelControl;
class QPalette;
class QRect;
class QString;
class QWidget;

// The sample settings page's own controls on its dark panel: headings in white, values in green
// on black, buttons, choices and fields dark like the wells and lists around them.
namespace SettingsLook {

// The edges Fusion shades its buttons and scroll bars with, for a dark control.
void darkBevel(QPalette& p);
void darkControl(QWidget* control);
LabelControl* headingLabel(QWidget* parent, const QRect& rect, const QString& caption);
LabelControl* valueLabel(QWidget* parent, const QRect& rect, double points,
                         Qt::Alignment alignment);

} // namespace SettingsLook
