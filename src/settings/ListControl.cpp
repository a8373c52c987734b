// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListControl.h"

#include <QKeyEvent>
#include <QMouseEvent>

ListControl::ListControl(QWidget* parent, const QRect& rect) : QListWidget(parent)
{
    setGeometry(rect);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    setUniformItemSizes(true);
}

int ListControl::ListIndex() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

QString ListControl::Text() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void ListControl::mousePressEvent(QMouseEvent* event)
{
    // Only the left button picks an entry, as in a system list box.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidgetItem* item = itemAt(event->position().toPoint());
    if (item == nullptr) {
        event->accept(); // a press below the last entry keeps the selection
        return;
    }
    QListWidget::mousePressEvent(event);
    // Ctrl+press would take the selection away; the list always keeps the entry pressed.
    setCurrentItem(item);
    item->setSelected(true);
    if (Click)
        Click();
}

void ListControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click picks the entry again.
    mousePressEvent(event);
}

void ListControl::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging with the button held does not carry the selection along: what was pressed is
    // what was picked (and previewed).
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QListWidget::mouseMoveEvent(event);
}

void ListControl::keyPressEvent(QKeyEvent* event)
{
    const int before = ListIndex();
    QListWidget::keyPressEvent(event);
    QListWidgetItem* current = currentItem();
    if (current != nullptr && !current->isSelected())
        current->setSelected(true); // moving with Ctrl held would leave nothing selected
    if (ListIndex() != before && ListIndex() >= 0 && Click)
        Click();
}
