#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QString>

namespace tx {

// The program's own pictures that are not style files: "SKnob" (2 frames,
// vertical slider knob), "SKnobH" (2 frames, horizontal), "ZavoUpDown" (2
// frames: the up and the down arrow), with alpha. Taken from the resources
// built into the program when it carries them, else drawn here.
QImage BuiltinImage(const QString& name);

// The "WAVE" and "LINE" cursors (hot spot at the arrow's tip); the arrow when
// the program carries no resources.
QCursor ProgramCursor(const QString& name);
// The program icon at every size it is drawn in, for the task bar and the desktop.
QIcon ProgramIcon();

}  // namespace tx
