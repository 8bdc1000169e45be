// The core header first: it names a parameter "emit", which Qt defines as a macro.
#include "midi/MidiFile.h"
// clang-format off
#include "dialogs/MidiExport.h"
// clang-format on

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <memory>

#include "dialogs/SaveDialog.h"
#include "dialogs/WAVRenderForm.h"

namespace tx {

QFileDialog* MakeMidiExportDialog(QWidget* parent, const QString& loopFileName) {
    QFileDialog* d = MakeSaveDialog(parent, QStringLiteral("Export to MIDI file"), QStringLiteral("SaveMIDIDialog"),
                                    QStringLiteral("MIDI file (*.mid)"), QStringLiteral("mid"));
    const QString name = WithExtension(loopFileName, QStringLiteral(".mid"));
    if (!name.isEmpty()) d->selectFile(name);
    return d;
}

QString ExportMidiFile(const QString& fileName, TLoop& loop, const TSettings& settings) {
    const std::string why = WriteMidiFile(fileName.toStdString(), BuildMidiFile(loop, settings, true));
    return why.empty() ? QString() : fileName + QStringLiteral(": ") + QString::fromStdString(why);
}

void ExportMidiMenu(QWidget* parent, TLoop& loop, const TSettings& settings) {
    std::unique_ptr<QFileDialog> dialog(MakeMidiExportDialog(parent, QString::fromStdString(loop.LoopFileName)));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString error = ExportMidiFile(dialog->selectedFiles().front(), loop, settings);
    QApplication::restoreOverrideCursor();
    if (!error.isEmpty()) QMessageBox::critical(parent, QStringLiteral("Trovamix"), error);
}

std::vector<uint8_t> CopyMidiToClipboard(TLoop& loop, const TSettings& settings, bool song) {
    std::vector<uint8_t> image = BuildMidiFile(loop, settings, song);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MidiMimeType),
                  QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size())));
    QApplication::clipboard()->setMimeData(data);  // the clipboard owns it now
    return image;
}

}  // namespace tx
