#include "app/HotkeyManager.h"

#include "platform/DebugLog.h"
#include "platform/GlobalHotkey.h"

#include <QCoreApplication>
#include <QKeySequence>

namespace quillstow {

namespace {

constexpr Qt::KeyboardModifiers chordModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool isModifierKey(Qt::Key key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

} // namespace

HotkeyManager::HotkeyManager(std::unique_ptr<platform::GlobalHotkey> backend,
                             QKeyCombination combination)
    : backend_(std::move(backend)), combination_(combination)
{}

HotkeyManager::~HotkeyManager() = default;

QString HotkeyManager::displayText(QKeyCombination combination)
{
    QString text = QKeySequence(combination).toString(QKeySequence::PortableText);
    text.replace(QStringLiteral("Meta+"), QStringLiteral("Super+"));
    return text;
}

QKeyCombination HotkeyManager::fromSetting(const QVariant& stored)
{
    const QKeySequence sequence =
        QKeySequence::fromString(stored.toString(), QKeySequence::PortableText);
    if (sequence.count() != 1 || !unusableBecause(sequence[0]).isEmpty())
        return defaultCombination;
    return sequence[0];
}

QString HotkeyManager::unusableBecause(QKeyCombination combination)
{
    const Qt::Key key = combination.key();
    if (isModifierKey(key) || key == 0)
        return QCoreApplication::translate("HotkeyManager",
                                           "a hot key needs a key besides the modifiers");
    if ((combination.keyboardModifiers() & ~chordModifiers) != Qt::NoModifier)
        return QCoreApplication::translate("HotkeyManager", "keypad keys cannot be a hot key");
    const bool isFunctionKey = key >= Qt::Key_F1 && key <= Qt::Key_F35;
    const auto commanding = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    // Anything else without one of these would be taken from every program's typing.
    if (!isFunctionKey && !(combination.keyboardModifiers() & commanding))
        return QCoreApplication::translate("HotkeyManager", "a hot key needs Super, Ctrl or Alt");
    return {};
}

bool HotkeyManager::registerHotKey()
{
    if (registered_)
        return true;
    return grab();
}

bool HotkeyManager::setCombination(QKeyCombination combination)
{
    if (!tried_) {
        combination_ = combination;
        return true;
    }
    if (registered_ && combination == combination_)
        return true;
    if (registered_)
        backend_->release(combination_.key(), combination_.keyboardModifiers());
    registered_ = false;
    combination_ = combination;
    return grab();
}

bool HotkeyManager::grab()
{
    tried_ = true;
    if (!backend_) {
        failure_ =
            QCoreApplication::translate("HotkeyManager", "this session offers no global shortcuts");
        debuglog::write(
            QStringLiteral("HotkeyManager: no global shortcut service in this session"));
        return false;
    }
    QString error;
    // The handler looks up `onActivate` at each press, so a later assignment takes effect.
    registered_ = backend_->grab(
        combination_.key(), combination_.keyboardModifiers(),
        [this] {
            if (onActivate)
                onActivate();
        },
        &error);
    failure_ = registered_ ? QString() : error;
    if (!registered_)
        debuglog::write(QStringLiteral("HotkeyManager: %1 not registered: %2")
                            .arg(displayText(combination_), error));
    return registered_;
}

} // namespace quillstow
