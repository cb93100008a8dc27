#pragma once

#include <QWidget>
#include <functional>

namespace quillstow {

// The frameless window that hosts the picker: always on top, focusable so the search field
// receives typing, and closed as soon as it loses the focus.
class PopupWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PopupWindow(QWidget* content);

    // Gives the window and its content this size instead of the content's own.
    void setPanelSize(QSize size);

    // Called once when the window closes, however that happens.
    std::function<void(bool lostFocus)> onClosed;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* content_;
    bool wasActive_ = false;
    bool closingForFocus_ = false;
    bool reported_ = false;
};

} // namespace quillstow
