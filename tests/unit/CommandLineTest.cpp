#include "app/CommandLine.h"

#include "app/StartupNotice.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;
using Action = CommandLine::Action;

TEST(CommandLine, EachArgumentListGivesOneRequest)
{
    // Mistakes exit with 2, print to the error stream and point at the help.
    // said: a piece of what is printed
    const std::tuple<const char*, Action, int, const char*> cases[] = {
        {"", Action::Start, 0, ""},
        {"--show", Action::Show, 0, ""},
        {"--toggle", Action::Toggle, 0, ""},
        {"--quit --quit", Action::Quit, 0, ""},
        {"-h", Action::Exit, 0, "Usage: quillstow"},
        {"--version", Action::Exit, 0, "quillstow " QUILLSTOW_VERSION "\n"},
        {"--quit --help", Action::Exit, 0, "--quit"}, // help wins over a request given with it
        {"--bogus", Action::Exit, 2, "'bogus'"},
        {"--show=now", Action::Exit, 2, "show"},
        {"somefile", Action::Exit, 2, "'somefile'"},
        {"--show --quit", Action::Exit, 2, "one at a time"},
        // Qt's own display options belong to the application object.
        {"-platform xcb --toggle", Action::Toggle, 0, ""},
        {"-display :1 -reverse", Action::Start, 0, ""},
    };
    for (const auto& [arguments, action, exitStatus, said] : cases) {
        SCOPED_TRACE(arguments);
        const CommandLine line = CommandLine::parse(QStringLiteral("/usr/bin/quillstow %1")
                                                        .arg(QString::fromUtf8(arguments))
                                                        .split(u' ', Qt::SkipEmptyParts));
        EXPECT_EQ(line.action, action);
        EXPECT_EQ(line.exitStatus, exitStatus);
        EXPECT_EQ(line.outputIsError, exitStatus != 0);
        EXPECT_TRUE(line.output.contains(QString::fromUtf8(said))) << line.output.toStdString();
        EXPECT_EQ(line.output.isEmpty(), action != Action::Exit);
        EXPECT_EQ(line.output.contains(QStringLiteral("quillstow --help")), exitStatus != 0);
    }
}

TEST(StartupNotice, NamesTheWaysIntoThePickerThatAreLeft)
{
    const QString held = QStringLiteral("another program holds the combination");
    const std::tuple<bool, QString, QStringList, QStringList> cases[] = {
        {true, {}, {}, {}},
        {false,
         {},
         {QStringLiteral("no system tray"), QStringLiteral("with Ctrl+Alt+H"),
          QStringLiteral("quillstow --show")},
         {QStringLiteral("could not be taken")}},
        {true,
         held,
         {QStringLiteral("Ctrl+Alt+H could not be taken: ") + held,
          QStringLiteral("from the tray icon"), QStringLiteral("quillstow --show")},
         {QStringLiteral("no system tray")}},
        {false,
         held,
         {QStringLiteral("no system tray"), QStringLiteral("could not be taken"),
          QStringLiteral("quillstow --show")},
         {QStringLiteral("tray icon or"), QStringLiteral("with Ctrl+Alt+H")}},
    };
    for (const auto& [tray, hotkeyFailure, said, notSaid] : cases) {
        const QString notice = startupNotice(tray, hotkeyFailure, QStringLiteral("Ctrl+Alt+H"));
        const std::string name = (tray ? "tray, " : "no tray, ") + hotkeyFailure.toStdString();
        EXPECT_EQ(notice.isEmpty(), said.isEmpty()) << name;
        for (const QString& piece : said)
            EXPECT_TRUE(notice.contains(piece)) << name << ": " << notice.toStdString();
        for (const QString& piece : notSaid)
            EXPECT_FALSE(notice.contains(piece)) << name << ": " << notice.toStdString();
    }
    // The hot key a compositor binding: a tray leaves nothing to say, else the command to bind.
    const QString command = QStringLiteral("quillstow --toggle");
    const QString line = QStringLiteral("bindsym Mod4+Shift+v exec quillstow --toggle");
    const std::tuple<bool, QString, QString> bound[] = {
        {true, line, {}},
        {false, line,
         QStringLiteral("running \"quillstow --toggle\", for example with this line "
                        "in your compositor's configuration: ") +
             line},
        {false,
         {},
         QStringLiteral("running \"quillstow --toggle\", for example from a key binding")},
    };
    for (const auto& [tray, bindingLine, said] : bound) {
        const QString notice = startupNotice(tray, QStringLiteral("no global shortcuts"),
                                             QStringLiteral("Super+Shift+V"), command, bindingLine);
        EXPECT_EQ(notice.isEmpty(), said.isEmpty()) << notice.toStdString();
        EXPECT_TRUE(notice.contains(said)) << notice.toStdString();
        EXPECT_FALSE(notice.contains(QStringLiteral("could not be taken")));
        EXPECT_EQ(notice.contains(QStringLiteral("no system tray")), !tray);
    }
}
