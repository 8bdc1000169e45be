#include "window/VisualForm.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "desktop/StepRow.h"
#include "model/Loop.h"

namespace tx {

namespace {

QColor Rgb(uint32_t rgb) { return QColor(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF); }

uint32_t ChannelRgb(const TChannel& c) { return (uint32_t(c.Color.r) << 16) | (uint32_t(c.Color.g) << 8) | c.Color.b; }

// A light fades by `by` while above zero. A flash the mixer stores meanwhile
// wins over the fade: losing a fade step only affects the display.
bool FadeLight(std::atomic<int32_t>& light, int32_t by) {
    int32_t v = light.load(std::memory_order_relaxed);
    if (v <= 0) return false;
    light.compare_exchange_strong(v, Fade(v, by), std::memory_order_relaxed);
    return true;
}

// The 8 x 8 line pattern: even rows darker, odd rows in the cell colour.
QBrush LineBrush(uint32_t rgb) {
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y) {
        const QRgb c = Rgb(y % 2 == 0 ? DotLineColor(rgb) : rgb).rgb();
        for (int x = 0; x < 8; ++x) tile.setPixel(x, y, c);
    }
    return QBrush(tile);
}

}  // namespace

TVisualForm::TVisualForm(TLoop& loop, const TVisualHost& host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      loop_(loop),
      host_(host),
      cellSize_(DotCellSmall) {
    setObjectName("VisualForm");
    setWindowTitle("Visual");
    setAccessibleName("Dots window");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    FitChannels();
}

void TVisualForm::SetCellSize(int size) {
    cellSize_ = size;
    FitChannels();
    update();
}

void TVisualForm::FitChannels() {
    setFixedSize(DotsWindowWidth(cellSize_), DotsWindowHeight(cellSize_, loop_.ChannelCount()));
}

bool TVisualForm::Tick() {
    bool lit = false;
    for (int ch = 0; ch < loop_.ChannelCount(); ++ch) {
        TChannel& c = loop_.Channel(ch);
        for (auto& light : c.StepLight) lit |= FadeLight(light, StepLightFade);
        lit |= FadeLight(c.ActivityLight, ActivityLightFade);
    }
    if (lit) update();
    return lit;
}

void TVisualForm::showEvent(QShowEvent* event) {
    // The flash: every dot lights up once when the window opens.
    for (int ch = 0; ch < loop_.ChannelCount(); ++ch) {
        TChannel& c = loop_.Channel(ch);
        for (auto& light : c.StepLight) light.store(StepLightFlash, std::memory_order_relaxed);
        c.ActivityLight.store(ActivityLightFlash, std::memory_order_relaxed);
    }
    FitChannels();
    QWidget::showEvent(event);
}

void TVisualForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(20, 20, 23));  // the lines between the cells
    const int cs = cellSize_, column = cs / 2;
    for (int ch = 0; ch < loop_.ChannelCount(); ++ch) {
        const TChannel& c = loop_.Channel(ch);
        const uint32_t colour = ChannelRgb(c);
        const int y = ch * cs + 1;
        p.fillRect(QRect(1, y, column - 1, cs - 1),
                   LineBrush(DotColor(colour, c.ActivityLight.load(std::memory_order_relaxed))));
        for (int s = 0; s < 16; ++s)
            p.fillRect(QRect(column + s * cs + 1, y, cs - 1, cs - 1),
                       LineBrush(DotColor(colour, c.StepLight[size_t(s)].load(std::memory_order_relaxed))));
    }
}

void TVisualForm::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (host_.Close) host_.Close();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragFrom_ = event->globalPosition().toPoint() - pos();
}

void TVisualForm::mouseMoveEvent(QMouseEvent* event) {
    if (!dragFrom_.isNull() && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - dragFrom_);
    const int row = DotsRowAt(int(event->position().y()), cellSize_, loop_.ChannelCount());
    if (row >= 0 && row != hintRow_ && host_.ShowHint)
        host_.ShowHint("|" + QString::fromStdString(loop_.ChannelListName(row)));
    hintRow_ = row;
}

void TVisualForm::mouseReleaseEvent(QMouseEvent*) { dragFrom_ = QPoint(); }

void TVisualForm::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) SetCellSize(cellSize_ == DotCellSmall ? DotCellLarge : DotCellSmall);
}

void TVisualForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && host_.ShowHelp) {
        host_.ShowHelp();
        return;
    }
    if (!host_.Key || !host_.Key(event, true)) QWidget::keyPressEvent(event);
}

void TVisualForm::keyReleaseEvent(QKeyEvent* event) {
    if (!host_.Key || !host_.Key(event, false)) QWidget::keyReleaseEvent(event);
}

}  // namespace tx
