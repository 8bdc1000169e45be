#include "dialogs/WAVRenderForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>


namespace tx {

namespace {
constexpr int PollMs = 40;  // progress refresh; fast enough to look smooth, cheap when idle
QString fromUtf8(const std::string& s) { return QString::fromStdString(s); }

// The dialog's filter text of a format: "FLAC file (*.flac)".
QString formatFilter(const TRenderFormatInfo& f) {
    QString kind;
    switch (f.Format) {
        case TRenderFormat::Wav:
            kind = QStringLiteral("wave");
            break;
        case TRenderFormat::Flac:
            kind = QStringLiteral("FLAC");
            break;
        case TRenderFormat::Vorbis:
            kind = QStringLiteral("Ogg Vorbis");
            break;
        case TRenderFormat::Opus:
            kind = QStringLiteral("Opus");
            break;
        case TRenderFormat::Mp3:
            kind = QStringLiteral("MP3");
            break;
    }
    return kind + QStringLiteral(" file (*") + QLatin1String(f.Extension) + QLatin1Char(')');
}

bool stemsLastChosen = false;  // the stems box as the user last left it, for this session
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
    return StartRender(TRenderRequest{fileName.toStdString(), {}, {}});
}

bool TWAVRenderForm::StartRender(const TRenderRequest& request) {
    if (Rendering()) return false;
    done_ = false;
    result_ = nullptr;
    render_ = std::make_unique<TRenderThread>(engine_);
    fileName_ = fromUtf8(request.StemsFolder.empty() ? request.Output : request.StemsFolder);
    CancelButton->show();
    OkButton->hide();
    if (!render_->StartRender(request)) {
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

QFileDialog* MakeSaveWAVDialog(QWidget* parent, const QString& suggested, bool stems) {
    auto* d = new QFileDialog(parent, QStringLiteral("Render loop to WAV file"));
    d->setObjectName(QStringLiteral("SaveWAVDialog"));
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog: the stems box goes into its layout.
    d->setOption(QFileDialog::DontUseNativeDialog, true);
    QStringList filters;
    std::vector<const TRenderFormatInfo*> formats;
    for (const TRenderFormatInfo& f : RenderFormats()) {
        if (!RenderFormatWritable(f.Format)) continue;
        filters << formatFilter(f);
        formats.push_back(&f);
    }
    d->setNameFilters(filters);
    const std::optional<TRenderFormat> offered = RenderFormatOfFile(suggested.toStdString());
    size_t chosen = 0;
    for (size_t i = 0; i < formats.size(); ++i)
        if (offered && formats[i]->Format == *offered) chosen = i;
    d->selectNameFilter(filters[int(chosen)]);
    d->setDefaultSuffix(QString::fromLatin1(formats[chosen]->Extension + 1));
    QObject::connect(d, &QFileDialog::filterSelected, d, [d, filters, formats](const QString& filter) {
        const int i = int(filters.indexOf(filter));
        if (i >= 0) d->setDefaultSuffix(QString::fromLatin1(formats[size_t(i)]->Extension + 1));
    });
    d->setOption(QFileDialog::DontConfirmOverwrite, false);  // writing over a file asks first
    auto* box = new QCheckBox(
        QStringLiteral("&Stems: the mix and a file for each channel, in a folder named after the file"), d);
    box->setObjectName(QStringLiteral("StemsBox"));
    box->setChecked(stems);
    if (auto* grid = qobject_cast<QGridLayout*>(d->layout())) grid->addWidget(box, grid->rowCount(), 0, 1, -1);
    if (!suggested.isEmpty()) d->selectFile(suggested);
    return d;
}

TRenderRequest RenderRequestFor(const QString& fileName, bool stems) {
    TRenderRequest r;
    if (!stems) {
        r.Output = fileName.toStdString();
        return r;
    }
    r.StemsFolder = WithExtension(fileName, QString()).toStdString();
    r.Format = RenderFormatOfFile(fileName.toStdString()).value_or(TRenderFormat::Wav);
    return r;
}

void RenderWAVMenu(QWidget* parent, TEngine& engine, const QString& loopFileName, QString& lastRenderedWAV) {
    // The last rendered file's format is offered again.
    const std::optional<TRenderFormat> last = RenderFormatOfFile(lastRenderedWAV.toStdString());
    const QString ext = QLatin1String(RenderFormatInfo(last.value_or(TRenderFormat::Wav)).Extension);
    std::unique_ptr<QFileDialog> dialog(MakeSaveWAVDialog(parent, WithExtension(loopFileName, ext), stemsLastChosen));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    const QString name = dialog->selectedFiles().front();
    stemsLastChosen = dialog->findChild<QCheckBox*>(QStringLiteral("StemsBox"))->isChecked();
    const TRenderRequest request = RenderRequestFor(name, stemsLastChosen);
    TWAVRenderForm form(engine, parent);
    if (!request.StemsFolder.empty() && !QDir().mkpath(QString::fromStdString(request.StemsFolder))) {
        if (form.ShowMessage)
            form.ShowMessage(QString::fromStdString(request.StemsFolder) + QStringLiteral(": cannot be made a folder"));
        return;
    }
    if (!form.StartRender(request)) return;  // nothing was written: keep the last file that was
    form.exec();
    lastRenderedWAV = name;
}

}  // namespace tx
