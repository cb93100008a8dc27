// The paste sequence against recording fakes of the clipboard, window manager, keyboard and
// notification service.
#include "picker/PasteSequence.h"

#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using quillstow::PasteSequence;
using quillstow::PasteServices;
using quillstow::PasteTiming;
using quillstow::platform::Key;
using quillstow::platform::KeyChord;
using quillstow::platform::WindowRef;

QString describe(const KeyChord& chord)
{
    QStringList names;
    for (const Key key : chord) {
        switch (key) {
        case Key::Control:
            names << QStringLiteral("Control");
            break;
        case Key::Shift:
            names << QStringLiteral("Shift");
            break;
        case Key::V:
            names << QStringLiteral("V");
            break;
        case Key::Insert:
            names << QStringLiteral("Insert");
            break;
        case Key::RightArrow:
            names << QStringLiteral("Right");
            break;
        }
    }
    return names.join(u'+');
}

// Every fake writes what it was asked to do into one shared journal, with the time since the
// journal started.
struct Journal
{
    struct Entry
    {
        QString what;
        qint64 atMs;
    };
    QElapsedTimer clock;
    std::vector<Entry> entries;

    Journal() { clock.start(); }
    void add(QString what) { entries.push_back({std::move(what), clock.elapsed()}); }
    QStringList whats() const
    {
        QStringList out;
        for (const Entry& e : entries)
            out << e.what;
        return out;
    }
    qint64 timeOf(const QString& what) const
    {
        for (const Entry& e : entries)
            if (e.what == what)
                return e.atMs;
        return -1;
    }
};

class FakeClipboard : public quillstow::platform::ClipboardWriter
{
public:
    explicit FakeClipboard(Journal& j) : journal(j) {}
    void setText(const QString& t) override
    {
        text = t;
        journal.add(QStringLiteral("clipboard"));
    }
    void setPrimaryText(const QString& t) override
    {
        primary = t;
        journal.add(QStringLiteral("primary"));
    }
    Journal& journal;
    QString text;
    QString primary;
};

class FakeWindows : public quillstow::platform::WindowSystem
{
public:
    explicit FakeWindows(Journal& j) : journal(j) {}
    std::optional<WindowRef> activeWindow() override { return front; }
    void activate(const WindowRef& w) override
    {
        journal.add(QStringLiteral("activate %1").arg(w.id));
    }
    Journal& journal;
    std::optional<WindowRef> front;
};

class FakeKeys : public quillstow::platform::KeyInjector
{
public:
    explicit FakeKeys(Journal& j) : journal(j) {}
    bool isAvailable() override { return available; }
    bool isModifierHeld() override
    {
        EXPECT_TRUE(available) << "keyboard asked about on a display without synthetic input";
        ++modifierPolls;
        return heldForPolls < 0 || modifierPolls <= heldForPolls;
    }
    void releaseModifiers() override { journal.add(QStringLiteral("release modifiers")); }
    bool press(const KeyChord& chord) override
    {
        EXPECT_TRUE(available) << "key pressed on a display without synthetic input";
        for (const Key k : chord)
            if (std::find(missing.begin(), missing.end(), k) != missing.end())
                return false;
        journal.add(QStringLiteral("down ") + describe(chord));
        return true;
    }
    void release(const KeyChord& chord) override
    {
        journal.add(QStringLiteral("up ") + describe(chord));
    }
    Journal& journal;
    bool available = true;
    int heldForPolls = 0; // negative: held for ever
    int modifierPolls = 0;
    std::vector<Key> missing;
};

class FakeNotifier : public quillstow::platform::Notifier
{
public:
    explicit FakeNotifier(Journal& j) : journal(j) {}
    void notify(const QString& t, const QString& b) override
    {
        journal.add(QStringLiteral("notify"));
        title = t;
        body = b;
    }
    Journal& journal;
    QString title, body;
};

// Short pauses, so that most cases run in a few milliseconds.
constexpr PasteTiming quick{1ms, 1ms, 1ms, 200ms, 1ms};

struct Fixture
{
    Journal journal;
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>(journal);
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>(journal);
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>(journal);
    std::shared_ptr<FakeNotifier> notifier = std::make_shared<FakeNotifier>(journal);
    PasteSequence sequence;

