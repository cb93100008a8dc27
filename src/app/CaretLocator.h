#pragma once

#include "platform/CaretQuery.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

namespace quillstow {

// Finds where a popup opened from the hot key should go: just below the text caret of the
// application in front. Every lookup writes one line to the debug log.
class CaretLocator
{
public:
    // Uses the desktop's own accessibility service.
    CaretLocator();
    explicit CaretLocator(std::unique_ptr<platform::CaretQuery> query);
    ~CaretLocator();

    // The caret's rectangle in screen coordinates (top-left origin); the popup goes below it,
    // or above it where there is no room below. Nothing when no caret was found.
    std::optional<QRectF> caretScreenRect();
    // The rectangle's lower-left corner, where the popup's top-left corner goes below the caret.
    std::optional<QPointF> caretScreenOrigin();

    // Starts noting where the focus goes, so that a lookup made while the application in front
    // hides its focus (the hot key's keyboard grab makes toolkits do so) still finds the field
    // the user was typing in.
    void followFocus();

private:
    std::unique_ptr<platform::CaretQuery> query_;
};

// A number as the log writes it: the shortest decimal that reads back to the same double, with
// ".0" after whole numbers (812.0, 14.5, -3.25).
QString formatLogNumber(double value);

} // namespace quillstow
