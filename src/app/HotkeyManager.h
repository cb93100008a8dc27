#pragma once

#include <QKeyCombination>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace quillstow {

namespace platform {
class GlobalHotkey;
}

// The program's one system-wide shortcut, Super+Shift+V unless the user chose another: each
// press calls `onActivate`.
class HotkeyManager
{
public:
    // Where the user's combination is stored, in Qt's portable text ("Meta+Shift+V").
    static inline const QString settingsKey = QStringLiteral("hotkey");
    static constexpr QKeyCombination defaultCombination{Qt::MetaModifier | Qt::ShiftModifier,
                                                        Qt::Key_V};

    // `backend` may be null where the session offers no global shortcuts; then nothing is
    // registered and the tray icon remains the way in.
    explicit HotkeyManager(std::unique_ptr<platform::GlobalHotkey> backend,
                           QKeyCombination combination = defaultCombination);
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    // The combination as the user reads it: Qt's Meta is the Super key here.
    static QString displayText(QKeyCombination combination);
    // A stored combination; the default when there is none or it cannot be a hot key.
    static QKeyCombination fromSetting(const QVariant& stored);
    // Why `combination` cannot be a hot key, in words for the user; empty when it can.
    static QString unusableBecause(QKeyCombination combination);

    // Called on the GUI thread for every press; may be replaced at any time.
    std::function<void()> onActivate;

    // Takes the combination once; a failure is logged and the program runs on without it.
    // Returns whether the hot key is in place.
    bool registerHotKey();
    // Lets go of the current combination and takes `combination` instead, at once if the hot key
    // was registered. Returns whether the new one is in place; failure() says why not.
    bool setCombination(QKeyCombination combination);
    QKeyCombination combination() const { return combination_; }
    // Why the combination could not be taken, in words for the user; empty when it is in place
    // or was never tried.
    QString failure() const { return failure_; }

private:
    bool grab();

    std::unique_ptr<platform::GlobalHotkey> backend_;
    QKeyCombination combination_;
    bool tried_ = false;
    bool registered_ = false;
    QString failure_;
};

} // namespace quillstow
