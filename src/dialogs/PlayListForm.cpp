#include "dialogs/PlayListForm.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>

#include "controls/ImageStrip.h"

namespace tx {

namespace {
QAccessibleInterface* GridFactory(const QString& className, QObject* object);

// The grid's own colours: dark, with the bar blocks told apart by a slight lift.
constexpr uint32_t ShadeA = 0x3A3F4A;
constexpr uint32_t ShadeB = 0x30343D;
const QColor HeaderBack(0x1C, 0x1E, 0x23);
const QColor HeaderText(0xC8, 0xCD, 0xD6);
const QColor HeaderMark(0xF0, 0xB4, 0x48);  // the current pattern, the loop position
const QColor GridLine(0x22, 0x25, 0x2B);
const QColor CurrentFrame(0x9B, 0xF3, 0xE8);

QColor Rgb(uint32_t c) { return QColor(int(c >> 16) & 0xFF, int(c >> 8) & 0xFF, int(c) & 0xFF); }

}  // namespace

TKaspGrid::TKaspGrid(const TPlayList& list, TPlaylistGridHost& host, QWidget* parent)
    : QAbstractScrollArea(parent), list_(list), host_(host), drag_(host) {
    // Before anything could ask for the grid's accessible interface.
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(GridFactory); });
    setObjectName("ListGridBit");
    setAccessibleName(QStringLiteral("Playlist"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    // Every pixel is painted by paintEvent: no background fill first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(PlaylistCell);
    verticalScrollBar()->setSingleStep(PlaylistCell);
    headerNumbers_.resize(PlaylistColumns);
    UpdateScrollRanges();
}

void TKaspGrid::UpdateScrollRanges() {
    const int w = PlaylistColumnX(PlaylistColumns), h = PlaylistRowY(PlaylistRows);
    const QSize v = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, w - v.width()));
    horizontalScrollBar()->setPageStep(std::max(PlaylistCell, v.width() - PlaylistHeader));
    verticalScrollBar()->setRange(0, std::max(0, h - v.height()));
    verticalScrollBar()->setPageStep(std::max(PlaylistCell, v.height() - PlaylistHeader));
}

void TKaspGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

int TKaspGrid::ColAt(int x) const {
    if (x < 0) return -1;
    if (x < PlaylistHeader) return 0;
    return PlaylistColumnAt(x + horizontalScrollBar()->value());
}

int TKaspGrid::RowAt(int y) const {
    if (y < 0) return -1;
    if (y < PlaylistHeader) return 0;
    return PlaylistRowAt(y + verticalScrollBar()->value());
}

QRect TKaspGrid::CellRect(int col, int row) const {
    const int x = col == 0 ? 0 : PlaylistColumnX(col) - horizontalScrollBar()->value();
    const int y = row == 0 ? 0 : PlaylistRowY(row) - verticalScrollBar()->value();
    return QRect(x, y, col == 0 ? PlaylistHeader : PlaylistCell, row == 0 ? PlaylistHeader : PlaylistCell);
}

void TKaspGrid::RepaintRow(int row) {
    if (row < 0 || row >= PlaylistRows) return;
    const QRect r = CellRect(0, row);
    viewport()->update(QRect(0, r.y(), viewport()->width(), r.height()));
}

void TKaspGrid::RepaintColumn(int col) {
    if (col < 0 || col >= PlaylistColumns) return;
    const QRect r = CellRect(col, 0);
    viewport()->update(QRect(r.x(), 0, r.width(), viewport()->height()));
}

void TKaspGrid::RepaintPosition(int position) { RepaintRow(position + 1); }

void TKaspGrid::RepaintRowsFrom(int row) {
    const int y = std::max(PlaylistHeader, CellRect(0, std::max(row, 1)).y());
    viewport()->update(QRect(0, y, viewport()->width(), viewport()->height() - y));
}

void TKaspGrid::ShowCurrentPattern(int pattern) {
    if (pattern == currentPattern_) return;
    RepaintColumn(currentPattern_);
    currentPattern_ = pattern;
    RepaintColumn(currentPattern_);
}

