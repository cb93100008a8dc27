#include "app/CommandLine.h"

#include "app/StartupNotice.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quillstow;
using Action = CommandLine::Action;

TEST(CommandLine, EachArgumentListGivesOneRequest)
{
    const struct
    {
        QStringList arguments;
        Action action;
        int exitStatus;
        bool outputIsError;
        QString said; // a piece of what is printed
    } cases[] = {
        {{}, Action::Start, 0, false, {}},
        {{QStringLiteral("--show")}, Action::Show, 0, false, {}},
        {{QStringLiteral("--toggle")}, Action::Toggle, 0, false, {}},
        {{QStringLiteral("--quit")}, Action::Quit, 0, false, {}},
        {{QStringLiteral("--show"), QStringLiteral("--show")}, Action::Show, 0, false, {}},
        {{QStringLiteral("--help")}, Action::Exit, 0, false, QStringLiteral("--toggle")},
        {{QStringLiteral("-h")}, Action::Exit, 0, false, QStringLiteral("Usage: quillstow")},
        {{QStringLiteral("--version")},
         Action::Exit,
         0,
         false,
         QStringLiteral("quillstow " QUILLSTOW_VERSION "\n")},
        {{QStringLiteral("-v")}, Action::Exit, 0, false, QStringLiteral("quillstow ")},
        // Help wins over a request given with it.
        {{QStringLiteral("--quit"), QStringLiteral("--help")},
         Action::Exit,
         0,
         false,
         QStringLiteral("--quit")},
        {{QStringLiteral("--bogus")}, Action::Exit, 2, true, QStringLiteral("'bogus'")},
        {{QStringLiteral("-x")}, Action::Exit, 2, true, QStringLiteral("'x'")},
        {{QStringLiteral("--show=now")}, Action::Exit, 2, true, QStringLiteral("show")},
        {{QStringLiteral("somefile")}, Action::Exit, 2, true, QStringLiteral("'somefile'")},
        {{QStringLiteral("--show"), QStringLiteral("--quit")},
         Action::Exit,
         2,
         true,
         QStringLiteral("one at a time")},
        // Qt's own display options belong to the application object.
        {{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--toggle")},
         Action::Toggle,
         0,
         false,
         {}},
        {{QStringLiteral("-display"), QStringLiteral(":1"), QStringLiteral("-reverse")},
         Action::Start,
         0,
         false,
         {}},
    };
    for (const auto& c : cases) {
        const CommandLine line =
            CommandLine::parse(QStringList{QStringLiteral("/usr/bin/quillstow")} + c.arguments);
        const std::string name = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(line.action, c.action) << name;
        EXPECT_EQ(line.exitStatus, c.exitStatus) << name;
        EXPECT_EQ(line.outputIsError, c.outputIsError) << name;
        EXPECT_TRUE(line.output.contains(c.said)) << name << ": " << line.output.toStdString();
        if (c.action != Action::Exit) {
            EXPECT_TRUE(line.output.isEmpty()) << name;
        }
        if (c.exitStatus != 0) {
            EXPECT_TRUE(line.output.contains(QStringLiteral("quillstow --help"))) << name;
        }
    }
}

TEST(StartupNotice, NamesTheWaysIntoThePickerThatAreLeft)
{
    const QString held = QStringLiteral("another program holds the combination");
    const struct
    {
        bool tray;
        QString hotkeyFailure;
        QStringList said;
        QStringList notSaid;
    } cases[] = {
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
    for (const auto& c : cases) {
        const QString notice = startupNotice(c.tray, c.hotkeyFailure, QStringLiteral("Ctrl+Alt+H"));
        const std::string name = (c.tray ? "tray, " : "no tray, ") + c.hotkeyFailure.toStdString();
        EXPECT_EQ(notice.isEmpty(), c.said.isEmpty()) << name;
        for (const QString& piece : c.said)
            EXPECT_TRUE(notice.contains(piece)) << name << ": " << notice.toStdString();
        for (const QString& piece : c.notSaid)
            EXPECT_FALSE(notice.contains(piece)) << name << ": " << notice.toStdString();
    }
}
