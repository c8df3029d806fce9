#include "window/actiontable.h"

namespace kestro {

namespace {

// Qt's key for a virtual key code; 0 when it has none here.
int KeyOfVirtualKey(int vk) {
    if (vk >= 112 && vk <= 123)
        return Qt::Key_F1 + (vk - 112);  // F1..F12
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return vk;
    switch (vk) {
        case 27:
            return Qt::Key_Escape;
        case 46:
            return Qt::Key_Delete;
        case 192:
            return Qt::Key_QuoteLeft;  // the key left of 1 on a US keyboard
        case 219:
            return Qt::Key_BracketLeft;
        case 221:
            return Qt::Key_BracketRight;
        default:
            return 0;
    }
}

}  // namespace

QKeySequence ShortcutKeys(int stored) {
    const int key = KeyOfVirtualKey(stored & 0xFF);
    if (stored == 0 || key == 0)
        return {};
    int modifiers = 0;
    if (stored & 0x2000)
        modifiers |= Qt::SHIFT;
    if (stored & 0x4000)
        modifiers |= Qt::CTRL;
    if (stored & 0x8000)
        modifiers |= Qt::ALT;
    return QKeySequence(key | modifiers);
}

}  // namespace kestro
