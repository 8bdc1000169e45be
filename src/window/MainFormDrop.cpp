// Files dropped on the main window and "&Collect Samples...": the window's
// side of the drop plan and of the sample collection.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollArea>

#include "desktop/ChannelDrop.h"
#include "desktop/CollectSamples.h"
#include "desktop/LoopWorkflow.h"
#include "loopfile/LoopFile.h"
#include "model/Loop.h"
#include "window/MainForm.h"

namespace tx {

void TTrovamixMainForm::Inform(const QString& text) {
    if (ShowInformation)
        ShowInformation(text);
    else
        QMessageBox::information(this, QStringLiteral("Trovamix"), text);
}

void TTrovamixMainForm::DropFiles(const std::vector<std::string>& paths, const QPoint& pos) {
    if (paths.empty()) return;
    const QPoint inArea = gridsBox_->viewport()->mapFrom(this, pos);
    if (!gridsBox_->viewport()->rect().contains(inArea)) {
        // Anywhere else only a first loop file counts.
        if (workflow_ && IsLoopFileName(paths.front())) workflow_->DropFiles({paths.front()});
        return;
    }
    const QPoint at = backWP_->mapFrom(this, pos);
    std::vector<TDropRow> rows;
    for (int i = 0; i < RowCount(); ++i) {
        const QRect name = rows_[size_t(i)]->SetButton->geometry().translated(rows_[size_t(i)]->pos());
        rows.push_back({name.left(), name.top(), name.right() + 1, name.bottom() + 1, loop_.Channel(i).Minimized});
    }
    const TChannelDropPlan plan = PlanChannelDrop(paths, at.x(), at.y(), rows, MaxLoopChannels);
    if (plan.OpenLoop) {
        if (workflow_) workflow_->DropFiles(plan.Files);  // asks to save a modified loop first
        return;
    }
    if (plan.ClickStepRow) {
        // As a click at the drop point: the channel is selected alone, and a step under it toggles.
        TTechno16* grid = rows_[size_t(plan.Target)]->TechnoGrid;
        const QPointF local = grid->mapFrom(this, pos);
        const QPointF global = grid->mapToGlobal(local);
        if (grid->rect().contains(local.toPoint())) {
            QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QApplication::sendEvent(grid, &press);
            QApplication::sendEvent(grid, &release);
        }
        SelectAlone(plan.Target);
    }
    if (!plan.Files.empty()) {
        ApplyChannelDrop(loop_, plan, [this](int channel, const std::string& file) {
            if (LoadChannelSample) LoadChannelSample(channel, file);
        });
        ChannelsChanged();
    }
    const std::string refused = RefusedDropText(plan, MaxLoopChannels);
    if (!refused.empty()) Inform(QString::fromStdString(refused));
}

void TTrovamixMainForm::CollectSamples() {
    const std::vector<std::string> names = DistinctSampleNames(loop_);
    if (names.empty()) return;
    const QString text = QString::fromStdString(CollectPromptText(int(names.size())));
    const std::string loopFile = loop_.LoopFileName;
    const QString start = QString::fromStdString(loopFile.substr(0, loopFile.find_last_of('/') + 1));
    std::string folder;
    if (AskCollectFolder) {
        folder = AskCollectFolder(text, start);
    } else {
        QFileDialog dialog(this, QStringLiteral("Collect samples"), start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setOption(QFileDialog::DontUseNativeDialog);  // the status text needs Qt's own dialog
        dialog.setLabelText(QFileDialog::LookIn, text);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            folder = dialog.selectedFiles().front().toStdString();
    }
    if (folder.empty()) return;
    TLocateContext where;
    where.ProgramFolder = ProgramFolder;
    where.LoopFileName = loopFile;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TCollectReport report = CollectSampleFiles(names, where, folder);
    QApplication::restoreOverrideCursor();
    Inform(QString::fromStdString(report.Text()));
}

}  // namespace tx
