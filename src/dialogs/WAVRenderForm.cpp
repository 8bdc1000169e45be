#include "dialogs/WAVRenderForm.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/SaveDialog.h"

namespace tx {

namespace {
constexpr int PollMs = 40;  // progress refresh; fast enough to look smooth, cheap when idle
QString fromUtf8(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TWAVRenderForm::TWAVRenderForm(TEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setObjectName(QStringLiteral("WAVRenderForm"));
    setWindowTitle(QStringLiteral("WAV rendering"));
    setModal(true);
    ShowMessage = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Trovamix"), text); };

    PatLabel = new QLabel(QStringLiteral("Pattern: "), this);
    PatLabel->setObjectName(QStringLiteral("PatLabel"));
    TempoLabel = new QLabel(QStringLiteral("Tempo: "), this);
    TempoLabel->setObjectName(QStringLiteral("TempoLabel"));
    LengthLabel = new QLabel(QStringLiteral("Length: "), this);
    LengthLabel->setObjectName(QStringLiteral("LengthLabel"));
    RenderGauge = new QProgressBar(this);
    RenderGauge->setObjectName(QStringLiteral("RenderGauge"));
    RenderGauge->setFormat(QStringLiteral("%p%"));
    RenderGauge->setAccessibleName(QStringLiteral("Rendering progress"));
    RenderGauge->setMinimumWidth(260);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->hide();

    auto* v = new QVBoxLayout(this);
    v->addWidget(PatLabel);
    v->addWidget(TempoLabel);
    v->addWidget(LengthLabel);
    v->addWidget(RenderGauge);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CancelButton);
    buttons->addWidget(OkButton);
    v->addLayout(buttons);

    connect(CancelButton, &QPushButton::clicked, this, [this] {
        if (render_) render_->Cancel();
    });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(PollMs);
    connect(pollTimer_, &QTimer::timeout, this, &TWAVRenderForm::poll);
}

TWAVRenderForm::~TWAVRenderForm() = default;  // the render thread's destructor cancels and joins

bool TWAVRenderForm::StartRender(const QString& fileName) {
    if (Rendering()) return false;
    done_ = false;
    result_ = nullptr;
    render_ = std::make_unique<TRenderThread>(engine_);
    fileName_ = fileName;
    CancelButton->show();
    OkButton->hide();
    if (!render_->StartRender(fileName.toStdString())) {
        const std::string why = render_->Wait().Error;
        render_.reset();
        if (ShowMessage) ShowMessage(fromUtf8(why));
        return false;
    }
    setWindowTitle(fromUtf8(render_->Caption()));
    TempoLabel->setText(fromUtf8(render_->TempoLabel()));
    LengthLabel->setText(fromUtf8(render_->LengthLabel()));
    PatLabel->setText(fromUtf8(render_->Progress().PatLabel()));
    RenderGauge->setRange(0, std::max(render_->Plan().GaugeMax, 1));
    RenderGauge->setValue(0);
    pollTimer_->start();
    return true;
}

bool TWAVRenderForm::Rendering() const { return render_ && !done_; }

void TWAVRenderForm::poll() {
    if (!render_) return;
    ++polls_;
    const TRenderProgress& p = render_->Progress();
    const bool finished = render_->Finished();  // read first: then the figures below are final
    RenderGauge->setValue(std::min(p.GaugePosition.load(), RenderGauge->maximum()));
    PatLabel->setText(fromUtf8(p.PatLabel()));
    if (!finished) return;

    pollTimer_->stop();
    result_ = &render_->Wait();  // the thread has published its result; this only joins
    done_ = true;
    if (result_->Ok && !result_->Cancelled) RenderGauge->setValue(RenderGauge->maximum());
    CancelButton->hide();
    OkButton->show();
    OkButton->setFocus();
    setWindowTitle(fromUtf8(RenderDoneCaption(fileName_.toStdString())));
    if (!result_->Ok && ShowMessage) ShowMessage(fromUtf8(result_->Error));
    emit renderFinished(result_->Ok);
}

void TWAVRenderForm::reject() {
    if (Rendering()) {
        render_->Cancel();
        return;
    }
    QDialog::reject();
}

void TWAVRenderForm::closeEvent(QCloseEvent* e) {
    if (Rendering()) {
        render_->Cancel();
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

QString WithExtension(const QString& name, const QString& ext) {
    if (name.isEmpty()) return name;
    const QFileInfo f(name);
    const QString dir =
        f.path() == QLatin1String(".") && !name.startsWith(QLatin1String("./")) ? QString() : f.path() + '/';
    return dir + f.completeBaseName() + ext;
}

QFileDialog* MakeSaveWAVDialog(QWidget* parent, const QString& suggested) {
    QFileDialog* d = MakeSaveDialog(parent, QStringLiteral("Render loop to WAV file"), QStringLiteral("SaveWAVDialog"),
                                    QStringLiteral("wave file (*.wav)"), QStringLiteral("wav"));
    if (!suggested.isEmpty()) d->selectFile(suggested);
    return d;
}

void RenderWAVMenu(QWidget* parent, TEngine& engine, const QString& loopFileName, QString& lastRenderedWAV) {
    std::unique_ptr<QFileDialog> dialog(MakeSaveWAVDialog(parent, WithExtension(loopFileName, QStringLiteral(".wav"))));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    const QString name = dialog->selectedFiles().front();
    TWAVRenderForm form(engine, parent);
    if (!form.StartRender(name)) return;  // nothing was written: keep the last file that was
    form.exec();
    lastRenderedWAV = name;
}

}  // namespace tx
