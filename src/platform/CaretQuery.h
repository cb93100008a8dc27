#pragma once

#include <QtGlobal>
#include <memory>
#include <optional>

namespace quillstow::platform {

// A rectangle as the accessibility service reports it, in the desktop's screen coordinates
// (origin at the top-left, y growing downward).
struct CaretRect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const CaretRect&, const CaretRect&) = default;
};

// The outcome of one step of a caret lookup: it worked, or it failed with a code. The code is 0
// when the service answered but had nothing to give, otherwise the backend's own code.
struct CaretStep
{
    bool isOk = false;
    qint32 code = 0;

    static CaretStep ok() { return {true, 0}; }
    static CaretStep failed(qint32 code) { return {false, code}; }
};

// Asks the desktop's accessibility service where the text caret of the application in front is.
// A lookup calls the steps in this order, each working on what the one before found, and stops
// at the first failure. Every call returns within a short, bounded time, also when the
// application in front hangs.
class CaretQuery
{
public:
    virtual ~CaretQuery() = default;

    // Starts a lookup: the focused element of the active window. Forgets any earlier lookup.
    virtual CaretStep findFocusedElement() = 0;
    // Starts a lookup instead at the element that last gained the focus in the application that
    // owns the active window, for when that application shows no focused element right now:
    // toolkits hide their focus while another program holds the keyboard, as the hot key does
    // for an instant. Fails with 0 when no such element is known or it is gone.
    virtual CaretStep findLastFocusedElement() = 0;
    // The caret's position in that element's text.
    virtual CaretStep readCaret() = 0;
    // The extents of the text at the caret.
    virtual CaretStep readCaretBounds() = 0;
    // Those extents as a rectangle in screen coordinates; nothing when they describe none.
    virtual std::optional<CaretRect> caretRect() = 0;
    // Lets go of what the lookup holds.
    virtual void finish() = 0;

    // Starts noting which element gains the focus, for findLastFocusedElement(). Called once,
    // early; costs nothing while the focus stays put.
    virtual void followFocus() = 0;
};

// The desktop's own caret query, chosen for the session this process runs in.
std::unique_ptr<CaretQuery> makeCaretQuery();

} // namespace quillstow::platform
