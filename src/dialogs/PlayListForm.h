#pragma once
#include <QAbstractScrollArea>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <vector>

#include "desktop/PlaylistGrid.h"
#include "model/Playlist.h"

class QKeyEvent;
class QLabel;
class QPushButton;
class QStatusBar;

namespace tx {

class TImageStrip;

// The playlist grid: patterns across, positions down, the two headers fixed
// while the cells scroll. It paints only the cells inside the region asked
// for, and every change repaints only its own cells, rows or columns, so a
// full 512 x 999 playlist scrolls as lightly as an empty one.
// Window thread only.
class TKaspGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    TKaspGrid(const TPlayList& list, TPlaylistGridHost& host, QWidget* parent = nullptr);

    void SetBullets(TImageStrip* strip) { bullets_ = strip; }
    void SetBothButtons(std::function<bool()> f) { bothButtons_ = std::move(f); }
    // Keys the grid does not use itself go here (the main window's key handling).
    void SetForwardKey(std::function<bool(QKeyEvent*)> f) { forwardKey_ = std::move(f); }

    // What the painting marks; each repaints the old and new line only.
    void ShowCurrentPattern(int pattern);
    void ShowSongPosition(int position);
    void ShowLoopPosition(int position);
    int ShownSongPosition() const { return songPos_; }

    void SetCurrentCell(int col, int row);
    int CurrentCol() const { return col_; }
    int CurrentRow() const { return row_; }
    bool CellPresent(int col, int row) const;

    void RepaintPosition(int position);  // one row of cells
    void RepaintRowsFrom(int row);       // after a bar was inserted or deleted
    // The viewport rectangle of a cell (unclipped), in viewport pixels.
    QRect CellRect(int col, int row) const;
    // Scrolls the cell into view.
    void EnsureVisible(int col, int row);

signals:
    void InsertBarKey();
    void DeleteBarKey();
    void CurrentCellChanged(int col, int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateScrollRanges();
    void RepaintRow(int row);
    void RepaintColumn(int col);
    // Grid column/row under a viewport point (the headers stay put).
    int ColAt(int x) const;
    int RowAt(int y) const;
    const QPixmap& HeaderNumber(int pattern);

    const TPlayList& list_;
    TPlaylistGridHost& host_;
    TPlaylistDrag drag_;
    TImageStrip* bullets_ = nullptr;
    std::function<bool()> bothButtons_;
    std::function<bool(QKeyEvent*)> forwardKey_;
    int currentPattern_ = 1, songPos_ = -1, loopPos_ = 0;
    int col_ = 1, row_ = 1;
    std::vector<QPixmap> headerNumbers_;  // the vertical pattern numbers, made on first use
};

// The playlist window: the grid, "Ins bar" and "Del bar", and a status bar
// with the hint of the cell under the mouse. A tool window on top of the
// main window; hiding it is reported so the menu item follows.
class TPlayListForm : public QWidget {
    Q_OBJECT
public:
    TPlayListForm(const TPlayList& list, TPlaylistGridHost host, QWidget* parent = nullptr);

    TKaspGrid* Grid() const { return grid_; }
    QPushButton* InsButton() const { return insBtn_; }
    QPushButton* DelButton() const { return delBtn_; }
    QStatusBar* StatusBar() const { return status_; }

    // Insert bar and Delete bar at the grid's current row; set by the owner.
    std::function<void(int)> InsertBar, DeleteBar;
    std::function<void(bool)> VisibilityChanged;
    std::function<void()> HelpRequested;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RunBar(bool insert);

    TPlaylistGridHost host_;
    TKaspGrid* grid_ = nullptr;
    QPushButton* insBtn_ = nullptr;
    QPushButton* delBtn_ = nullptr;
    QStatusBar* status_ = nullptr;
};

// The window's design size and the place "&Auto arrange" gives it: left of
// the main window, top edges level, kept on the screen's left edge.
QRect PlaylistArrangedGeometry(const QRect& mainFrame, const QSize& size, const QRect& screen);

}  // namespace tx
