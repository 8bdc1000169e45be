#pragma once

// A stand-in for the main window: every control a style reaches, with its
// component name, on the panels it sits on. For the style tests and bench.
#include <QLabel>
#include <memory>

#include "controls/Controls.h"
#include "skin/Style.h"

namespace tx::test {

struct TMainControls {
    std::unique_ptr<QWidget> Window;
    std::unique_ptr<QWidget> Editor;  // the keyboard editor's parameter buttons
    template <class T>
    T* Get(const char* name) const {
        T* t = Window->findChild<T*>(name);
        return t ? t : Editor->findChild<T*>(name);
    }
};

TMainControls MakeMainControls(int channels = 4);

// A style as the loader would give it, built in memory: every file of the
// table from coloured test strips and pictures, and `config` as "config.txt".
TStyleData MakeStyleData(const std::string& config, int frameScale = 1);

}  // namespace tx::test
