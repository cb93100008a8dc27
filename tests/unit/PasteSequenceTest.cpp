// The paste sequence against recording fakes of the clipboard, window manager, keyboard and
// notification service.
#include "app/PasteSequence.h"

#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using namespace std::chrono_literals;
using namespace quillstow;
using platform::Key;
using platform::KeyChord;
using platform::WindowRef;

QString describe(const KeyChord& chord)
{
    static const char* const names[] = {"Control", "Shift", "V", "Insert", "Right"};
    QStringList out;
    for (const Key key : chord)
        out << QString::fromUtf8(names[static_cast<int>(key)]);
    return out.join(u'+');
}

// The clipboard, window manager, keyboard and notification service in one, writing what it was
// asked to do into one journal, with the time since the journal started.
struct FakeDesktop : platform::ClipboardWriter,
                     platform::WindowSystem,
                     platform::KeyInjector,
                     platform::Notifier
{
    QElapsedTimer clock;
    QStringList journal;
    std::vector<qint64> times;
    QString text, primary;
    std::optional<WindowRef> front;
    bool available = true;
    int heldForPolls = 0; // negative: held for ever
    int modifierPolls = 0;
    std::optional<Key> missing;
    std::chrono::milliseconds settle{0};

    FakeDesktop() { clock.start(); }
    void add(const QString& what)
    {
        journal << what;
        times.push_back(clock.elapsed());
    }
    qint64 timeOf(const char* what) const
    {
        const auto i = journal.indexOf(QString::fromUtf8(what));
        return i < 0 ? -1 : times[static_cast<std::size_t>(i)];
    }
    void setText(const QString& t) override
    {
        text = t;
        add(QStringLiteral("clipboard"));
    }
    void setPrimaryText(const QString& t) override
    {
        primary = t;
        add(QStringLiteral("primary"));
    }
    std::optional<WindowRef> activeWindow() override { return front; }
    void activate(const WindowRef& w) override { add(QStringLiteral("activate %1").arg(w.handle)); }
    bool isAvailable() override { return available; }
    bool isModifierHeld() override
    {
        EXPECT_TRUE(available) << "keyboard asked about on a display without synthetic input";
        ++modifierPolls;
        return heldForPolls < 0 || modifierPolls <= heldForPolls;
    }
    std::chrono::milliseconds settleDelay() const override { return settle; }
    void releaseModifiers() override { add(QStringLiteral("release modifiers")); }
    bool press(const KeyChord& chord) override
    {
        EXPECT_TRUE(available) << "key pressed on a display without synthetic input";
        if (missing && std::find(chord.begin(), chord.end(), *missing) != chord.end())
            return false;
        add(QStringLiteral("down ") + describe(chord));
        return true;
    }
    void release(const KeyChord& chord) override { add(QStringLiteral("up ") + describe(chord)); }
    void notify(const QString&, const QString&) override { add(QStringLiteral("notify")); }
};

// Short pauses, so that most cases run in a few milliseconds.
constexpr PasteTiming quick{1ms, 1ms, 1ms, 200ms, 1ms};

struct Fixture
{
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    FakeDesktop& fake = *desktop;
    std::unique_ptr<PasteSequence> sequence;
    QSignalSpy done;

    explicit Fixture(PasteTiming timing = quick)
        : sequence(std::make_unique<PasteSequence>(
              PasteServices{desktop, desktop, desktop, desktop}, timing)),
          done(sequence.get(), &PasteSequence::finished)
    {}

    // Delivers and waits (generously) for the last step.
    bool deliverAndWait(const QString& content, const std::optional<WindowRef>& target)
    {
        sequence->deliver(content, target);
        return done.wait(5000);
    }
};

WindowRef window(quint64 id, const char* wmClass)
{
    return WindowRef{id, QString::fromUtf8(wmClass), QString::fromUtf8(wmClass), 4242};
}

