#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPalette>
#include <functional>

namespace quillstow {

// A small borderless text button for the picker's footer that lights up under the pointer:
// red for destructive actions, the primary text colour otherwise.
class FooterButton : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Role
    {
        normal,
        destructive,
    };

    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 4;
    static constexpr int cornerRadius = 5;

    FooterButton(const QString& label, Role role, std::function<void()> action,
                 QWidget* parent = nullptr);

    Role role() const { return role_; }
    bool isHovered() const { return isHovered_; }

    // The colours for a role and hover state.
    static QColor textColor(Role role, bool isHovered, const QPalette& palette);
    static QColor backgroundColor(bool isHovered, const QPalette& palette);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Role role_;
    bool isHovered_ = false;
};

} // namespace quillstow
