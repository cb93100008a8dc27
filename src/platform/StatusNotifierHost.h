#pragma once

namespace quillstow::platform {

// Whether a StatusNotifierItem host (a bar such as swaybar or Plasma's panel) is registered on
// the session bus. Qt then shows the tray icon through that host, which draws it on a background
// whose colour it does not tell us; without one, an X11 tray embeds the icon in its panel.
// The bus is asked once, with a short time limit: no answer counts as no host.
bool statusNotifierHostPresent();

} // namespace quillstow::platform
