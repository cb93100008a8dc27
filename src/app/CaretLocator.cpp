#include "app/CaretLocator.h"

#include "platform/DebugLog.h"

#include <array>
#include <charconv>
#include <cmath>

namespace quillstow {

namespace {

const QString prefix = QStringLiteral("caretScreenOrigin: ");

void logFailure(const char* what, qint32 code)
{
    debuglog::write(prefix + QLatin1String(what) + QStringLiteral(" (err=") +
                    QString::number(code) + u')');
}

// Releases what the query holds on every way out of a lookup.
class LookupScope
{
public:
    explicit LookupScope(platform::CaretQuery& query) : query_(query) {}
    ~LookupScope() { query_.finish(); }
    LookupScope(const LookupScope&) = delete;
    LookupScope& operator=(const LookupScope&) = delete;

private:
    platform::CaretQuery& query_;
};

} // namespace

QString formatLogNumber(double value)
{
    // Fixed notation keeps screen coordinates readable; without a precision it is still the
    // shortest form that reads back exactly.
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
    if (std::isfinite(value) && !text.contains(u'.'))
        text += QStringLiteral(".0");
    return text;
}

CaretLocator::CaretLocator() : CaretLocator(platform::makeCaretQuery()) {}

CaretLocator::CaretLocator(std::unique_ptr<platform::CaretQuery> query) : query_(std::move(query))
{}

CaretLocator::~CaretLocator() = default;

void CaretLocator::followFocus()
{
    query_->followFocus();
}

std::optional<QPointF> CaretLocator::caretScreenOrigin()
{
    const std::optional<QRectF> rect = caretScreenRect();
    return rect ? std::optional(rect->bottomLeft()) : std::nullopt;
}

std::optional<QRectF> CaretLocator::caretScreenRect()
{
    LookupScope scope(*query_);

    platform::CaretStep found = query_->findFocusedElement();
    // Nothing focused is how the application in front looks while the hot key holds the
    // keyboard; an application that hangs or a missing bus would only fail again.
    if (!found.isOk && found.code == 0) {
        if (const auto last = query_->findLastFocusedElement(); last.isOk)
            found = last;
    }
    if (!found.isOk) {
        logFailure("no focused element", found.code);
        return std::nullopt;
    }
    if (const auto step = query_->readCaret(); !step.isOk) {
        logFailure("no text range", step.code);
        return std::nullopt;
    }
    if (const auto step = query_->readCaretBounds(); !step.isOk) {
        logFailure("no bounds", step.code);
        return std::nullopt;
    }
    const auto rect = query_->caretRect();
    if (!rect) {
        debuglog::write(prefix + QStringLiteral("AXValueGetValue failed"));
        return std::nullopt;
    }

    // Screen coordinates grow downward here, so the lower-left corner is the top plus the
    // height; no flipping against a screen is needed.
    const QPointF origin(rect->x, rect->y + rect->height);
    debuglog::write(prefix + QStringLiteral("success rect=(") + formatLogNumber(rect->x) +
                    QStringLiteral(", ") + formatLogNumber(rect->y) + QStringLiteral(", ") +
                    formatLogNumber(rect->width) + QStringLiteral(", ") +
                    formatLogNumber(rect->height) + QStringLiteral(") -> origin=(") +
                    formatLogNumber(origin.x()) + QStringLiteral(", ") +
                    formatLogNumber(origin.y()) + u')');
    return QRectF(rect->x, rect->y, rect->width, rect->height);
}

} // namespace quillstow
