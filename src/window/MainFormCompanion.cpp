// The companion sample editor's side of the main window: its hello, docking
// it at the window's left edge, and the sample files it sends.
#include <QFile>

#include "desktop/CompanionLink.h"
#include "model/Editing.h"
#include "model/Loop.h"
#include "window/MainForm.h"

namespace tx {

void TTrovamixMainForm::CompanionOpened() {
    ShowHintText(QStringLiteral("|Sonelo opened"));
    DockCompanion();
}

void TTrovamixMainForm::DockCompanion() {
    if (!SendCompanionDock || !CompanionDocking(Tools)) return;
    if (CompanionRunning && !CompanionRunning()) return;
    SendCompanionDock(x(), y());
}

void TTrovamixMainForm::CompanionFileReceived(const QString& path) {
    const std::string file = QFile::encodeName(path).toStdString();
    // A peer's word is not trusted: a name that is no sample file changes nothing.
    const std::string problem = CompanionFileProblem(file);
    if (!problem.empty()) {
        ShowHintText(QLatin1Char('|') + QFile::decodeName(QByteArray::fromStdString(problem)));
        return;
    }
    if (!LoadChannelSample) return;
    LoadChannelSample(FirstSelectedChannel(loop_), file);
    ChannelsChanged();
    ShowHintText(QLatin1Char('|') + QFile::decodeName(QByteArray::fromStdString(ReceivedHint(file))));
}

}  // namespace tx
