#pragma once

#include <QWidget>

#include "controls/MyTransButton.h"
#include "controls/WAVWheel.h"
#include "window/Techno16.h"

namespace tx {

// The controls of one channel, grouped so a screen reader tells the rows
// apart; the group is named after the channel's list name.
class TChannelRow : public QWidget {
    Q_OBJECT
public:
    explicit TChannelRow(QWidget* parent);
    TWAVWheel* FrontVolWheel = nullptr;
    TMyTransButton* FrontMuteButton = nullptr;
    TMyTransButton* SetButton = nullptr;
    TMyTransButton* SelectButton = nullptr;
    TTechno16* TechnoGrid = nullptr;
};

}  // namespace tx
