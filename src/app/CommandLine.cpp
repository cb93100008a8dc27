#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace quillstow {

namespace {

// Qt's own options, taken by QGuiApplication from the same arguments; hidden from the help.
QList<QCommandLineOption> qtOptions()
{
    QList<QCommandLineOption> options;
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "qwindowgeometry",
          "qwindowtitle", "qwindowicon", "geometry", "style", "stylesheet", "session", "title"})
        options.append(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char* name : {"reverse", "nograb", "dograb", "sync", "widgetcount"})
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    for (QCommandLineOption& option : options)
        option.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

// `source` marked with QT_TRANSLATE_NOOP in the "CommandLine" context.
QString translated(const char* source)
{
    return QCoreApplication::translate("CommandLine", source);
}

CommandLine exitWith(QString output, bool isError, int status)
{
    CommandLine line;
    line.action = CommandLine::Action::Exit;
    line.output = std::move(output);
    line.outputIsError = isError;
    line.exitStatus = status;
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    // "-platform xcb" as Qt writes its options, not "-p -l -a ...".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(translated(QT_TRANSLATE_NOOP(
        "CommandLine", "Clipboard history: every copied text is kept, and a picker opened\n"
                       "by the hot key (Super+Shift+V unless changed in the settings), the\n"
                       "tray icon or the options below pastes it again.\n"
                       "Without an option, Quillstow starts; if it is already running, its\n"
                       "picker opens. --quit exits with 1 when none is running.")));
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")},
        translated(QT_TRANSLATE_NOOP("CommandLine", "Show this help and exit.")));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")},
        translated(QT_TRANSLATE_NOOP("CommandLine", "Show the version and exit.")));
    const QCommandLineOption show(
        QStringLiteral("show"),
        translated(QT_TRANSLATE_NOOP("CommandLine",
                                     "Open the picker at the text caret, as the hot key "
                                     "does. Starts Quillstow if it is not running.")));
    const QCommandLineOption toggle(
        QStringLiteral("toggle"),
        translated(QT_TRANSLATE_NOOP(
            "CommandLine", "Open the picker at the text caret, or close it if it is open. "
                           "Starts Quillstow if it is not running.")));
    const QCommandLineOption quit(
        QStringLiteral("quit"),
        translated(QT_TRANSLATE_NOOP("CommandLine", "End the running Quillstow.")));
    parser.addOptions({help, version, show, toggle, quit});
    parser.addOptions(qtOptions());

    const QString usage =
        u'\n' +
        translated(QT_TRANSLATE_NOOP("CommandLine", "Try 'quillstow --help' for the options.")) +
        u'\n';
    if (!parser.parse(arguments))
        return exitWith(QStringLiteral("quillstow: ") + parser.errorText() + usage, true,
                        usageError);
    if (!parser.positionalArguments().isEmpty())
        return exitWith(
            translated(QT_TRANSLATE_NOOP("CommandLine", "quillstow: unexpected argument '%1'."))
                    .arg(parser.positionalArguments().constFirst()) +
                usage,
            true, usageError);
    if (parser.isSet(help)) {
        QString helpText = parser.helpText();
        // The first line names the program as it was typed; the help names it as installed.
        helpText.replace(0, helpText.indexOf(u'\n'),
                         translated(QT_TRANSLATE_NOOP("CommandLine", "Usage: quillstow [option]")));
        return exitWith(helpText, false, 0);
    }
    if (parser.isSet(version))
        return exitWith(QStringLiteral("quillstow %1\n").arg(QStringLiteral(QUILLSTOW_VERSION)),
                        false, 0);

    const struct
    {
        const QCommandLineOption& option;
        Action action;
    } requests[] = {{show, Action::Show}, {toggle, Action::Toggle}, {quit, Action::Quit}};
    CommandLine line;
    int given = 0;
    for (const auto& request : requests) {
        if (parser.isSet(request.option)) {
            line.action = request.action;
            ++given;
        }
    }
    if (given > 1)
        return exitWith(
            translated(QT_TRANSLATE_NOOP(
                "CommandLine", "quillstow: --show, --toggle and --quit go one at a time.")) +
                usage,
            true, usageError);
    return line;
}

} // namespace quillstow
