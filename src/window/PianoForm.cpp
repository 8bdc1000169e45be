#include "window/PianoForm.h"

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "controls/BuiltinImages.h"
#include "controls/SkinWidget.h"
#include "desktop/StepRow.h"
#include "model/Loop.h"
#include "skin/DefaultLayout.h"
#include "window/PlacedControl.h"

namespace tx {

namespace {

constexpr int kColumns = 16, kColumnWidth = 16;
constexpr int kDrawWidth = kColumns * kColumnWidth + 1;  // the last separator at x = 256
constexpr int kScrollStep = 8, kScrollMs = 50;
constexpr int kMarkHeight = 12;

// Per semitone: where its mark sits above the octave's bottom, and its shape
// (frame of "Keyb_Keys.bmp"; 4 more for a step that is off).
constexpr int kMarkOffset[12] = {0, 4, 8, 12, 16, 24, 28, 32, 36, 40, 44, 48};
constexpr int kMarkShape[12] = {
    DefaultLayout::KeyMarkBottomWhite, DefaultLayout::KeyMarkBlack,       DefaultLayout::KeyMarkMiddleWhite,
    DefaultLayout::KeyMarkBlack,       DefaultLayout::KeyMarkTopWhite,    DefaultLayout::KeyMarkBottomWhite,
    DefaultLayout::KeyMarkBlack,       DefaultLayout::KeyMarkMiddleWhite, DefaultLayout::KeyMarkBlack,
    DefaultLayout::KeyMarkMiddleWhite, DefaultLayout::KeyMarkBlack,       DefaultLayout::KeyMarkTopWhite};

const char* const kRowButtons[6] = {"FXPanSelect", "FXVolSelect",  "FXPitchSelect",
                                    "FXMixSelect", "FXResoSelect", "FXCutOffSelect"};
const char* const kRowNames[6] = {"Pan", "Volume", "Pitch", "Mix", "Resonance", "Cutoff"};

QString ValueText(int row, int value) {
    if (row == RowReso) return QStringLiteral("resonance %1").arg(value);
    if (row == RowCutoff) return QStringLiteral("cutoff %1").arg(value);
    return QString::fromStdString(StepValueHint(row, value));
}

QString KeyText(int key) { return QString::fromStdString(PianoKeyName(key)); }

}  // namespace

// The piano roll: 16 columns of 11 octaves, each column's key marked.
class TPianoKeybBox : public TSkinWidget {
public:
    TPianoKeybBox(TPianoForm* form, QWidget* parent) : TSkinWidget(parent), form_(form) {
        setObjectName("KeybBox");
        setAccessibleName(QStringLiteral("Piano roll"));
        resize(kColumns * kColumnWidth, PianoBoxHeight);
        setMouseTracking(true);
    }
    QPointer<TImageStrip> keyb, notes;
    void UpdateColumn(int step) { update(step * kColumnWidth, 0, kColumnWidth, height()); }
    QAccessible::Role AccessibleRole() const override { return QAccessible::Grouping; }
    TPianoForm* Form() const { return form_; }

protected:
    void PaintSkin(QPainter& p) override {
        const TLoop& loop = form_->loop_;
        const int ch = form_->tag_;
        if (ch >= loop.ChannelCount()) return;
        const PatternRecord& rec = loop.Channel(ch).Pattern(loop.CurrentPattern);
        const int h = height();
        for (int s = 0; s < kColumns; ++s) {
            const int x = s * kColumnWidth, alt = (s / 4) % 2;
            for (int o = 0; o < PianoOctaves; ++o) {
                const int y = h - (o + 1) * PianoOctaveHeight;
                if (keyb && !keyb->IsEmpty()) {
                    keyb->Draw(p, x, y, alt);
                    continue;
                }
                // No strip anywhere: the same octave drawn plainly.
                p.fillRect(x, y, kColumnWidth, PianoOctaveHeight, alt ? QColor(62, 69, 80) : QColor(52, 58, 68));
                for (int r0 : {5, 13, 29, 37, 45})
                    p.fillRect(x, y + PianoOctaveHeight - r0 - 6, 9, 6, QColor(22, 24, 28));
                p.fillRect(x, y + PianoOctaveHeight - 1, kColumnWidth, 1, QColor(90, 98, 110));
                p.fillRect(x + kColumnWidth - 1, y, 1, PianoOctaveHeight, QColor(34, 38, 44));
            }
            const int key = rec.Value(RowNote, s);
            const bool on = rec.GetStep(s);
            const int top = h - (key / 12 * PianoOctaveHeight + kMarkOffset[key % 12]) - kMarkHeight;
            const int frame = kMarkShape[key % 12] + (on ? 0 : DefaultLayout::KeyMarkOff);
            if (notes && !notes->IsEmpty())
                notes->Draw(p, x, top, frame);
            else
                p.fillRect(x + 2, top + 4, 12, 5, on ? QColor(240, 170, 50) : QColor(122, 106, 82));
        }
    }
    void mousePressEvent(QMouseEvent* e) override { form_->KeybPress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { form_->KeybMove(e); }
    void mouseReleaseEvent(QMouseEvent*) override { form_->KeybRelease(); }

private:
    TPianoForm* form_;
};

// The draw mode: a bar per step showing the selected value row.
class TPianoDrawBox : public TSkinWidget {
public:
    TPianoDrawBox(TPianoForm* form, QWidget* parent) : TSkinWidget(parent), form_(form) {
        setObjectName("DrawBox");
        setAccessibleName(QStringLiteral("Step values"));
        resize(kDrawWidth, DrawBoxHeight + 1);
    }
    std::array<std::optional<QColor>, 4> graphColours;
    QAccessible::Role AccessibleRole() const override { return QAccessible::Grouping; }
    TPianoForm* Form() const { return form_; }

