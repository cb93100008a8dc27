#include "app/PopupWindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QVBoxLayout>

namespace quillstow {

PopupWindow::PopupWindow(QWidget* content)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      content_(content)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quillstow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    setFixedSize(content->sizeHint().expandedTo(content->minimumSize()));
}

void PopupWindow::setPanelSize(QSize size)
{
    content_->setFixedSize(size);
    setFixedSize(size);
}

bool PopupWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        wasActive_ = true;
        break;
    case QEvent::WindowDeactivate:
        // Only a window that had the focus can lose it; the first deactivation can arrive before
        // the window manager has given it the focus at all.
        if (wasActive_) {
            closingForFocus_ = true;
            close();
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PopupWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted() && !reported_) {
        reported_ = true;
        if (onClosed)
            onClosed(closingForFocus_);
    }
}

} // namespace quillstow
