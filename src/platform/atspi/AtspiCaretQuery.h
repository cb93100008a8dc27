#pragma once

#include "platform/CaretQuery.h"
#include "platform/WindowFrame.h"

#include <QElapsedTimer>
#include <functional>

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

namespace quillstow::platform {

// The caret lookup through AT-SPI2: the application that owns the active window, its focused
// element, that element's caret and the caret character's extents.
//
// Codes of failed steps:
//   0   the service answered, but has nothing: no accessible application owns the active
//       window, nothing in it has focus, the element shows no caret
//  -1   a call failed: the application went away, or the bus refused the call
//  -2   an application did not answer in time (it hangs or is stopped), or the search for the
//       focused element ran out of time
//  -3   the element has no text interface
//  -4   the accessibility bus cannot be reached
class AtspiCaretQuery final : public CaretQuery
{
public:
    static constexpr qint32 nothingFound = 0;
    static constexpr qint32 callFailed = -1;
    static constexpr qint32 noReply = -2;
    static constexpr qint32 notText = -3;
    static constexpr qint32 noBus = -4;

    // Time allowed for one call to another application, and for a whole search.
    static constexpr int callTimeoutMs = 250;
    static constexpr int searchBudgetMs = 400;

    // What the window system tells about the window in front.
    struct FrontWindow
    {
        // Its process and where its content starts; nothing when unknown.
        std::function<std::optional<WindowFrame>()> frame;
        // Whether every toolkit gives its extents relative to its own window, as on Wayland.
        bool relativeExtents = false;
    };

    // The X window manager's active window.
    AtspiCaretQuery();
    explicit AtspiCaretQuery(FrontWindow front);
    ~AtspiCaretQuery() override;
    AtspiCaretQuery(const AtspiCaretQuery&) = delete;
    AtspiCaretQuery& operator=(const AtspiCaretQuery&) = delete;

    CaretStep findFocusedElement() override;
    CaretStep findLastFocusedElement() override;
    CaretStep readCaret() override;
    CaretStep readCaretBounds() override;
    std::optional<CaretRect> caretRect() override;
    void finish() override;
    void followFocus() override;

private:
    static void onFocusChanged(AtspiEvent* event, void* self);
    bool connect();
    AtspiAccessible* findActiveWindow(qint32& code);
    AtspiAccessible* findFocused(AtspiAccessible* window, qint32& code);
    bool isWindowRelative(AtspiAccessible* app);
    std::optional<CaretRect> ownExtents(int coords);

    std::optional<WindowFrame> frontFrame() const;

    FrontWindow front_;
    QElapsedTimer clock_;
    AtspiAccessible* app_ = nullptr;
    // The front application and its active window, as the last search found them.
    AtspiAccessible* frontApp_ = nullptr;
    AtspiAccessible* frontWindow_ = nullptr;
    AtspiEventListener* focusListener_ = nullptr;
    AtspiAccessible* lastFocused_ = nullptr;
    AtspiAccessible* element_ = nullptr;
    int caret_ = -1;
    std::optional<CaretRect> rect_;
};

} // namespace quillstow::platform