    explicit Fixture(PasteTiming timing = quick)
        : sequence(PasteServices{clipboard, windows, keys, notifier}, timing)
    {}

    // Delivers and waits (generously) for the last step.
    bool deliverAndWait(const QString& content, const std::optional<WindowRef>& target)
    {
        QSignalSpy done(&sequence, &PasteSequence::finished);
        sequence.deliver(content, target);
        return done.wait(5000);
    }
};

WindowRef window(quint64 id, const QString& wmClass)
{
    return WindowRef{id, wmClass, wmClass, 4242};
}

TEST(PasteSequence, RunsItsStepsInOrderWithThePausesBetween)
{
    Fixture f(PasteTiming{}); // the real pauses
    QSignalSpy done(&f.sequence, &PasteSequence::finished);
    const qint64 start = f.journal.clock.elapsed();
    f.sequence.deliver(QStringLiteral("hello"), window(7, QStringLiteral("Zenity")));
    // The clipboard is written before deliver() returns, and nothing else yet.
    EXPECT_EQ(f.journal.whats(), QStringList{QStringLiteral("clipboard")});
    ASSERT_TRUE(done.wait(5000));

    EXPECT_EQ(f.journal.whats(),
              (QStringList{QStringLiteral("clipboard"), QStringLiteral("activate 7"),
                           QStringLiteral("down Control+V"), QStringLiteral("up Control+V"),
                           QStringLiteral("down Right"), QStringLiteral("up Right")}));
    // Lower bounds only: a loaded machine may run the steps late, never early.
    const qint64 activated = f.journal.timeOf(QStringLiteral("activate 7"));
    const qint64 pressed = f.journal.timeOf(QStringLiteral("down Control+V"));
    EXPECT_GE(activated - start, 149);
    EXPECT_GE(pressed - activated, 199);
    EXPECT_EQ(f.clipboard->text, QStringLiteral("hello"));
    EXPECT_EQ(done.count(), 1);
}

TEST(PasteSequence, HoldsEachKeyDownForAWhile)
{
    PasteTiming timing = quick;
    timing.keyHold = 40ms;
    Fixture f(timing);
    ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"), window(1, QStringLiteral("Gedit"))));
    EXPECT_GE(f.journal.timeOf(QStringLiteral("up Control+V")) -
                  f.journal.timeOf(QStringLiteral("down Control+V")),
              35);
    EXPECT_GE(f.journal.timeOf(QStringLiteral("up Right")) -
                  f.journal.timeOf(QStringLiteral("down Right")),
              35);
}

// What follows the activation: the paste keys, then a Right Arrow outside terminals only.
QStringList pasteSteps(const char* keys)
{
    const QString chord = QString::fromUtf8(keys);
    QStringList steps;
    if (chord == QStringLiteral("Shift+Insert"))
        steps << QStringLiteral("primary");
    steps << QStringLiteral("down ") + chord << QStringLiteral("up ") + chord;
    if (chord == QStringLiteral("Control+V"))
        steps << QStringLiteral("down Right") << QStringLiteral("up Right");
    return steps;
}

TEST(PasteSequence, PressesTheKeysEachKindOfWindowPastesWith)
{
    const struct
    {
        const char* wmClass;
        const char* paste;
    } cases[] = {
        // xterm and its relatives have no Control+Shift+V; Shift+Insert pastes the primary
        // selection there.
        {"XTerm", "Shift+Insert"},
        {"UXTerm", "Shift+Insert"},
        {"URxvt", "Shift+Insert"},
        {"Rxvt", "Shift+Insert"},
        {"XTERM", "Shift+Insert"}, // case does not matter
        {"Alacritty", "Control+Shift+V"},
        {"kitty", "Control+Shift+V"},
        {"foot", "Control+Shift+V"},
        {"konsole", "Control+Shift+V"},
        {"Gnome-terminal", "Control+Shift+V"},
        {"gnome-terminal-server", "Control+Shift+V"},
        {"Xfce4-terminal", "Control+Shift+V"},
        {"Tilix", "Control+Shift+V"},
        {"Terminator", "Control+Shift+V"},
        {"org.wezfurlong.wezterm", "Control+Shift+V"},
        {"Zenity", "Control+V"},
        {"firefox", "Control+V"},
        {"Gedit", "Control+V"},
        {"TerminalNotes", "Control+V"}, // a name merely containing "Terminal"
        {"XTermNotes", "Control+V"},
        {"", "Control+V"}, // a window without WM_CLASS
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wmClass);
        Fixture f;
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"), window(3, QString::fromUtf8(c.wmClass))));
        EXPECT_EQ(f.journal.whats(),
                  (QStringList{QStringLiteral("clipboard"), QStringLiteral("activate 3")} +
                   pasteSteps(c.paste)));
        EXPECT_EQ(f.clipboard->text, QStringLiteral("x"));
        EXPECT_EQ(f.clipboard->primary, QString::fromUtf8(c.paste) == QStringLiteral("Shift+Insert")
                                            ? QStringLiteral("x")
                                            : QString());
    }
}

