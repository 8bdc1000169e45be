#include "window/ChannelRow.h"

namespace tx {

TChannelRow::TChannelRow(QWidget* parent) : QWidget(parent) {}

}  // namespace tx