// What follows the activation: the paste keys, then a Right Arrow outside terminals only.
QStringList pasteSteps(const QString& chord)
{
    QStringList steps;
    if (chord == QStringLiteral("Shift+Insert"))
        steps << QStringLiteral("primary");
    steps << QStringLiteral("down ") + chord << QStringLiteral("up ") + chord;
    if (chord == QStringLiteral("Control+V"))
        steps << QStringLiteral("down Right") << QStringLiteral("up Right");
    return steps;
}

TEST(PasteSequence, RunsItsStepsInOrderWithThePausesBetween)
{
    PasteTiming timing; // the real pauses, with keys held long enough to measure
    timing.keyHold = 40ms;
    Fixture f(timing);
    const qint64 start = f.fake.clock.elapsed();
    f.sequence->deliver(QStringLiteral("hello"), window(7, "Zenity"));
    // The clipboard is written before deliver() returns, and nothing else yet.
    EXPECT_EQ(f.fake.journal, QStringList{QStringLiteral("clipboard")});
    ASSERT_TRUE(f.done.wait(5000));
    // Lower bounds only: a loaded machine may run the steps late, never early.
    EXPECT_GE(f.fake.timeOf("activate 7") - start, 149);
    EXPECT_GE(f.fake.timeOf("down Control+V") - f.fake.timeOf("activate 7"), 199);
    EXPECT_GE(f.fake.timeOf("up Control+V") - f.fake.timeOf("down Control+V"), 35);
    EXPECT_GE(f.fake.timeOf("up Right") - f.fake.timeOf("down Right"), 35);
    EXPECT_EQ(f.fake.text, QStringLiteral("hello"));
}

TEST(PasteSequence, PasteKeysFollowTheWindowsClassWhateverItsCase)
{
    // xterm and its relatives have no Control+Shift+V; Shift+Insert pastes the primary selection.
    for (const auto& [wmClass, keys] : {std::pair{"XTerm", PasteKeys::ShiftInsert},
                                        {"ALACRITTY", PasteKeys::ControlShiftV},
                                        {"TerminalNotes", PasteKeys::ControlV}, // merely a name
                                        {"XTermNotes", PasteKeys::ControlV},
                                        {"", PasteKeys::ControlV}}) // no WM_CLASS
        EXPECT_EQ(pasteKeysFor(QString::fromUtf8(wmClass)), keys) << wmClass;
}

TEST(PasteSequence, PressesThePasteKeysOfTheTargetOrOfTheWindowInFront)
{
    // The classes of the target and of the window in front; nullptr: none
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"XTerm", "kitty", "Shift+Insert"},
        {nullptr, "kitty", "Control+Shift+V"},
        {nullptr, nullptr, "Control+V"},
    };
    for (const auto& [target, front, chord] : cases) {
        SCOPED_TRACE(chord);
        Fixture f;
        if (front)
            f.fake.front = window(4, front);
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"),
                                     target ? std::optional(window(3, target)) : std::nullopt));
        QStringList expected{QStringLiteral("clipboard")};
        if (target)
            expected << QStringLiteral("activate 3");
        EXPECT_EQ(f.fake.journal, expected + pasteSteps(QString::fromUtf8(chord)));
        const bool primary = qstrcmp(chord, "Shift+Insert") == 0;
        EXPECT_EQ(f.fake.primary, primary ? QStringLiteral("x") : QString());
    }
}

TEST(PasteSequence, AsksForAManualPasteWithoutSyntheticInputOrWithoutThePasteKey)
{
    // wmClass: nullptr: no target
    const std::tuple<const char*, bool, std::optional<Key>, const char*, QStringList> cases[] = {
        {"no synthetic input", false, std::nullopt, "XTerm", {QStringLiteral("activate 1")}},
        {"no synthetic input, no target", false, std::nullopt, nullptr, {}},
        {"no V on the key map", true, Key::V, "Gedit", {QStringLiteral("activate 1")}},
        {"no Insert on the key map",
         true,
         Key::Insert,
         "XTerm",
         {QStringLiteral("activate 1"), QStringLiteral("primary")}},
    };
    for (const auto& [name, available, missing, wmClass, steps] : cases) {
        SCOPED_TRACE(name);
        Fixture f;
        f.fake.available = available;
        f.fake.missing = missing;
        const auto target = wmClass ? std::optional(window(1, wmClass)) : std::nullopt;
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("secret"), target));
        EXPECT_EQ(f.fake.journal, QStringList{QStringLiteral("clipboard")} + steps +
                                      QStringList{QStringLiteral("notify")});
        EXPECT_EQ(f.fake.text, QStringLiteral("secret"));
    }
}