void TKaspGrid::ShowSongPosition(int position) {
    if (position == songPos_) return;
    RepaintPosition(songPos_);
    songPos_ = position;
    RepaintPosition(songPos_);
}

void TKaspGrid::ShowLoopPosition(int position) {
    if (position == loopPos_) return;
    RepaintPosition(loopPos_);
    loopPos_ = position;
    RepaintPosition(loopPos_);
}

bool TKaspGrid::CellPresent(int col, int row) const {
    return col > 0 && row > 0 && col < PlaylistColumns && row < PlaylistRows && list_.Contains(row - 1, col);
}

void TKaspGrid::SetCurrentCell(int col, int row) {
    col = std::clamp(col, 1, PlaylistColumns - 1);
    row = std::clamp(row, 1, PlaylistRows - 1);
    if (col == col_ && row == row_) return;
    viewport()->update(CellRect(col_, row_));
    col_ = col;
    row_ = row;
    viewport()->update(CellRect(col_, row_));
    emit CurrentCellChanged(col_, row_);
    if (QAccessible::isActive()) {
        QAccessibleEvent ev(this, QAccessible::Focus);
        ev.setChild(0);
        QAccessible::updateAccessibility(&ev);
    }
}

void TKaspGrid::EnsureVisible(int col, int row) {
    const QRect r = CellRect(col, row);
    const QSize v = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* vb = verticalScrollBar();
    if (r.left() < PlaylistHeader) h->setValue(h->value() - (PlaylistHeader - r.left()));
    if (r.right() >= v.width()) h->setValue(h->value() + r.right() - v.width() + 1);
    if (r.top() < PlaylistHeader) vb->setValue(vb->value() - (PlaylistHeader - r.top()));
    if (r.bottom() >= v.height()) vb->setValue(vb->value() + r.bottom() - v.height() + 1);
}

const QPixmap& TKaspGrid::HeaderNumber(int pattern) {
    QPixmap& pm = headerNumbers_[size_t(pattern)];
    if (pm.isNull()) {
        // Pattern numbers read upwards, as a turned label in a 12-pixel column.
        const qreal dpr = devicePixelRatioF();
        pm = QPixmap(QSize(PlaylistCell, PlaylistHeader) * dpr);
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        QFont f = font();
        f.setPixelSize(9);
        p.setFont(f);
        p.setPen(HeaderText);
        p.translate(0, PlaylistHeader);
        p.rotate(-90);
        p.drawText(QRect(0, 0, PlaylistHeader, PlaylistCell), Qt::AlignCenter, QString::number(pattern));
    }
    return pm;
}

