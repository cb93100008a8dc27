// The paste into real applications on the private desktop, with synthetic input available.
#include "PasteDesktopSupport.h"
#include "picker/PasteSequence.h"
#include "platform/Desktop.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using namespace quillstow;
using namespace quillstow::test;

const QString zenity = QStringLiteral("zenity");

QStringList zenityEntry()
{
    return {QStringLiteral("--entry"), QStringLiteral("--title=Paste target"),
            QStringLiteral("--text=Type here")};
}

// Delivers `content` to `target` from our stand-in picker, as a Return in the picker would.
bool deliverFromPicker(StandInPicker& picker, PasteSequence& sequence, const QString& content,
                       const platform::WindowRef& target)
{
    if (!picker.takeFocus())
        return false;
    picker.close();
    QSignalSpy done(&sequence, &PasteSequence::finished);
    sequence.deliver(content, target);
    if (!done.wait(10000))
        return false;
    // The target fetches the text from us after the keys; let it.
    QTest::qWait(500);
    return true;
}

TEST(PasteDesktop, SyntheticInputIsAvailable)
{
    EXPECT_TRUE(platform::isSyntheticInputAvailable());
}

TEST(PasteDesktop, TellsTheActiveWindowAndActivatesIt)
{
    auto windows = qtWindowSystem();
    TargetProgram target(zenity, zenityEntry());
    const quint64 id = waitForWindowOfClass(zenity);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(waitUntilActive(*windows, id));

    const auto active = windows->activeWindow();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->wmClass, QStringLiteral("Zenity"));
    EXPECT_EQ(active->name, QStringLiteral("Paste target"));
    EXPECT_EQ(active->pid, target.pid());

    StandInPicker picker(*windows);
    ASSERT_TRUE(picker.takeFocus());
    windows->activate(*active);
    EXPECT_TRUE(waitUntilActive(*windows, id));
}

TEST(PasteDesktop, PastesIntoAGtkEntryWhateverTheKeyboardLayout)
{
    const QString content =
        QString::fromUtf8("Gr\u00fc\u00dfe aus \u6771\u4eac \u2014 \"quoted\" \\ ok");
    for (const QString& layout :
         {QStringLiteral("us"), QStringLiteral("dvorak"), QStringLiteral("fr")}) {
        SCOPED_TRACE(layout.toStdString());
        runTool(QStringLiteral("setxkbmap"), {layout});
        auto windows = qtWindowSystem();
        auto sequence = PasteSequence::forDesktop(windows);
        StandInPicker picker(*windows);
        TargetProgram target(zenity, zenityEntry());
        const quint64 id = waitForWindowOfClass(zenity);
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(waitUntilActive(*windows, id));
        const auto ref = windows->activeWindow();
        ASSERT_TRUE(ref);

        ASSERT_TRUE(deliverFromPicker(picker, *sequence, content, *ref));
        ASSERT_TRUE(waitUntilActive(*windows, id));
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        ASSERT_TRUE(target.waitForExit());
        EXPECT_EQ(target.output(), content + u'\n');
    }
    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

TEST(PasteDesktop, WaitsForTheUserToLetGoOfModifierKeys)
{
    auto windows = qtWindowSystem();
    auto sequence = PasteSequence::forDesktop(windows);
    StandInPicker picker(*windows);
    TargetProgram target(zenity, zenityEntry());
    const quint64 id = waitForWindowOfClass(zenity);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(waitUntilActive(*windows, id));
    const auto ref = windows->activeWindow();
    ASSERT_TRUE(ref);

    // Still holding the hot key's modifiers: with them, Control+V would not paste.
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("super+shift")});
    bool letGo = false;
    QTimer::singleShot(700, [&] {
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("keyup"), QStringLiteral("super+shift")});
        letGo = true;
    });
    const QString content = QStringLiteral("held modifiers");
    bool letGoBeforePaste = false;
    QObject::connect(sequence.get(), &PasteSequence::finished, [&] { letGoBeforePaste = letGo; });
    ASSERT_TRUE(deliverFromPicker(picker, *sequence, content, *ref));
    EXPECT_TRUE(letGoBeforePaste) << "pasted before the modifiers were let go of";

    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(target.waitForExit());
    EXPECT_EQ(target.output(), content + u'\n');
}

TEST(PasteDesktop, PastesIntoTerminalsWithTheirOwnKeysAndNothingMore)
{
    const struct
    {
        const char* wmClass;
        QStringList options;
    } cases[] = {
        // A stock xterm: Shift+Insert pastes the primary selection, Control+Shift+V nothing.
        {"XTerm", {}},
        // The same program under the class of a terminal that pastes the clipboard on
        // Control+Shift+V, and made to do so.
        {"Alacritty",
         {QStringLiteral("-class"), QStringLiteral("Alacritty"), QStringLiteral("-xrm"),
          QStringLiteral("Alacritty*VT100.translations: #override Ctrl Shift <Key>V: "
                         "insert-selection(CLIPBOARD)")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wmClass);
        const QString wmClass = QString::fromUtf8(c.wmClass);
        auto windows = qtWindowSystem();
        auto sequence = PasteSequence::forDesktop(windows);
        StandInPicker picker(*windows);
        const QString outFile =
            QDir(qEnvironmentVariable("TESTBED_DIR")).filePath(wmClass + QStringLiteral(".txt"));
        // cat -v shows every byte it is given: an arrow key would show as ^[[C.
        TargetProgram target(QStringLiteral("xterm"),
                             c.options + QStringList{QStringLiteral("-e"), QStringLiteral("sh"),
                                                     QStringLiteral("-c"),
                                                     QStringLiteral("cat -v > \"$0\""), outFile});
        const quint64 id = waitForWindowOfClass(wmClass);
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(waitUntilActive(*windows, id));
        const auto ref = windows->activeWindow();
        ASSERT_TRUE(ref);
        EXPECT_EQ(ref->wmClass, wmClass);

        const QString content = QStringLiteral("echo 'it works' | tr a-z A-Z");
        ASSERT_TRUE(deliverFromPicker(picker, *sequence, content, *ref));
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+d")});
        ASSERT_TRUE(target.waitForExit());
        EXPECT_EQ(QString::fromUtf8(readFile(outFile)), content + u'\n');
    }
}

} // namespace
