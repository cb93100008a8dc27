#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

namespace quillstow::settings {

// One line of text that gives up its middle, not its ends, when the row is too narrow. It takes
// whatever width its row leaves it. The colour is its foreground role of the palette.
class ElidedLabel : public QWidget
{
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    // The text as it fits the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    QString text_;
};

} // namespace quillstow::settings
