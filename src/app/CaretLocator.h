#pragma once

#include "platform/CaretQuery.h"

#include <QPointF>
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

    // The caret's lower-left corner in screen coordinates (top-left origin), where the popup's
    // top-left corner goes; nothing when no caret was found.
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
