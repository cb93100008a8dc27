#include "platform/atspi/AtspiCaretQuery.h"

#include "platform/atspi/AccessibilityBus.h"
#include "platform/x11/ActiveWindowFrame.h"

#include <QDebug>
#include <algorithm>
#include <atspi/atspi.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quillstow::platform {

namespace {

constexpr const char* focusEvent = "object:state-changed:focused";

// libatspi connects once per process, and a failed atspi_init() is final: later calls answer
// "already initialised" and the first call that needs the bus aborts the process. So the bus is
// tried here first, with bounded waits, and libatspi is left alone for good once it has failed.
enum class Bus
{
    Untried,
    Connected,
    Unreachable, // libatspi gave up: never call it again
};
Bus bus = Bus::Untried;
// A bus found missing before libatspi was asked may come up later (its launcher is started on
// demand); it is tried again after a while, not on every lookup.
QElapsedTimer sinceBusMissing;
constexpr qint64 busRetryMs = 30000;
constexpr int busProbeTimeoutMs = 500;

bool connectToBus()
{
    if (bus != Bus::Untried)
        return bus == Bus::Connected;
    if (sinceBusMissing.isValid() && sinceBusMissing.elapsed() < busRetryMs)
        return false;
    if (const auto problem = accessibilityBusProblem(busProbeTimeoutMs)) {
        if (!sinceBusMissing.isValid())
            qWarning().noquote().nospace() << "No accessibility bus (" << *problem
                                           << "): the picker cannot open at the caret.";
        sinceBusMissing.start();
        return false;
    }
    // Bounds the calls atspi_init() itself makes, too.
    atspi_set_timeout(AtspiCaretQuery::callTimeoutMs, AtspiCaretQuery::callTimeoutMs);
    const int status = atspi_init();
    bus = status == 0 ? Bus::Connected : Bus::Unreachable;
    if (bus == Bus::Unreachable)
        qWarning().nospace() << "The accessibility bus could not be joined (atspi_init " << status
                             << "): the picker cannot open at the caret.";
    return bus == Bus::Connected;
}

// Owns one reference to a GObject (accessibles, state sets, interfaces).
template <typename T> class Ref
{
public:
    Ref() = default;
    explicit Ref(T* object) : object_(object) {}
    ~Ref() { reset(); }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    T* get() const { return object_; }
    T* release() { return std::exchange(object_, nullptr); }
    explicit operator bool() const { return object_ != nullptr; }
    void reset()
    {
        if (object_)
            g_object_unref(object_);
        object_ = nullptr;
    }

private:
    T* object_ = nullptr;
};

// Frees what a call hands over with g_free: rectangles, strings.
template <typename T> struct Owned
{
    T* value = nullptr;
    explicit Owned(T* v) : value(v) {}
    ~Owned() { g_free(value); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

// One call that can fail. A failure that took the whole time allowed was a call that got no
// answer: the application hangs.
class Call
{
public:
    Call() { timer_.start(); }
    ~Call()
    {
        if (error_)
            g_error_free(error_);
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    GError** error() { return &error_; }
    bool failed() const { return error_ != nullptr; }
    bool tookTooLong() const { return timer_.elapsed() >= AtspiCaretQuery::callTimeoutMs - 10; }
    // Some calls report a lost answer only by their result (-1), without an error.
    qint32 code(qint32 withoutError = AtspiCaretQuery::callFailed) const
    {
        if (tookTooLong())
            return AtspiCaretQuery::noReply;
        return failed() ? AtspiCaretQuery::callFailed : withoutError;
    }

private:
    GError* error_ = nullptr;
    QElapsedTimer timer_;
};

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

// Whether `element` lies in `window`'s tree; parents mostly come from libatspi's cache.
bool isInside(AtspiAccessible* element, AtspiAccessible* window)
{
    constexpr int maxDepth = 100;
    Ref<AtspiAccessible> node(static_cast<AtspiAccessible*>(g_object_ref(element)));
    for (int depth = 0; node && depth < maxDepth; ++depth) {
        if (node.get() == window)
            return true;
        node = Ref<AtspiAccessible>(atspi_accessible_get_parent(node.get(), nullptr));
    }
    return false;
}

bool isUsable(const AtspiRect* r)
{
    // Toolkits answer -1 everywhere, or an empty rectangle, where they have no extents.
    return r && r->width >= 0 && r->height > 0;
}

CaretRect toCaretRect(const AtspiRect& r)
{
    return {static_cast<double>(r.x), static_cast<double>(r.y), static_cast<double>(r.width),
            static_cast<double>(r.height)};
}

} // namespace

AtspiCaretQuery::AtspiCaretQuery() : AtspiCaretQuery(FrontWindow{x11::activeWindowFrame, false}) {}

AtspiCaretQuery::AtspiCaretQuery(FrontWindow front) : front_(std::move(front)) {}

std::optional<WindowFrame> AtspiCaretQuery::frontFrame() const
{
    return front_.frame ? front_.frame() : std::nullopt;
}

AtspiCaretQuery::~AtspiCaretQuery()
{
    finish();
    if (focusListener_) {
        atspi_event_listener_deregister(focusListener_, focusEvent, nullptr);
        g_object_unref(focusListener_);
    }
    if (lastFocused_)
        g_object_unref(lastFocused_);
}

bool AtspiCaretQuery::connect()
{
    return connectToBus();
}

void AtspiCaretQuery::followFocus()
{
    if (focusListener_ || !connect())
        return;
    // Focus changes only: text changes and caret moves would wake us for every key typed.
    focusListener_ = atspi_event_listener_new(&AtspiCaretQuery::onFocusChanged, this, nullptr);
    if (!atspi_event_listener_register(focusListener_, focusEvent, nullptr)) {
        g_object_unref(focusListener_);
        focusListener_ = nullptr;
    }
}

void AtspiCaretQuery::onFocusChanged(AtspiEvent* event, void* data)
{
    auto* self = static_cast<AtspiCaretQuery*>(data);
    // Only a gain counts: the hot key's keyboard grab takes the focus away for an instant, and
    // the element that had it is the one wanted then.
    if (event->detail1 != 0 && event->source) {
        if (self->lastFocused_)
            g_object_unref(self->lastFocused_);
        self->lastFocused_ = static_cast<AtspiAccessible*>(g_object_ref(event->source));
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

CaretStep AtspiCaretQuery::findFocusedElement()
{
    finish();
    clock_.start();
    if (!connect())
        return CaretStep::failed(noBus);

    qint32 code = nothingFound;
    Ref<AtspiAccessible> window(findActiveWindow(code));
    if (!window)
        return CaretStep::failed(code);
    element_ = findFocused(window.get(), code);
    if (!element_)
        return CaretStep::failed(code);
    return CaretStep::ok();
}

CaretStep AtspiCaretQuery::findLastFocusedElement()
{
    if (!lastFocused_ || !frontApp_)
        return CaretStep::failed(nothingFound);
    Call pidCall;
    const quint32 pid = atspi_accessible_get_process_id(lastFocused_, pidCall.error());
    if (pidCall.failed()) {
        // Its application has gone.
        g_object_unref(std::exchange(lastFocused_, nullptr));
        return CaretStep::failed(nothingFound);
    }
    if (pid != atspi_accessible_get_process_id(frontApp_, nullptr))
        return CaretStep::failed(nothingFound);

    Call stateCall;
    Ref<AtspiStateSet> states(atspi_accessible_get_state_set(lastFocused_));
    if (stateCall.tookTooLong())
        return CaretStep::failed(noReply);
    if (!states || atspi_state_set_contains(states.get(), ATSPI_STATE_DEFUNCT) ||
        !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING))
        return CaretStep::failed(nothingFound);
    // With a window of the application active, only an element inside it will do.
    if (frontWindow_ && !isInside(lastFocused_, frontWindow_))
        return CaretStep::failed(nothingFound);

    element_ = static_cast<AtspiAccessible*>(g_object_ref(lastFocused_));
    if (app_)
        g_object_unref(app_);
    app_ = static_cast<AtspiAccessible*>(g_object_ref(frontApp_));
    return CaretStep::ok();
}

AtspiAccessible* AtspiCaretQuery::findActiveWindow(qint32& code)
{
    Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop) {
        code = noBus;
        return nullptr;
    }
    Call countCall;
    const int appCount = atspi_accessible_get_child_count(desktop.get(), countCall.error());
    if (countCall.failed() || appCount < 0) {
        code = countCall.code();
        return nullptr;
    }

    // The application whose process owns the active window is asked first; the others only
    // when that finds nothing (a window that does not name its process, a sandboxed one).
    const auto frame = frontFrame();
    const quint32 frontPid = frame ? frame->pid : 0;
    const auto ownPid = static_cast<quint32>(::getpid());
    std::vector<Ref<AtspiAccessible>> apps;
    apps.reserve(static_cast<size_t>(std::max(appCount, 0)));
    std::optional<size_t> front;
    for (int i = 0; i < appCount; ++i) {
        Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
        if (!app)
            continue;
        const quint32 pid = atspi_accessible_get_process_id(app.get(), nullptr);
        // Asking ourselves would wait out the time limit: this thread is the one to answer.
        if (pid == ownPid)
            continue;
        if (frontPid != 0 && pid == frontPid && !front) {
            front = apps.size();
            frontApp_ = static_cast<AtspiAccessible*>(g_object_ref(app.get()));
        }
        apps.push_back(std::move(app));
    }
    std::vector<size_t> order;
    if (front)
        order.push_back(*front);
    for (size_t i = 0; i < apps.size(); ++i) {
        if (i != front)
            order.push_back(i);
    }

    for (const size_t index : order) {
        auto& app = apps[index];
        if (clock_.elapsed() > searchBudgetMs) {
            if (code == nothingFound)
                code = noReply;
            break;
        }
        Call call;
        const int windowCount = atspi_accessible_get_child_count(app.get(), call.error());
        if (call.failed() || windowCount < 0) {
            code = call.code(); // remembered in case no other application has the window
            continue;
        }
        for (int i = 0; i < windowCount; ++i) {
            Ref<AtspiAccessible> window(atspi_accessible_get_child_at_index(app.get(), i, nullptr));
            if (window && hasState(window.get(), ATSPI_STATE_ACTIVE)) {
                if (app.get() == frontApp_)
                    frontWindow_ = static_cast<AtspiAccessible*>(g_object_ref(window.get()));
                app_ = app.release();
                code = nothingFound;
                return window.release();
            }
        }
    }
    return nullptr;
}

AtspiAccessible* AtspiCaretQuery::findFocused(AtspiAccessible* window, qint32& code)
{
    code = nothingFound;
    // A window that is a single text field has the focus itself.
    if (hasState(window, ATSPI_STATE_FOCUSED))
        return static_cast<AtspiAccessible*>(g_object_ref(window));
    // Most toolkits search their own tree in one call.
    if (Ref<AtspiCollection> collection(atspi_accessible_get_collection_iface(window));
        collection) {
        Ref<AtspiStateSet> focused(atspi_state_set_new(nullptr));
        atspi_state_set_add(focused.get(), ATSPI_STATE_FOCUSED);
        Ref<AtspiMatchRule> rule(atspi_match_rule_new(
            focused.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
        Call call;
        GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(),
                                                       ATSPI_Collection_SORT_ORDER_CANONICAL, 1,
                                                       TRUE, call.error());
        if (matches) {
            AtspiAccessible* found = nullptr;
            for (guint i = 0; i < matches->len; ++i) {
                auto* match = g_array_index(matches, AtspiAccessible*, i);
                if (!found)
                    found = match;
                else
                    g_object_unref(match);
            }
            g_array_free(matches, TRUE);
            if (found || !call.failed())
                return found;
        }
        if (call.failed() && call.code() == noReply) {
            code = noReply;
            return nullptr;
        }
    }

    // Otherwise a walk over what is showing, bounded in size and time.
    constexpr int maxVisited = 2000;
    std::vector<Ref<AtspiAccessible>> pending;
    pending.emplace_back(static_cast<AtspiAccessible*>(g_object_ref(window)));
    for (int visited = 0; !pending.empty() && visited < maxVisited; ++visited) {
        if (clock_.elapsed() > searchBudgetMs) {
            code = noReply;
            return nullptr;
        }
        Ref<AtspiAccessible> node = std::move(pending.back());
        pending.pop_back();
        Ref<AtspiStateSet> states(atspi_accessible_get_state_set(node.get()));
        if (!states)
            continue;
        if (node.get() != window) {
            if (atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED))
                return node.release();
            if (!atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING))
                continue;
        }
        const int childCount = atspi_accessible_get_child_count(node.get(), nullptr);
        // Pushed last to first, so the walk goes through the children in order.
        for (int i = childCount - 1; i >= 0; --i) {
            if (Ref<AtspiAccessible> child(
                    atspi_accessible_get_child_at_index(node.get(), i, nullptr));
                child)
                pending.push_back(std::move(child));
        }
    }
    return nullptr;
}

CaretStep AtspiCaretQuery::readCaret()
{
    Ref<AtspiText> text(atspi_accessible_get_text_iface(element_));
    if (!text)
        return CaretStep::failed(notText);
    Call call;
    caret_ = atspi_text_get_caret_offset(text.get(), call.error());
    if (call.failed() || caret_ < 0)
        return CaretStep::failed(call.code(nothingFound));
    return CaretStep::ok();
}

bool AtspiCaretQuery::isWindowRelative(AtspiAccessible* app)
{
    // GTK 4 cannot know where its windows are on an X screen, so it answers relative to the
    // window; the other toolkits answer in screen coordinates.
    Owned<gchar> name(atspi_accessible_get_toolkit_name(app, nullptr));
    if (!name.value || g_ascii_strcasecmp(name.value, "gtk") != 0)
        return false;
    Owned<gchar> version(atspi_accessible_get_toolkit_version(app, nullptr));
    return version.value && g_ascii_strtoull(version.value, nullptr, 10) >= 4;
}

CaretStep AtspiCaretQuery::readCaretBounds()
{
    Ref<AtspiText> text(atspi_accessible_get_text_iface(element_));
    if (!text)
        return CaretStep::failed(notText);
    const bool isRelative = isWindowRelative(app_);
    const AtspiCoordType coords = isRelative ? ATSPI_COORD_TYPE_WINDOW : ATSPI_COORD_TYPE_SCREEN;

    Call call;
    Owned<AtspiRect> atCaret(
        atspi_text_get_character_extents(text.get(), caret_, coords, call.error()));
    std::optional<CaretRect> rect;
    if (call.failed()) {
        // GTK 4 (before 4.12) has no character extents. A one-line field's own rectangle still
        // puts the popup right under the text; a larger text area's would not. GTK 4 marks only
        // the multi-line ones.
        if (call.code() == noReply || hasState(element_, ATSPI_STATE_MULTI_LINE))
            return CaretStep::failed(call.code());
        rect = ownExtents(coords);
    } else if (isUsable(atCaret.value)) {
        rect = toCaretRect(*atCaret.value);
    } else if (caret_ > 0) {
        // At the end of the text there is no character at the caret: it stands right after
        // the last one.
        Call before;
        Owned<AtspiRect> last(
            atspi_text_get_character_extents(text.get(), caret_ - 1, coords, before.error()));
        if (before.failed())
            return CaretStep::failed(before.code());
        if (isUsable(last.value))
            rect = CaretRect{static_cast<double>(last.value->x + last.value->width),
                             static_cast<double>(last.value->y), 0.0,
                             static_cast<double>(last.value->height)};
    } else if (atspi_text_get_character_count(text.get(), nullptr) == 0) {
        // An empty field without a caret rectangle: the field itself.
        rect = ownExtents(coords);
    }

    // On Wayland even "screen" extents are relative to the window.
    if (rect && (isRelative || front_.relativeExtents)) {
        const auto frame = frontFrame();
        const quint32 pid = atspi_accessible_get_process_id(app_, nullptr);
        if (frame && (frame->pid == 0 || frame->pid == pid)) {
            rect->x += frame->contentOrigin.x();
            rect->y += frame->contentOrigin.y();
        } else {
            rect.reset(); // the window moved on: its position is unknown
        }
    }
    rect_ = rect;
    return CaretStep::ok();
}

std::optional<CaretRect> AtspiCaretQuery::ownExtents(int coords)
{
    Ref<AtspiComponent> component(atspi_accessible_get_component_iface(element_));
    if (!component)
        return std::nullopt;
    Owned<AtspiRect> own(
        atspi_component_get_extents(component.get(), static_cast<AtspiCoordType>(coords), nullptr));
    if (!isUsable(own.value))
        return std::nullopt;
    return toCaretRect(*own.value);
}

std::optional<CaretRect> AtspiCaretQuery::caretRect()
{
    return rect_;
}

void AtspiCaretQuery::finish()
{
    for (AtspiAccessible** held : {&element_, &app_, &frontApp_, &frontWindow_}) {
        if (*held)
            g_object_unref(std::exchange(*held, nullptr));
    }
    caret_ = -1;
    rect_.reset();
}

std::unique_ptr<CaretQuery> makeCaretQuery()
{
    return std::make_unique<AtspiCaretQuery>();
}

} // namespace quillstow::platform