void TKaspGrid::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect area = event->rect();
    const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
    const int vw = viewport()->width(), vh = viewport()->height();

    // The range of cells the region touches, clamped to the grid.
    const int c0 = std::max(1, ColAt(std::max(area.left(), PlaylistHeader)));
    int c1 = ColAt(area.right());
    if (c1 < 0) c1 = PlaylistColumns - 1;
    const int r0 = std::max(1, RowAt(std::max(area.top(), PlaylistHeader)));
    int r1 = RowAt(area.bottom());
    if (r1 < 0) r1 = PlaylistRows - 1;

    // Beyond the last column or row (a window wider than the grid).
    const int gridRight = PlaylistColumnX(PlaylistColumns) - sx, gridBottom = PlaylistRowY(PlaylistRows) - sy;
    if (gridRight < vw) p.fillRect(QRect(gridRight, 0, vw - gridRight, vh), HeaderBack);
    if (gridBottom < vh) p.fillRect(QRect(0, gridBottom, vw, vh - gridBottom), HeaderBack);

    const bool cells = area.right() >= PlaylistHeader && area.bottom() >= PlaylistHeader;
    if (cells && c0 <= c1 && r0 <= r1) {
        p.save();
        p.setClipRect(QRect(PlaylistHeader, PlaylistHeader, vw - PlaylistHeader, vh - PlaylistHeader));
        for (int r = r0; r <= r1; ++r) {
            const int y = PlaylistRowY(r) - sy;
            for (int c = c0; c <= c1; ++c) {
                const int x = PlaylistColumnX(c) - sx;
                const uint32_t colour = PlaylistCellColour(c, r, currentPattern_, songPos_, loopPos_, ShadeA, ShadeB);
                p.fillRect(x, y, PlaylistCell - 1, PlaylistCell - 1, Rgb(colour));
            }
            // The grid lines: one right and one bottom pixel of each cell.
            const int x0 = PlaylistColumnX(c0) - sx, x1 = PlaylistColumnX(c1 + 1) - sx;
            p.fillRect(x0, y + PlaylistCell - 1, x1 - x0, 1, GridLine);
            for (int c = c0; c <= c1; ++c)
                p.fillRect(PlaylistColumnX(c) - sx + PlaylistCell - 1, y, 1, PlaylistCell - 1, GridLine);
            // The bullets: only the position's own (short) list is walked.
            const TPlayList::Position& at = list_.At(r - 1);
            for (int16_t pat : at) {
                if (pat < c0 || pat > c1) continue;
                const int x = PlaylistColumnX(pat) - sx;
                if (bullets_ && bullets_->Count() > 0) {
                    p.drawPixmap(x, y, bullets_->Frame(r - 1 == songPos_ ? 1 : 0));
                } else {
                    p.setRenderHint(QPainter::Antialiasing);
                    p.setPen(Qt::NoPen);
                    p.setBrush(HeaderMark);
                    p.drawEllipse(QPointF(x + 5.5, y + 5.5), 3.5, 3.5);
                    p.setRenderHint(QPainter::Antialiasing, false);
                }
            }
        }
        if (hasFocus() && col_ >= c0 && col_ <= c1 && row_ >= r0 && row_ <= r1) {
            p.setPen(CurrentFrame);
            p.setBrush(Qt::NoBrush);
            p.drawRect(CellRect(col_, row_).adjusted(0, 0, -2, -2));
        }
        p.restore();
    }

    // The pattern header (row 0), fixed at the top.
    if (area.top() < PlaylistHeader) {
        p.save();
        p.setClipRect(QRect(PlaylistHeader, 0, vw - PlaylistHeader, PlaylistHeader));
        const int x0 = std::max(area.left(), PlaylistHeader);
        p.fillRect(QRect(x0, 0, area.right() - x0 + 1, PlaylistHeader), HeaderBack);
        for (int c = c0; c <= c1; ++c) {
            const int x = PlaylistColumnX(c) - sx;
            if (c == currentPattern_) p.fillRect(x, PlaylistHeader - 3, PlaylistCell - 1, 3, HeaderMark);
            p.drawPixmap(x, 0, HeaderNumber(c));
        }
        p.restore();
    }
    // The bar header (column 0), fixed at the left.
    if (area.left() < PlaylistHeader) {
        p.save();
        p.setClipRect(QRect(0, PlaylistHeader, PlaylistHeader, vh - PlaylistHeader));
        const int y0 = std::max(area.top(), PlaylistHeader);
        p.fillRect(QRect(0, y0, PlaylistHeader, area.bottom() - y0 + 1), HeaderBack);
        QFont f = font();
        f.setPixelSize(9);
        p.setFont(f);
        for (int r = r0; r <= r1; ++r) {
            const int y = PlaylistRowY(r) - sy;
            const int pos = r - 1;
            if (pos == loopPos_) p.fillRect(0, y, 3, PlaylistCell - 1, HeaderMark);
            if (pos == songPos_) p.fillRect(PlaylistHeader - 3, y, 3, PlaylistCell - 1, CurrentFrame);
            p.setPen(HeaderText);
            p.drawText(QRect(0, y, PlaylistHeader - 2, PlaylistCell), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(pos));
        }
        p.restore();
    }
    if (area.intersects(QRect(0, 0, PlaylistHeader, PlaylistHeader)))
        p.fillRect(0, 0, PlaylistHeader, PlaylistHeader, HeaderBack);
}

void TKaspGrid::scrollContentsBy(int dx, int dy) {
    // Only the strip that scrolled into view is painted; the fixed headers
    // repaint the part that moved along them.
    const int vw = viewport()->width(), vh = viewport()->height();
    viewport()->scroll(dx, dy, QRect(PlaylistHeader, PlaylistHeader, vw - PlaylistHeader, vh - PlaylistHeader));
    if (dx) viewport()->update(QRect(PlaylistHeader, 0, vw - PlaylistHeader, PlaylistHeader));
    if (dy) viewport()->update(QRect(0, PlaylistHeader, PlaylistHeader, vh - PlaylistHeader));
}

