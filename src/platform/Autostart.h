#pragma once

#include <QString>
#include <optional>

namespace quillstow::platform {

// Whether the program starts when the user logs in.
class Autostart
{
public:
    virtual ~Autostart() = default;

    virtual bool isEnabled() const = 0;
    // Makes the program start at login, or no longer. On failure the state is what it was before
    // and the reason is returned, in words for the user.
    virtual std::optional<QString> setEnabled(bool enabled) = 0;
};

// An XDG autostart entry, "quillstow.desktop" in the user's autostart folder, that starts the
// given executable.
class XdgAutostart : public Autostart
{
public:
    // `configHome` defaults to $XDG_CONFIG_HOME (when absolute) or ~/.config, `executable` to
    // the running program.
    explicit XdgAutostart(QString configHome = {}, QString executable = {});

    bool isEnabled() const override;
    std::optional<QString> setEnabled(bool enabled) override;

    const QString& entryPath() const { return entryPath_; }

    // The entry's whole text for `executable`, or none when the path cannot be written there.
    static std::optional<QString> desktopEntry(const QString& executable);

private:
    QString entryPath_;
    QString executable_;
};

// The `quillstow` command the user runs, which starts this program from outside PATH; this
// program's own path when it was started directly.
QString commandPath();

} // namespace quillstow::platform