TEST(PasteSequence, WithoutTargetActivatesNothingAndPastesIntoTheWindowInFront)
{
    const struct
    {
        std::optional<WindowRef> front;
        const char* paste;
    } cases[] = {
        {std::nullopt, "Control+V"},
        {window(9, QStringLiteral("Zenity")), "Control+V"},
        {window(9, QStringLiteral("kitty")), "Control+Shift+V"},
        {window(9, QStringLiteral("XTerm")), "Shift+Insert"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.paste);
        Fixture f;
        f.windows->front = c.front;
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"), std::nullopt));
        EXPECT_EQ(f.journal.whats(),
                  QStringList{QStringLiteral("clipboard")} + pasteSteps(c.paste));
    }
}

TEST(PasteSequence, WithoutSyntheticInputAsksTheUserToPasteByHand)
{
    for (const bool hasTarget : {true, false}) {
        SCOPED_TRACE(hasTarget);
        Fixture f;
        f.keys->available = false;
        const auto target =
            hasTarget ? std::optional(window(5, QStringLiteral("XTerm"))) : std::nullopt;
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("secret"), target));
        QStringList expected{QStringLiteral("clipboard")};
        if (hasTarget)
            expected << QStringLiteral("activate 5");
        expected << QStringLiteral("notify");
        EXPECT_EQ(f.journal.whats(), expected);
        EXPECT_EQ(f.notifier->title, QStringLiteral("Quillstow"));
        EXPECT_EQ(f.notifier->body,
                  QString::fromUtf8("Content copied \u2014 press Ctrl+V to paste. (Grant "
                                    "Accessibility for auto-paste)"));
        EXPECT_EQ(f.keys->modifierPolls, 0);
        EXPECT_EQ(f.clipboard->text, QStringLiteral("secret"));
    }
}

TEST(PasteSequence, WaitsForModifierKeysToBeLetGoOf)
{
    const struct
    {
        int heldForPolls;
        bool releasedByUs;
    } cases[] = {
        {0, false}, // nothing held
        {5, false}, // let go of after a few polls
        {-1, true}, // still held at the limit: we let go of them ourselves
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heldForPolls);
        PasteTiming timing = quick;
        timing.modifierPoll = 5ms;
        timing.modifierWaitLimit = 150ms;
        Fixture f(timing);
        f.keys->heldForPolls = c.heldForPolls;
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"), window(2, QStringLiteral("Zenity"))));
        QStringList expected{QStringLiteral("clipboard"), QStringLiteral("activate 2")};
        if (c.releasedByUs)
            expected << QStringLiteral("release modifiers");
        expected << QStringLiteral("down Control+V") << QStringLiteral("up Control+V")
                 << QStringLiteral("down Right") << QStringLiteral("up Right");
        EXPECT_EQ(f.journal.whats(), expected);
        if (c.heldForPolls > 0) {
            EXPECT_EQ(f.keys->modifierPolls, c.heldForPolls + 1);
        }
        if (c.releasedByUs) {
            // Gave up only after the limit, not at once.
            EXPECT_GE(f.journal.timeOf(QStringLiteral("release modifiers")) -
                          f.journal.timeOf(QStringLiteral("activate 2")),
                      130);
        }
    }
}

