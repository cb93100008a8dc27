#include "app/HotkeyManager.h"

#include "platform/DebugLog.h"
#include "platform/GlobalHotkey.h"

namespace quillstow {

HotkeyManager::HotkeyManager(std::unique_ptr<platform::GlobalHotkey> backend)
    : backend_(std::move(backend))
{}

HotkeyManager::~HotkeyManager() = default;

HotkeyManager& HotkeyManager::shared()
{
    static HotkeyManager* manager = new HotkeyManager(platform::createGlobalHotkey());
    return *manager;
}

bool HotkeyManager::registerHotKey()
{
    if (registered_)
        return true;
    if (!backend_) {
        failure_ = QStringLiteral("this session offers no global shortcuts");
        debuglog::write(
            QStringLiteral("HotkeyManager: no global shortcut service in this session"));
        return false;
    }
    QString error;
    // The handler looks up `onActivate` at each press, so a later assignment takes effect.
    registered_ = backend_->grab(
        Qt::Key_V, Qt::MetaModifier | Qt::ShiftModifier,
        [this] {
            if (onActivate)
                onActivate();
        },
        &error);
    failure_ = registered_ ? QString() : error;
    if (!registered_)
        debuglog::write(QStringLiteral("HotkeyManager: Super+Shift+V not registered: ") + error);
    return registered_;
}

} // namespace quillstow
