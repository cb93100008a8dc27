#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>

namespace quillstow::test {

// The shown message box named `name`, wherever it is parented, after pending events ran.
inline QMessageBox* shownMessageBox(const QString& name)
{
    QApplication::processEvents();
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->objectName() == name && box->isVisible())
            return box;
    }
    return nullptr;
}

// The box's button with `text`.
inline QAbstractButton* buttonLabelled(QMessageBox& box, const QString& text)
{
    for (QAbstractButton* button : box.buttons())
        if (button->text() == text)
            return button;
    return nullptr;
}

// Runs the deletions that closing a box asked for; true when `box` is gone.
inline bool deletedAfterClosing(const QPointer<QMessageBox>& box)
{
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return box.isNull();
}

} // namespace quillstow::test