TEST(PasteSequence, WaitsForModifierKeysToBeLetGoOf)
{
    const std::tuple<int, bool, std::chrono::milliseconds> cases[] = {
        {5, false, 0ms},  // let go of after a few polls
        {-1, true, 0ms},  // still held at the limit: we let go of them ourselves
        {0, false, 80ms}, // held modifiers cannot be seen: a pause before the keys instead
    };
    for (const auto& [heldForPolls, releasedByUs, settle] : cases) {
        SCOPED_TRACE(heldForPolls);
        PasteTiming timing = quick;
        timing.modifierPoll = 5ms;
        timing.modifierWaitLimit = 150ms;
        Fixture f(timing);
        f.fake.heldForPolls = heldForPolls;
        f.fake.settle = settle;
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("x"), window(2, "Zenity")));
        QStringList expected{QStringLiteral("clipboard"), QStringLiteral("activate 2")};
        if (releasedByUs)
            expected << QStringLiteral("release modifiers");
        EXPECT_EQ(f.fake.journal, expected + pasteSteps(QStringLiteral("Control+V")));
        if (heldForPolls > 0) {
            EXPECT_EQ(f.fake.modifierPolls, heldForPolls + 1);
        }
        // Gave up only after the limit, not at once; the keys came only after the pause.
        const qint64 activated = f.fake.timeOf("activate 2");
        if (releasedByUs) {
            EXPECT_GE(f.fake.timeOf("release modifiers") - activated, 130);
        }
        EXPECT_GE(f.fake.timeOf("down Control+V") - activated, settle.count() - 1);
    }
}

TEST(PasteSequence, ANewDeliveryReplacesOneUnderWayAndNoKeyIsLeftDown)
{
    // Before the activation: the first target is never brought forward.
    {
        PasteTiming timing = quick;
        timing.activateAfter = 50ms;
        Fixture f(timing);
        f.sequence->deliver(QStringLiteral("first"), window(1, "Gedit"));
        ASSERT_TRUE(f.deliverAndWait(QStringLiteral("second"), window(2, "XTerm")));
        QTest::qWait(100); // what the first had left to do would have run by now
        EXPECT_EQ(f.fake.journal,
                  (QStringList{QStringLiteral("clipboard"), QStringLiteral("clipboard"),
                               QStringLiteral("activate 2")} +
                   pasteSteps(QStringLiteral("Shift+Insert"))));
        EXPECT_EQ(f.fake.primary, QStringLiteral("second"));
    }
    // While the paste keys are down, a new delivery or the end of the sequence lets go of them
    // before anything else.
    PasteTiming timing = quick;
    timing.keyHold = 200ms;
    for (const bool destroyed : {false, true}) {
        SCOPED_TRACE(destroyed ? "destroyed" : "replaced");
        Fixture f(timing);
        f.sequence->deliver(QStringLiteral("first"), window(1, "Gedit"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.fake.timeOf("down Control+V") >= 0; }, 5000));
        if (destroyed) {
            f.sequence.reset();
        } else {
            ASSERT_TRUE(f.deliverAndWait(QStringLiteral("second"), window(1, "Gedit")));
        }
        EXPECT_EQ(f.fake.journal.mid(2, 2),
                  (QStringList{QStringLiteral("down Control+V"), QStringLiteral("up Control+V")}));
        EXPECT_EQ(f.fake.journal.count(QStringLiteral("down Control+V")),
                  f.fake.journal.count(QStringLiteral("up Control+V")));
    }
}

} // namespace
