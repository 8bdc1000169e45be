#pragma once
#include <QDialog>
#include <functional>
#include <memory>

#include "engine/Render.h"

class QFileDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tx {

// The render window ("WAV rendering"): starts the core's render thread and
// shows its progress, polled from the render's atomics by a timer, so the
// window never waits for the render or for the engine lock it holds. Closing
// is refused while rendering (it cancels instead). Window thread only.
class TWAVRenderForm : public QDialog {
    Q_OBJECT
public:
    explicit TWAVRenderForm(TEngine& engine, QWidget* parent = nullptr);
    ~TWAVRenderForm() override;

    // Creates the file (its extension names the format) and starts
    // rendering; false (the reason shown) when it cannot be created.
    bool StartRender(const QString& fileName);
    // The same for any request: a named format, or stems into a folder.
    bool StartRender(const TRenderRequest& request);
    bool Rendering() const;
    // The finished render's result; null while rendering or before a start.
    const TRenderResult* Result() const { return done_ ? result_ : nullptr; }
    int PollCount() const { return polls_; }

    // Shows a message; a message box unless replaced (tests record instead).
    std::function<void(const QString& text)> ShowMessage;

public slots:
    void reject() override;  // Escape and the close box: cancel first, close when done

signals:
    void renderFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void poll();

    TEngine& engine_;
    std::unique_ptr<TRenderThread> render_;
    QString fileName_;
    const TRenderResult* result_ = nullptr;
    bool done_ = false;
    int polls_ = 0;
    QProgressBar* RenderGauge = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* OkButton = nullptr;
    QLabel* PatLabel = nullptr;
    QLabel* TempoLabel = nullptr;
    QLabel* LengthLabel = nullptr;
    QTimer* pollTimer_ = nullptr;
};

// The save dialog of "Render WAV...": its title, a filter for each format
// this machine writes (the one of `suggested`'s extension chosen, and the
// default suffix following the chosen filter), the overwrite prompt, and the
// "stems" check box (object name "StemsBox", checked as `stems`); the name
// offered is `suggested`.
QFileDialog* MakeSaveWAVDialog(QWidget* parent, const QString& suggested, bool stems = false);
// What the dialog's answer renders: the file, or with stems the mix and a
// file per channel in a folder named after the file (its extension gone),
// in the format of the file's extension.
TRenderRequest RenderRequestFor(const QString& fileName, bool stems);
// `name` with its extension replaced by `ext` (".wav", ".mid"); "" stays "".
QString WithExtension(const QString& name, const QString& ext);

// "Render WAV...": asks for the file, renders it in the modal render window
// and, when the window closes, records the name in `lastRenderedWAV`. The
// dialog offers the format of the last rendered file, so the last format
// chosen is kept, and the stems box as it was last left in this session.
void RenderWAVMenu(QWidget* parent, TEngine& engine, const QString& loopFileName, QString& lastRenderedWAV);

}  // namespace tx
