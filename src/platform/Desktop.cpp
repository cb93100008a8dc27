#include "platform/Desktop.h"

#include "platform/DBusNotifier.h"
#include "platform/QtClipboardWriter.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>

namespace quillstow::platform {

namespace {

class NoWindowSystem : public WindowSystem
{
public:
    std::optional<WindowRef> activeWindow() override { return std::nullopt; }
    void activate(const WindowRef&) override {}
};

class NoKeyInjector : public KeyInjector
{
public:
    bool isAvailable() override { return false; }
    bool isModifierHeld() override { return false; }
    void releaseModifiers() override {}
    bool press(const KeyChord&) override { return false; }
    void release(const KeyChord&) override {}
};

QNativeInterface::QX11Application* x11Application()
{
    if (qGuiApp == nullptr)
        return nullptr;
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
}

} // namespace

std::shared_ptr<WindowSystem> createWindowSystem()
{
    if (auto* x11 = x11Application(); x11 != nullptr && x11->connection() != nullptr)
        return std::make_shared<X11WindowSystem>(x11->connection(), x11->display());
    return std::make_shared<NoWindowSystem>();
}

std::shared_ptr<KeyInjector> createKeyInjector()
{
    if (auto* x11 = x11Application(); x11 != nullptr && x11->connection() != nullptr)
        return std::make_shared<X11KeyInjector>(x11->connection());
    return std::make_shared<NoKeyInjector>();
}

std::shared_ptr<Notifier> createNotifier()
{
    return std::make_shared<DBusNotifier>(QStringLiteral("Quillstow"));
}

std::shared_ptr<ClipboardWriter> createClipboardWriter()
{
    return std::make_shared<QtClipboardWriter>();
}

bool isSyntheticInputAvailable()
{
    return createKeyInjector()->isAvailable();
}

} // namespace quillstow::platform
