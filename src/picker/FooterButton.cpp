#include "picker/FooterButton.h"

#include "picker/PickerStyle.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>

namespace quillstow {

FooterButton::FooterButton(const QString& label, Role role, std::function<void()> action,
                           QWidget* parent)
    : QAbstractButton(parent), role_(role)
{
    setText(label);
    setFont(style::font(style::captionSize, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

QColor FooterButton::textColor(Role role, bool isHovered, const QPalette& palette)
{
    if (!isHovered)
        return style::secondary(palette);
    return role == Role::destructive ? style::red(palette) : style::primary(palette);
}

QColor FooterButton::backgroundColor(bool isHovered, const QPalette& palette)
{
    return isHovered ? style::withOpacity(style::primary(palette), 0.08) : QColor(Qt::transparent);
}

QSize FooterButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2 * horizontalPadding,
            metrics.height() + 2 * verticalPadding};
}

void FooterButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(backgroundColor(isHovered_, palette()));
    painter.drawRoundedRect(rect(), cornerRadius, cornerRadius);
    painter.setPen(textColor(role_, isHovered_, palette()));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void FooterButton::enterEvent(QEnterEvent* event)
{
    isHovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FooterButton::leaveEvent(QEvent* event)
{
    isHovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace quillstow