static TMouseButton ButtonOf(Qt::MouseButton b) {
    return b == Qt::LeftButton ? LeftButton : b == Qt::RightButton ? RightButton : NoButton;
}

static int HeldOf(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? LeftButton : 0) | (b & Qt::RightButton ? RightButton : 0);
}

void TKaspGrid::mousePressEvent(QMouseEvent* event) {
    const TMouseButton button = ButtonOf(event->button());
    if (button == NoButton) return;
    const QPoint pt = event->position().toPoint();
    drag_.Press(ColAt(pt.x()), RowAt(pt.y()), button, bothButtons_ && bothButtons_());
}

void TKaspGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    drag_.Move(ColAt(pt.x()), RowAt(pt.y()), HeldOf(event->buttons()));
}

void TKaspGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (HeldOf(event->buttons()) == 0) drag_.Release();
}

void TKaspGrid::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    int col = col_, row = row_;
    switch (plain ? event->key() : 0) {
        case Qt::Key_Insert:
            emit InsertBarKey();
            return;
        case Qt::Key_Delete:
            emit DeleteBarKey();  // consumed here, never a channel delete
            return;
        case Qt::Key_Left:
            --col;
            break;
        case Qt::Key_Right:
            ++col;
            break;
        case Qt::Key_Up:
            --row;
            break;
        case Qt::Key_Down:
            ++row;
            break;
        case Qt::Key_Home:
            col = 1;
            break;
        case Qt::Key_End:
            col = PlaylistColumns - 1;
            break;
        case Qt::Key_PageUp:
            row -= std::max(1, (viewport()->height() - PlaylistHeader) / PlaylistCell);
            break;
        case Qt::Key_PageDown:
            row += std::max(1, (viewport()->height() - PlaylistHeader) / PlaylistCell);
            break;
        case Qt::Key_Space:
            // The keyboard's click: toggles the current cell.
            host_.SetPatternAt(col_, row_ - 1, !CellPresent(col_, row_));
            if (QAccessible::isActive()) {
                QAccessible::State changed;
                changed.checked = true;
                QAccessibleStateChangeEvent ev(this, changed);
                ev.setChild(0);
                QAccessible::updateAccessibility(&ev);
            }
            return;
        default:
            if (!forwardKey_ || !forwardKey_(event)) QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    SetCurrentCell(col, row);
    EnsureVisible(col_, row_);
    if (host_.ShowHint) host_.ShowHint("|" + PlaylistHint(col_, row_));
}

// --- the form

