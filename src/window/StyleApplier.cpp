#include "window/StyleApplier.h"

#include <QLabel>
#include <QPolygon>
#include <QWidget>
#include <algorithm>

#include "controls/Controls.h"
#include "skin/ControlNames.h"

namespace tx {

namespace {

// The window's shape reaches far below any height the window can take.
constexpr int kShapeHeight = 32000;

QImage FrameImage(const TBitmap& bitmap) { return ToImage(bitmap); }

const char* const kVerticalSliders[] = {"MainVolSlider", "ShuffleSlider", "MainPitchSlider", "MainResoSlider",
                                        "MainCutOffSlider"};

struct TStripUse {
    const char* File;
    const char* Control;
    int ILIndex;  // for image buttons; -1 for other controls
};

// Which control shows which strip.
const TStripUse kStripUses[] = {
    {"PatPad.bmp", "PatPad", -1},
    {"MinClose.bmp", "MinBtn", 0},
    {"MinClose.bmp", "CloseBtn", 2},
    {"UpDown.bmp", "PatUpDown", -1},
    {"UpDown.bmp", "BPMUpDown", -1},
    {"FX_Btns.bmp", "FXVolBtn", 0},
    {"FX_Btns.bmp", "FXPitchBtn", 2},
    {"FX_Btns.bmp", "FXDrawBtn", 4},
    {"FX_Btns.bmp", "FXNoteBtn", 6},
    {"digits.bmp", "PatNumDig", -1},
    {"digits.bmp", "BPMDig", -1},
    {"MiddleWheel.bmp", "DotVolWheel", -1},
    {"SmallWheel.bmp", "FrontVolWheel", -1},
    {"Volumeter.bmp", "MixVolumeter", -1},
    {"SetBtn.bmp", "SetButton", 0},
    {"MuteBtn.bmp", "FrontMuteButton", 0},
    {"SelectBtn.bmp", "SelectButton", 0},
    {"MenuItems.bmp", "NewMainMenu", -1},
    {"VolSliderKnob.bmp", "MainVolSlider", -1},
    {"VolSliderKnob.bmp", "ShuffleSlider", -1},
    {"VolSliderKnob.bmp", "MainPitchSlider", -1},
    {"VolSliderKnob.bmp", "MainResoSlider", -1},
    {"VolSliderKnob.bmp", "MainCutOffSlider", -1},
    {"PlayBtn.bmp", "StartButton", 0},
    {"LoopBtn.bmp", "LoopButton", 0},
    {"ScopeMute.bmp", "ScopeButton", 0},
};

// Wallpapers by panel.
const std::pair<const char*, const char*> kWallpapers[] = {
    {"MenuBack.bmp", "MenuPic"}, {"BottomLine.bmp", "BottomPic"}, {"MenuLine.bmp", "MainMenuPic"},
    {"back.bmp", "BackWP"},      {"LeftSide.bmp", "LeftSideWP"},  {"RightSide.bmp", "RightSideWP"},
};

void ApplyFont(QWidget* label, const TStyleFont& font) {
    if (!label) return;
    QFont f = label->font();
    if (font.Name) f.setFamily(QString::fromStdString(*font.Name));
    // A negative height is the letters' pixel size, a positive one the line's;
    // both become a pixel size here.
    if (font.Height && *font.Height != 0) f.setPixelSize(std::abs(*font.Height));
    label->setFont(f);
    if (font.Colour) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, TStyleApplier::StyleColour(*font.Colour));
        p.setColor(QPalette::ButtonText, TStyleApplier::StyleColour(*font.Colour));
        label->setPalette(p);
    }
}

}  // namespace

QColor TStyleApplier::StyleColour(uint32_t bgr) { return QColor::fromRgb(StyleColourToArgb(bgr)); }

QRegion TStyleApplier::ShapeRegion(int width, const std::vector<std::vector<TStylePoint>>& holes) {
    QRegion shape(0, 0, width, kShapeHeight);
    for (const auto& hole : holes) {
        QPolygon polygon;
        for (const TStylePoint& p : hole) polygon << QPoint(p.X, p.Y);
        if (polygon.size() >= 3) shape -= QRegion(polygon, Qt::OddEvenFill);
    }
    return shape;
}