    QColor BarColour(int row, int value) const {
        const StepParam& param = StepParamTable[size_t(row)];
        QColor base(param.Red, param.Green, param.Blue);
        if (row < 4 && graphColours[size_t(row)]) base = *graphColours[size_t(row)];
        // Brighter as the value grows: halfway to white at the maximum.
        auto lift = [&](int c) { return c + (255 - c) * value / (2 * param.Maximum); };
        return QColor(lift(base.red()), lift(base.green()), lift(base.blue()));
    }

protected:
    void PaintSkin(QPainter& p) override {
        p.fillRect(rect(), QColor(24, 26, 31));
        const TLoop& loop = form_->loop_;
        const int ch = form_->tag_, row = form_->row_;
        const StepParam& param = StepParamTable[size_t(row)];
        const int h = DrawBoxHeight;
        for (int y : {h / 4, h / 2, h * 3 / 4}) p.fillRect(0, y, kDrawWidth, 1, QColor(44, 48, 56));
        if (ch < loop.ChannelCount()) {
            const PatternRecord& rec = loop.Channel(ch).Pattern(loop.CurrentPattern);
            for (int s = 0; s < kColumns; ++s) {
                const int v = rec.Value(row, s);
                const int top = std::max(0, DrawBarTop(v, param.Maximum));
                int y0 = top, y1 = h;
                if (param.Centre) {
                    y0 = std::min(top, DrawBarMiddle);
                    y1 = std::max(top, DrawBarMiddle) + 1;
                }
                p.fillRect(s * kColumnWidth + 1, y0, kColumnWidth - 1, y1 - y0, BarColour(row, v));
            }
        }
        for (int s = 0; s <= kColumns; ++s) p.fillRect(s * kColumnWidth, 0, 1, h + 1, QColor(70, 76, 88));
    }
    void mousePressEvent(QMouseEvent* e) override { form_->DrawPress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { form_->DrawMove(e); }
    void mouseReleaseEvent(QMouseEvent*) override { form_->DrawRelease(); }

private:
    TPianoForm* form_;
};

namespace {

// One step of the roll or of the bars as a screen reader sees it: "Step n",
// a check box with the key as its value, or a slider of the row's value.
class TPianoStepAccessible : public QAccessibleInterface,
                             public QAccessibleActionInterface,
                             public QAccessibleValueInterface {
public:
    TPianoStepAccessible(TPianoForm* form, QWidget* box, bool draw, int step)
        : form_(form), box_(box), draw_(draw), step_(step) {}
    bool isValid() const override { return form_ && box_; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return box_ ? box_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(box_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        if (t == QAccessible::Name) return QStringLiteral("Step %1").arg(step_ + 1);
        if (t != QAccessible::Value) return {};
        if (draw_) return ValueText(form_->Row(), form_->StepValue(step_));
        return KeyText(form_->StepKey(step_)) +
               (form_->StepOn(step_) ? QStringLiteral(", on") : QStringLiteral(", off"));
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!box_) return {};
        const QRect r(step_ * kColumnWidth, 0, kColumnWidth, draw_ ? DrawBoxHeight : box_->height());
        return QRect(box_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return draw_ ? QAccessible::Slider : QAccessible::CheckBox; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.checkable = !draw_;
        s.checked = !draw_ && form_ && form_->StepOn(step_);
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && !draw_) return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::ValueInterface && draw_) return static_cast<QAccessibleValueInterface*>(this);
        return nullptr;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override {
        if (form_ && (name == toggleAction() || name == pressAction())) form_->ToggleStep(step_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    QVariant currentValue() const override { return form_ ? form_->StepValue(step_) : 0; }
    void setCurrentValue(const QVariant& value) override {
        if (form_) form_->SetStepValue(step_, value.toInt());
    }
    QVariant maximumValue() const override { return form_ ? StepParamTable[size_t(form_->Row())].Maximum : 0; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    QPointer<TPianoForm> form_;
    QPointer<QWidget> box_;
    bool draw_;
    int step_;
};

class TPianoBoxAccessible : public QAccessibleWidget {
public:
    TPianoBoxAccessible(TPianoForm* form, QWidget* box, bool draw) : QAccessibleWidget(box, QAccessible::Grouping) {
        for (int i = 0; i < kColumns; ++i)
            ids_[size_t(i)] = QAccessible::registerAccessibleInterface(new TPianoStepAccessible(form, box, draw, i));
    }
    ~TPianoBoxAccessible() override {
        for (auto id : ids_) QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return kColumns; }
    QAccessibleInterface* child(int i) const override {
        return i >= 0 && i < kColumns ? QAccessible::accessibleInterface(ids_[size_t(i)]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        for (int i = 0; i < kColumns; ++i)
            if (QAccessible::accessibleInterface(ids_[size_t(i)]) == c) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < kColumns; ++i)
            if (child(i)->rect().contains(x, y)) return child(i);
        return nullptr;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }

private:
    std::array<QAccessible::Id, kColumns> ids_{};
};

QAccessibleInterface* PianoFactory(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w) return nullptr;
    if (auto* keyb = dynamic_cast<TPianoKeybBox*>(w)) return new TPianoBoxAccessible(keyb->Form(), w, false);
    if (auto* draw = dynamic_cast<TPianoDrawBox*>(w)) return new TPianoBoxAccessible(draw->Form(), w, true);
    return nullptr;
}

}  // namespace

TPianoForm::TPianoForm(TLoop& loop, const TPianoHost& host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      loop_(loop),
      host_(host),
      keys_(loop),
      values_(loop) {
    // Before the boxes exist (naming them already asks for their interfaces).
    // The factory installed last is asked first: the skinned controls' own
    // factory must be in before this one.
    static std::once_flag once;
    std::call_once(once, [] {
        InstallSkinAccessibility();
        QAccessible::installFactory(PianoFactory);
    });
    setObjectName("PianoForm");
    setWindowTitle("Piano");
    setAttribute(Qt::WA_ShowWithoutActivating);
    int w = 282, h = 152;
    for (const auto& panel : DefaultLayout::Panels)
        if (panel.Panel == DefaultLayout::TPanel::Piano) w = panel.Width, h = panel.Height;
    setFixedSize(w, h);
    panel_ = new QWidget(this);
    panel_->setObjectName("KeybPanel");
    panel_->setGeometry(0, 0, w, h);
    panel_->setAutoFillBackground(true);
    QPalette pal = panel_->palette();
    pal.setColor(QPalette::Window, QColor(30, 33, 39));
    panel_->setPalette(pal);

    scroll_ = new QScrollArea(panel_);
    scroll_->setGeometry(0, 0, kColumns * kColumnWidth, h);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the wheel and the drag scroll it
    scroll_->setWidgetResizable(false);
    keybBox_ = new TPianoKeybBox(this, nullptr);
    scroll_->setWidget(keybBox_);
    drawBox_ = new TPianoDrawBox(this, panel_);
    drawBox_->move(0, 0);
    drawBox_->hide();

    for (int r = 0; r < 6; ++r) {
        auto* b = PlacedToggle(panel_, kRowButtons[r], QStringLiteral("|") + kRowNames[r]);
        b->SetTransparent(false);
        connect(b, &TMyTransButton::Clicked, this, [this, r] { SetRow(r); });
        rowButtons_[size_t(r)] = b;
    }
    SetRow(0);

    scrollTimer_ = new QTimer(this);
    scrollTimer_->setInterval(kScrollMs);
    connect(scrollTimer_, &QTimer::timeout, this, &TPianoForm::ScrollTick);

    keys_.RenderRunning = [this] { return host_.RenderRunning && host_.RenderRunning(); };
    keys_.PlayKey = [this](int ch, int step, int key) {
        if (host_.PlayKey) host_.PlayKey(ch, step, key);
    };
    keys_.StepSet = [this](int ch, int step, bool on) {
        if (ch == tag_) keybBox_->UpdateColumn(step);
        if (host_.StepSet) host_.StepSet(ch, step, on);
    };
    keys_.KeyChanged = [this](int ch, int step) {
        if (ch == tag_) keybBox_->UpdateColumn(step);
    };
}

TPianoForm::~TPianoForm() {
    keys_.Release();
    values_.End();
}

void TPianoForm::SetStrips(TImageStrip* keyb, TImageStrip* keybNotes) {
    for (TImageStrip* s : {keybBox_->keyb.data(), keybBox_->notes.data()})
        if (s) disconnect(s, nullptr, keybBox_, nullptr);
    keybBox_->keyb = keyb;
    keybBox_->notes = keybNotes;
    for (TImageStrip* s : {keyb, keybNotes})
        if (s) connect(s, &TImageStrip::Changed, keybBox_, qOverload<>(&QWidget::update));
    keybBox_->update();
}

void TPianoForm::SetGraphColours(const std::array<std::optional<QColor>, 4>& colours) {
    drawBox_->graphColours = colours;
    drawBox_->update();
}

QWidget* TPianoForm::KeybBox() const { return keybBox_; }
QWidget* TPianoForm::DrawBox() const { return drawBox_; }
bool TPianoForm::Scrolling() const { return scrollTimer_->isActive(); }

void TPianoForm::SetMode(TMode mode) {
    if (mode != mode_) {
        // A mode change in the middle of a drag ends it.
        KeybRelease();
        DrawRelease();
    }
    mode_ = mode;
    scroll_->setVisible(mode == KeyboardMode);
    drawBox_->setVisible(mode == DrawMode);
    if (mode == DrawMode) drawBox_->raise();
    for (auto* b : rowButtons_) b->raise();
}

void TPianoForm::SetRow(int row) {
    if (row < 0 || row > 5) return;
    if (values_.Active() && row != row_) DrawRelease();
    row_ = row;
    for (int r = 0; r < 6; ++r) {
        TMyTransButton* b = rowButtons_[size_t(r)];
        b->SetDown(r == row);
        QPalette p = b->palette();
        p.setColor(QPalette::Button, r == row ? QColor(120, 92, 40) : QColor(40, 44, 52));
        b->setPalette(p);
    }
    drawBox_->update();
}

void TPianoForm::OpenFor(int channel) {
    if (channel < 0 || channel >= loop_.ChannelCount()) return;
    const bool fresh = channel != tag_ || !isVisible();
    if (channel != tag_) {
        KeybRelease();
        DrawRelease();
    }
    tag_ = channel;
    keys_.ResetLast();
    Reattach();
    if (fresh) ScrollToKeys();  // reopened on the same channel, the view stays where the user left it
    if (!isVisible()) show();
    Refresh();
}

void TPianoForm::Reattach() {
    if (!host_.RowRect) return;
    const QRect row = host_.RowRect(tag_);
    if (row.isNull()) return;
    QScreen* screen = QGuiApplication::screenAt(row.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const int screenBottom = screen ? screen->geometry().bottom() + 1 : row.bottom() + 1 + height();
    move(row.left(), PianoFormTop(row.bottom() + 1, height(), screenBottom));
}

void TPianoForm::ScrollToKeys() {
    // The keys in use in the middle of the view: their mean, or the middle note.
    const TChannel& c = loop_.Channel(tag_);
    const PatternRecord& rec = c.Pattern(loop_.CurrentPattern);
    int sum = 0, n = 0;
    for (int s = 0; s < kColumns; ++s)
        if (rec.GetStep(s)) sum += rec.Value(RowNote, s), ++n;
    const int key = n > 0 ? sum / n : std::clamp<int>(c.MiddleNote, 0, 127);
    const int y = PianoBoxHeight - (key / 12 * PianoOctaveHeight + kMarkOffset[key % 12]) - kMarkHeight / 2;
    scroll_->verticalScrollBar()->setValue(y - scroll_->viewport()->height() / 2);
}

void TPianoForm::StepChanged(int channel, int step) {
    if (channel != tag_ || step < 0 || step >= kColumns) return;
    keybBox_->UpdateColumn(step);
    drawBox_->update(step * kColumnWidth, 0, kColumnWidth + 1, drawBox_->height());
}

void TPianoForm::Refresh() {
    keybBox_->update();
    drawBox_->update();
}

void TPianoForm::SetTransposeCursor(bool on) {
    transpose_ = on;
    const QCursor c = on ? ProgramCursor("LINE") : QCursor();
    keybBox_->setCursor(c);
    if (drawButton_ != Qt::RightButton) drawBox_->setCursor(c);
}

void TPianoForm::hideEvent(QHideEvent* event) {
    scrollTimer_->stop();
    // Hidden in the middle of a drag (K released): the drag ends as one undo step.
    keys_.Release();
    DrawRelease();
    QWidget::hideEvent(event);
}

void TPianoForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && host_.ShowHelp) {
        host_.ShowHelp();
        return;
    }
    if (!host_.Key || !host_.Key(event, true)) QWidget::keyPressEvent(event);
}

void TPianoForm::keyReleaseEvent(QKeyEvent* event) {
    if (!host_.Key || !host_.Key(event, false)) QWidget::keyReleaseEvent(event);
}

// --- keyboard mode

void TPianoForm::KeybPress(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton) return;
    keys_.Press();
    KeybMove(e);
}

void TPianoForm::KeybMove(QMouseEvent* e) {
    const int x = int(std::floor(e->position().x())), y = int(std::floor(e->position().y()));
    if (host_.ShowHint) host_.ShowHint("|" + KeyText(PianoKeyAt(x, y, keybBox_->height())));
    if (!keys_.Pressed()) return;
    AutoScroll(y);
    keys_.Move(tag_, x, y, e->buttons() & Qt::LeftButton, e->buttons() & Qt::RightButton, transpose_,
               keybBox_->height());
}

void TPianoForm::KeybRelease() {
    scrollTimer_->stop();
    keys_.Release();
}

void TPianoForm::AutoScroll(int y) {
    const int top = scroll_->verticalScrollBar()->value();
    const int bottom = top + scroll_->viewport()->height();
    scrollDirection_ = y < top ? -1 : y >= bottom ? 1 : 0;
    if (scrollDirection_ == 0)
        scrollTimer_->stop();
    else if (!scrollTimer_->isActive())
        scrollTimer_->start();
}

void TPianoForm::ScrollTick() {
    QScrollBar* bar = scroll_->verticalScrollBar();
    bar->setValue(std::clamp(bar->value() + scrollDirection_ * kScrollStep, bar->minimum(), bar->maximum()));
}

// --- draw mode

void TPianoForm::DrawPress(QMouseEvent* e) {
    const Qt::MouseButton b = e->button();
    if ((b != Qt::LeftButton && b != Qt::RightButton) || values_.Active()) return;
    const int x = int(std::floor(e->position().x())), y = int(std::floor(e->position().y()));
    const int step = PianoStepAt(x);
    if (!values_.Begin(tag_, row_, std::clamp(step, 0, kColumns - 1))) return;
    drawButton_ = b;
    if (b == Qt::RightButton) {
        if (step >= 0 && step < kColumns) SetDrawValue(step, DrawValueAt(y, values_.Maximum()), false);
        anchorStep_ = step;
        anchorY_ = y;
    }
    DrawMove(e);
}

void TPianoForm::DrawMove(QMouseEvent* e) {
    if (!values_.Active()) return;
    const int x = int(std::floor(e->position().x())), y = int(std::floor(e->position().y()));
    const int max = values_.Maximum();
    if (drawButton_ == Qt::LeftButton) {
        // Only the sixteen columns: the box's last pixel is the closing separator.
        if (x >= 0 && x < kColumns * kColumnWidth) SetDrawValue(x / kColumnWidth, DrawValueAt(y, max), transpose_);
    } else {
        drawBox_->unsetCursor();
        for (const TDrawPoint& p : DrawLine(anchorStep_, anchorY_, PianoStepAt(x), y, max))
            SetDrawValue(p.Step, p.Value, false);
    }
}

void TPianoForm::DrawRelease() {
    if (!values_.Active()) return;
    values_.End();
    drawButton_ = Qt::NoButton;
    SetTransposeCursor(transpose_);
}

bool TPianoForm::StepOn(int step) const {
    return tag_ < loop_.ChannelCount() && loop_.GetStep(tag_, loop_.CurrentPattern, step);
}

int TPianoForm::StepKey(int step) const {
    return tag_ < loop_.ChannelCount() ? loop_.Channel(tag_).Pattern(loop_.CurrentPattern).Value(RowNote, step) : 0;
}

int TPianoForm::StepValue(int step) const {
    return tag_ < loop_.ChannelCount() ? loop_.Channel(tag_).Pattern(loop_.CurrentPattern).Value(row_, step) : 0;
}

void TPianoForm::ToggleStep(int step) {
    if (step < 0 || step >= kColumns || keys_.Pressed() || tag_ >= loop_.ChannelCount()) return;
    // As the mouse would: the left button on the step's own key, or the right button.
    const int key = StepKey(step), semitone = key % 12;
    const bool black = kMarkShape[semitone] == DefaultLayout::KeyMarkBlack;
    const int x = step * kColumnWidth + (black ? 3 : 12);
    const int y = keybBox_->height() - (key / 12 * PianoOctaveHeight + kMarkOffset[semitone] + 2);
    const bool on = !StepOn(step);
    keys_.Press();
    keys_.Move(tag_, x, y, on, !on, false, keybBox_->height());
    keys_.Release();
}

void TPianoForm::SetStepValue(int step, int value) {
    if (step < 0 || step >= kColumns || values_.Active() || !values_.Begin(tag_, row_, step)) return;
    SetDrawValue(step, value, false);
    values_.End();
}

void TPianoForm::SetDrawValue(int step, int value, bool line) {
    for (const auto& ref : values_.ChangeAndCopy(step, value, line)) {
        if (ref.Channel == tag_) StepChanged(ref.Channel, ref.Step);
        if (host_.StepValueChanged) host_.StepValueChanged(ref.Channel, ref.Step);
    }
    if (host_.ShowHint) host_.ShowHint("|" + ValueText(row_, std::clamp(value, 0, values_.Maximum())));
}

}  // namespace tx