TPlayListForm::TPlayListForm(const TPlayList& list, TPlaylistGridHost host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), host_(std::move(host)) {
    setObjectName("PlayListForm");
    setWindowTitle(QStringLiteral("Playlist"));
    setAccessibleName(QStringLiteral("Playlist"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(24, 25, 28));
    dark.setColor(QPalette::WindowText, HeaderText);
    dark.setColor(QPalette::Button, QColor(44, 48, 56));
    dark.setColor(QPalette::ButtonText, HeaderText);
    dark.setColor(QPalette::Base, QColor(30, 32, 37));
    dark.setColor(QPalette::Text, HeaderText);
    setPalette(dark);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral(
        "QPushButton { background: #2C3038; color: #C8CDD6; border: 1px solid #454B56; border-radius: 3px;"
        " padding: 3px 14px; }"
        "QPushButton:hover { background: #363B45; }"
        "QPushButton:pressed { background: #1F2228; }"
        "QPushButton:focus { border-color: #9BF3E8; }"
        "QStatusBar { color: #C8CDD6; }"));

    // The hint goes to the main window's panel and to the window's own status bar.
    auto showHint = host_.ShowHint;
    host_.ShowHint = [this, showHint](const std::string& text) {
        if (showHint) showHint(text);
        status_->showMessage(QString::fromStdString(text).mid(text.rfind('|') == 0 ? 1 : 0));
    };
    auto setCell = host_.SetCurrentCell;
    host_.SetCurrentCell = [this, setCell](int col, int row) {
        grid_->SetCurrentCell(col, row);
        if (setCell) setCell(col, row);
    };

    grid_ = new TKaspGrid(list, host_, this);
    insBtn_ = new QPushButton(QStringLiteral("Ins bar"), this);
    insBtn_->setObjectName("InsBtn");
    insBtn_->setToolTip(QStringLiteral("Insert an empty bar at the current row (Insert)"));
    delBtn_ = new QPushButton(QStringLiteral("Del bar"), this);
    delBtn_->setObjectName("DelBtn");
    delBtn_->setToolTip(QStringLiteral("Delete the bar of the current row (Delete)"));
    for (QPushButton* b : {insBtn_, delBtn_}) b->setFocusPolicy(Qt::TabFocus);
    status_ = new QStatusBar(this);
    status_->setSizeGripEnabled(true);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 4, 4, 0);
    buttons->addWidget(insBtn_);
    buttons->addWidget(delBtn_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(grid_, 1);
    layout->addLayout(buttons);
    layout->addWidget(status_);

    connect(insBtn_, &QPushButton::clicked, this, [this] { RunBar(true); });
    connect(delBtn_, &QPushButton::clicked, this, [this] { RunBar(false); });
    connect(grid_, &TKaspGrid::InsertBarKey, this, [this] { RunBar(true); });
    connect(grid_, &TKaspGrid::DeleteBarKey, this, [this] { RunBar(false); });
    resize(420, 300);
}

void TPlayListForm::RunBar(bool insert) {
    const int row = grid_->CurrentRow();
    if (row < 1) return;
    if (insert && InsertBar) InsertBar(row - 1);
    if (!insert && DeleteBar) DeleteBar(row - 1);
    grid_->RepaintRowsFrom(row);
}

void TPlayListForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (VisibilityChanged) VisibilityChanged(true);
}

void TPlayListForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (VisibilityChanged) VisibilityChanged(false);
}

void TPlayListForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier && HelpRequested) {
        HelpRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

QRect PlaylistArrangedGeometry(const QRect& mainFrame, const QSize& size, const QRect& screen) {
    int x = mainFrame.left() - size.width();
    if (!screen.isEmpty()) x = std::max(x, screen.left());
    return QRect(QPoint(x, mainFrame.top()), size);
}

// --- what a screen reader sees: the grid as a table whose one child is the
// current cell, a check box named "Bar n, pattern m", checked when present.

namespace {

class TCellAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit TCellAccessible(TKaspGrid* grid) : grid_(grid) {}
    bool isValid() const override { return grid_; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(grid_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!grid_ || t != QAccessible::Name) return {};
        return QString::fromStdString(PlaylistCellName(grid_->CurrentCol(), grid_->CurrentRow()));
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!grid_) return {};
        const QRect r = grid_->CellRect(grid_->CurrentCol(), grid_->CurrentRow());
        return QRect(grid_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.checkable = true;
        s.focusable = true;
        s.focused = grid_ && grid_->hasFocus();
        s.checked = grid_ && grid_->CellPresent(grid_->CurrentCol(), grid_->CurrentRow());
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override {
        if (!grid_ || (name != toggleAction() && name != pressAction())) return;
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(grid_, &space);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TKaspGrid> grid_;
};

class TGridAccessible : public QAccessibleWidget {
public:
    explicit TGridAccessible(TKaspGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {
        id_ = QAccessible::registerAccessibleInterface(new TCellAccessible(grid));
    }
    ~TGridAccessible() override { QAccessible::deleteAccessibleInterface(id_); }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int i) const override {
        return i == 0 ? QAccessible::accessibleInterface(id_) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        return c == QAccessible::accessibleInterface(id_) ? 0 : -1;
    }
    QAccessibleInterface* focusChild() const override { return child(0); }

private:
    QAccessible::Id id_ = 0;
};

QAccessibleInterface* GridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("tx::TKaspGrid"))
        if (auto* grid = qobject_cast<TKaspGrid*>(object)) return new TGridAccessible(grid);
    return nullptr;
}

}  // namespace

}  // namespace tx
