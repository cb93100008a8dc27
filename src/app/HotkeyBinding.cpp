#include "app/HotkeyBinding.h"

#include "platform/Autostart.h"

#include <QFileInfo>
#include <QKeySequence>
#include <QStandardPaths>

namespace quillstow {

namespace {

// The key's keysym name: letters and digits as typed, other keys as Qt names them ("F5", "Space"),
// which the compositors look up without regard to case.
QString keyName(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar(u'a' + (key - Qt::Key_A));
    return QKeySequence(key).toString(QKeySequence::PortableText);
}

} // namespace

Compositor compositorOf(const QProcessEnvironment& environment)
{
    if (environment.contains(QStringLiteral("SWAYSOCK")))
        return Compositor::Sway;
    if (environment.contains(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")))
        return Compositor::Hyprland;
    return Compositor::Other;
}

QString toggleCommand()
{
    QString program = platform::commandPath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("quillstow"));
    if (!onPath.isEmpty() &&
        QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath())
        program = QStringLiteral("quillstow");
    else if (program.contains(u' ') || program.contains(u'\''))
        // The compositors hand the command to the shell.
        program = u'\'' + QString(program).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    return program + QStringLiteral(" --toggle");
}

QString bindingLine(Compositor compositor, QKeyCombination combination, const QString& command)
{
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    const struct
    {
        Qt::KeyboardModifier modifier;
        const char16_t* sway;
        const char16_t* hyprland;
    } names[] = {
        {Qt::MetaModifier, u"Mod4", u"SUPER"},
        {Qt::ControlModifier, u"Control", u"CTRL"},
        {Qt::AltModifier, u"Mod1", u"ALT"},
        {Qt::ShiftModifier, u"Shift", u"SHIFT"},
    };
    QStringList held;
    for (const auto& name : names) {
        if (modifiers & name.modifier)
            held.append(
                QString::fromUtf16(compositor == Compositor::Sway ? name.sway : name.hyprland));
    }
    const QString key = keyName(combination.key());
    switch (compositor) {
    case Compositor::Sway:
        held.append(key);
        return QStringLiteral("bindsym %1 exec %2").arg(held.join(u'+'), command);
    case Compositor::Hyprland:
        return QStringLiteral("bind = %1, %2, exec, %3")
            .arg(held.join(u' '), key.toUpper(), command);
    case Compositor::Other:
        break;
    }
    return {};
}

} // namespace quillstow
