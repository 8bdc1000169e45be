#include "window/KeyTranslation.h"

#include <QKeyEvent>

namespace tx {

std::optional<TKeyInput> TranslateKey(const QKeyEvent& e) {
    if (e.modifiers() & Qt::AltModifier) return std::nullopt;
    TKeyInput k;
    k.Ctrl = e.modifiers() & Qt::ControlModifier;
    k.AutoRepeat = e.isAutoRepeat();
    const bool keypad = e.modifiers() & Qt::KeypadModifier;
    const int key = e.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        k.Key = keypad ? TKey::Keypad : TKey::Digit;
        k.Digit = key - Qt::Key_0;
        return k;
    }
    switch (key) {
        case Qt::Key_Plus:
            k.Key = keypad ? TKey::KeypadPlus : TKey::Other;
            break;
        case Qt::Key_Minus:
            k.Key = keypad ? TKey::KeypadMinus : TKey::Other;
            break;
        case Qt::Key_Slash:
            k.Key = keypad ? TKey::KeypadDivide : TKey::Other;
            break;
        case Qt::Key_Asterisk:
            k.Key = keypad ? TKey::KeypadMultiply : TKey::Other;
            break;
        case Qt::Key_Space:
            k.Key = TKey::Space;
            break;
        case Qt::Key_L:
            k.Key = TKey::L;
            break;
        case Qt::Key_K:
            k.Key = TKey::K;
            break;
        case Qt::Key_P:
            k.Key = TKey::P;
            break;
        case Qt::Key_V:
            k.Key = TKey::V;
            break;
        case Qt::Key_F:
            k.Key = TKey::F;
            break;
        case Qt::Key_G:
            k.Key = TKey::G;
            break;
        case Qt::Key_Shift:
            k.Key = TKey::Shift;
            break;
        case Qt::Key_Control:
            k.Key = TKey::Control;
            break;
        case Qt::Key_PageUp:
            k.Key = TKey::PageUp;
            break;
        case Qt::Key_PageDown:
            k.Key = TKey::PageDown;
            break;
        case Qt::Key_Up:
            k.Key = TKey::Up;
            break;
        case Qt::Key_Down:
            k.Key = TKey::Down;
            break;
        default:
            return std::nullopt;
    }
    if (k.Key == TKey::Other) return std::nullopt;
    return k;
}

}  // namespace tx
