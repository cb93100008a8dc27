#include "platform/KeyInjector.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace quillstow::platform {

std::vector<std::uint32_t> keysymsOf(Key key)
{
    switch (key) {
    case Key::Control:
        return {XKB_KEY_Control_L, XKB_KEY_Control_R};
    case Key::Shift:
        return {XKB_KEY_Shift_L, XKB_KEY_Shift_R};
    case Key::V:
        return {XKB_KEY_v, XKB_KEY_V};
    case Key::Insert:
        return {XKB_KEY_Insert, XKB_KEY_KP_Insert};
    case Key::RightArrow:
        return {XKB_KEY_Right, XKB_KEY_KP_Right};
    }
    return {};
}

} // namespace quillstow::platform