template <class T>
std::vector<T*> TStyleApplier::Find(const char* name) const {
    std::vector<T*> found;
    auto collect = [&](QWidget* root) {
        if (!root) return;
        if (root->objectName() == name)
            if (auto* t = qobject_cast<T*>(root)) found.push_back(t);
        for (T* t : root->findChildren<T*>(name)) found.push_back(t);
    };
    collect(window_);
    for (QWidget* root : roots_) collect(root);
    return found;
}

QWidget* TStyleApplier::FindWidget(const std::string& name) const {
    auto all = Find<QWidget>(name.c_str());
    return all.empty() ? nullptr : all.front();
}

void TStyleApplier::LoadImages(const TStyleData& style) {
    for (const TStyleItem& item : style.Items) {
        if (!item.Entry) continue;
        const std::string name(item.Entry->Name);
        switch (item.Entry->Kind) {
            case TStyleFileKind::Strip: {
                // A strip missing everywhere leaves the control its built-in look.
                QVector<QImage> frames;
                for (const TBitmap& frame : item.Strip.Frames) frames.push_back(FrameImage(frame));
                images_.Strip(name)->LoadFrames(frames);
                break;
            }
            case TStyleFileKind::Glyph:
                // Glyphs change only when some folder has them; else the built-in one stays.
                if (item.Origin != TStyleOrigin::Missing && item.Picture.Width > 0)
                    images_.Strip(name)->LoadCount(item.Picture, 2);
                break;
            case TStyleFileKind::Picture:
                images_.SetPicture(name,
                                   item.Picture.Width > 0 ? QPixmap::fromImage(ToImage(item.Picture)) : QPixmap());
                break;
            default:
                break;
        }
    }
}

void TStyleApplier::AssignImages() {
    for (const TStripUse& use : kStripUses) {
        TImageStrip* strip = images_.Strip(use.File);
        for (QWidget* w : Find<QWidget>(use.Control)) {
            if (auto* b = qobject_cast<TMyTransButton*>(w)) {
                const TStyleFileEntry* entry = FindStyleFile(use.File);
                if (strip->IsEmpty() && entry && entry->Kind == TStyleFileKind::Glyph)
                    continue;  // a glyph found nowhere leaves the button's built-in look
                b->SetImList(strip);
                if (use.ILIndex >= 0) b->SetILIndex(use.ILIndex);
                if (!strip->IsEmpty() && b->objectName() != "SetButton") b->resize(strip->FrameSize());
            } else if (auto* k = qobject_cast<TWAVWheel*>(w)) {
                k->SetWheelIL(strip);
            } else if (auto* s = qobject_cast<TZavoUpDown*>(w)) {
                s->SetImList(strip);
            } else if (auto* d = qobject_cast<TRCADigital*>(w)) {
                d->SetImList(strip);
            } else if (auto* p = qobject_cast<TNumpad*>(w)) {
                p->SetImList(strip);
            } else if (auto* m = qobject_cast<TWAVVolumeter*>(w)) {
                m->SetImList(strip);
            } else if (auto* n = qobject_cast<TNewMenu*>(w)) {
                n->SetImList(strip);
            } else if (auto* t = qobject_cast<TTrackSlider*>(w)) {
                t->SetKnobIL(strip);
            }
        }
    }
    // The keyboard editor's parameter buttons show their pictures as glyphs.
    const std::pair<const char*, const char*> glyphs[] = {
        {"Vol_FX.bmp", "FXVolSelect"}, {"Pan_FX.bmp", "FXPanSelect"},   {"Pitch_FX.bmp", "FXPitchSelect"},
        {"Mix_FX.bmp", "FXMixSelect"}, {"Reso_FX.bmp", "FXResoSelect"}, {"CutOff_FX.bmp", "FXCutOffSelect"}};
    for (auto [file, control] : glyphs) {
        const QPixmap picture = images_.Picture(file);
        if (picture.isNull()) continue;
        for (auto* b : Find<TMyTransButton>(control)) b->SetGlyph(picture, 1);
    }
    for (auto [file, panel] : kWallpapers) {
        for (auto* wp : Find<TWPControl>(panel)) {
            const QPixmap picture = images_.Picture(file);
            wp->SetWallpaper(picture);
            if (picture.isNull()) continue;
            const std::string_view f(file);
            if (f == "LeftSide.bmp" || f == "RightSide.bmp")
                wp->setFixedWidth(picture.width());
            else if (f != "back.bmp")
                wp->setFixedSize(picture.size());
        }
    }
    ShowActive(window_ && window_->isActiveWindow());
}