TEST(PasteSequence, PutsTheWholeContentOnTheClipboard)
{
    QString longText;
    for (int i = 0; i < 2000; ++i)
        longText +=
            QStringLiteral("line %1 with \"quotes\", a \\ and caf\u00e9 \U0001F600\n").arg(i);
    const QString cases[] = {QString(), QStringLiteral(" "), QStringLiteral("a\r\nb\tc"), longText};
    for (const QString& content : cases) {
        Fixture f;
        ASSERT_TRUE(f.deliverAndWait(content, window(1, QStringLiteral("Gedit"))));
        EXPECT_EQ(f.clipboard->text, content);
    }
}

TEST(PasteSequence, ANewDeliveryReplacesOneUnderWay)
{
    // Before the activation: the first target is never brought forward.
    {
        PasteTiming timing = quick;
        timing.activateAfter = 50ms;
        Fixture f(timing);
        QSignalSpy done(&f.sequence, &PasteSequence::finished);
        f.sequence.deliver(QStringLiteral("first"), window(1, QStringLiteral("Gedit")));
        f.sequence.deliver(QStringLiteral("second"), window(2, QStringLiteral("XTerm")));
        ASSERT_TRUE(done.wait(5000));
        QTest::qWait(100);
        EXPECT_EQ(done.count(), 1);
        EXPECT_EQ(f.clipboard->text, QStringLiteral("second"));
        EXPECT_EQ(f.journal.whats(),
                  (QStringList{QStringLiteral("clipboard"), QStringLiteral("clipboard"),
                               QStringLiteral("activate 2")} +
                   pasteSteps("Shift+Insert")));
        EXPECT_EQ(f.clipboard->primary, QStringLiteral("second"));
    }
    // While the paste keys are down: they are let go of first, never left stuck.
    {
        PasteTiming timing = quick;
        timing.keyHold = 200ms;
        Fixture f(timing);
        QSignalSpy done(&f.sequence, &PasteSequence::finished);
        f.sequence.deliver(QStringLiteral("first"), window(1, QStringLiteral("Gedit")));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return f.journal.timeOf(QStringLiteral("down Control+V")) >= 0; }, 5000));
        f.sequence.deliver(QStringLiteral("second"), window(1, QStringLiteral("Gedit")));
        ASSERT_TRUE(done.wait(5000));
        const QStringList whats = f.journal.whats();
        EXPECT_EQ(whats.mid(0, 5),
                  (QStringList{QStringLiteral("clipboard"), QStringLiteral("activate 1"),
                               QStringLiteral("down Control+V"), QStringLiteral("up Control+V"),
                               QStringLiteral("clipboard")}));
        EXPECT_EQ(whats.count(QStringLiteral("down Control+V")),
                  whats.count(QStringLiteral("up Control+V")));
    }
}

TEST(PasteSequence, LetsGoOfItsKeysWhenDestroyedMidway)
{
    Journal journal;
    auto keys = std::make_shared<FakeKeys>(journal);
    {
        PasteTiming timing = quick;
        timing.keyHold = 500ms;
        PasteSequence sequence(PasteServices{std::make_shared<FakeClipboard>(journal),
                                             std::make_shared<FakeWindows>(journal), keys,
                                             std::make_shared<FakeNotifier>(journal)},
                               timing);
        sequence.deliver(QStringLiteral("x"), window(1, QStringLiteral("Gedit")));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return journal.timeOf(QStringLiteral("down Control+V")) >= 0; }, 5000));
    }
    EXPECT_EQ(journal.whats().last(), QStringLiteral("up Control+V"));
}

TEST(PasteSequence, WithoutThePasteKeyOnTheKeyboardMapAsksForAManualPaste)
{
    const struct
    {
        const char* wmClass;
        Key missing;
        QStringList steps;
    } cases[] = {
        {"Gedit", Key::V, {}},
        {"XTerm", Key::Insert, {QStringLiteral("primary")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wmClass);
        Fixture f;
        f.keys->missing = {c.missing};
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"), window(1, QString::fromUtf8(c.wmClass))));
        EXPECT_EQ(f.journal.whats(),
                  (QStringList{QStringLiteral("clipboard"), QStringLiteral("activate 1")} +
                   c.steps + QStringList{QStringLiteral("notify")}));
    }
}

} // namespace