void TStyleApplier::ShowActive(bool active) {
    const QPixmap on = images_.Picture("TitleBar.bmp"), off = images_.Picture("TitleBar_Off.bmp");
    for (auto* caption : Find<TWPControl>("CaptionPic")) {
        caption->SetWallpaper(active || off.isNull() ? on : off);
        if (!on.isNull()) caption->setFixedSize(on.size());
    }
}

void TStyleApplier::ApplyConfig(const TStyleConfig& config, TAppliedStyle& result) {
    if (config.Hint)
        for (auto* label : Find<QLabel>("InfoLabel")) label->setText(QString::fromStdString(*config.Hint));
    if (config.MenuSep)
        for (auto* menu : Find<TNewMenu>("NewMainMenu")) menu->SetSeparators(*config.MenuSep);
    ApplyFont(FindWidget("CaptionLabel"), config.TitleFont);
    ApplyFont(FindWidget("InfoLabel"), config.HintFont);
    if (config.ScopeCol)
        for (auto* scope : Find<TWAVScope>("MixScope")) scope->SetLineColor(StyleColour(*config.ScopeCol));
    for (auto* scope : Find<TWAVScope>("WAVScope")) {
        if (config.SampleScopeCol[0]) scope->SetBackColor(StyleColour(*config.SampleScopeCol[0]));
        if (config.SampleScopeCol[1]) scope->SetCenterColor(StyleColour(*config.SampleScopeCol[1]));
        if (config.SampleScopeCol[2]) scope->SetLineColor(StyleColour(*config.SampleScopeCol[2]));
    }
    for (size_t i = 0; i < 4; ++i)
        if (config.GraphCol[i]) result.GraphColours[i] = StyleColour(*config.GraphCol[i]);
    result.ChanBtns.emplace();
    if (config.ChanBtns)
        for (size_t i = 0; i < 5; ++i) (*result.ChanBtns)[i] = QPoint((*config.ChanBtns)[i].X, (*config.ChanBtns)[i].Y);
    // Placements, in the table's order: the panels' controls, then the editor's buttons.
    for (const TStyleControl& control : StyleControls()) {
        auto it = config.Controls.find(std::string(control.Name));
        if (it == config.Controls.end()) continue;
        const TControlPlace& place = it->second;
        for (QWidget* w : Find<QWidget>(std::string(control.Name).c_str())) {
            w->move(place.X.value_or(w->x()), place.Y.value_or(w->y()));
            if (place.W || place.H) w->resize(place.W.value_or(w->width()), place.H.value_or(w->height()));
        }
    }
}

void TStyleApplier::CutBackgrounds() {
    // After the controls moved: each takes the piece of the transport panel's
    // wallpaper it covers, so it blends into the panel wherever the style put it.
    const QPixmap wallpaper = images_.Picture("MenuBack.bmp");
    auto piece = [&](QWidget* w) { return wallpaper.isNull() ? QPixmap() : wallpaper.copy(w->geometry()); };
    for (auto* scope : Find<TWAVScope>("MixScope")) scope->SetBackground(piece(scope));
    for (const char* name : kVerticalSliders)
        for (auto* slider : Find<TTrackSlider>(name)) slider->SetBackIL(piece(slider));
}

void TStyleApplier::RestoreDesign() {
    if (design_.empty()) {
        for (const TStyleControl& control : StyleControls())
            for (QWidget* w : Find<QWidget>(std::string(control.Name).c_str())) design_.emplace_back(w, w->geometry());
        return;
    }
    for (const auto& [w, place] : design_) w->setGeometry(place);
}

TAppliedStyle TStyleApplier::Apply(const TStyleData& style) {
    TAppliedStyle result;
    result.MainClientWidth = style.Sizes.MainClientWidth;
    LoadImages(style);
    AssignImages();
    if (window_ && result.MainClientWidth > 0) window_->resize(result.MainClientWidth, window_->height());
    const int width = window_ ? window_->width() : result.MainClientWidth;
    // Each style moves controls from their design places, not from where the
    // last style left them.
    RestoreDesign();
    if (style.HasConfig) ApplyConfig(style.Config, result);
    result.Shape =
        ShapeRegion(width, style.HasConfig ? style.Config.DefHoles : std::vector<std::vector<TStylePoint>>{});
    if (window_ && window_->isWindow()) window_->setMask(result.Shape);
    CutBackgrounds();
    return result;
}

}  // namespace tx
