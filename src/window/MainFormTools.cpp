// The Tools menu: "&Configure" and one entry per named tool slot.
#include <QAction>
#include <QMenu>

#include "dialogs/AddToolForm.h"
#include "window/MainForm.h"

namespace tx {

void TTrovamixMainForm::RebuildToolsMenu() {
    QMenu* menu = nullptr;
    for (QMenu* m : menus_)
        if (m->objectName() == QLatin1String("Tools1")) menu = m;
    if (!menu) return;
    QAction* separator = menu->findChild<QAction*>(QStringLiteral("ToolsSepMenu"));
    if (!separator) {
        separator = menu->addSeparator();
        separator->setObjectName(QStringLiteral("ToolsSepMenu"));
    }
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = items.indexOf(separator) + 1; i < items.size(); ++i) {
        menu->removeAction(items[i]);
        items[i]->deleteLater();
    }
    const std::vector<TToolMenuEntry> entries = ToolMenuEntries(Tools);
    for (const TToolMenuEntry& e : entries) {
        QAction* a = menu->addAction(QString::fromStdString(e.Caption));
        a->setObjectName(QStringLiteral("Tool%1").arg(e.Slot));
        if (!e.Shortcut.empty()) a->setShortcut(QKeySequence(QString::fromStdString(e.Shortcut)));
        const int slot = e.Slot;
        connect(a, &QAction::triggered, this, [this, slot] { LaunchTool(slot); });
    }
    separator->setVisible(!entries.empty());
}

void TTrovamixMainForm::LaunchTool(int slot) {
    if (slot < 0 || slot >= int(Tools.size())) return;
    const TToolSlot& tool = Tools[size_t(slot)];
    // The companion's entry toggles it: a running one is asked to close.
    if (IsCompanionName(tool.Name) && CompanionRunning && CompanionRunning()) {
        if (CloseCompanion) CloseCompanion();
        return;
    }
    LaunchToolProgram(tool, ProgramFolder.empty() ? std::string() : ProgramFolder + "Samples/",
                      lastRenderedWAV_.toStdString());
}

void TTrovamixMainForm::LaunchStartupTools() {
    for (int i = 0; i < int(Tools.size()); ++i)
        if (Tools[size_t(i)].Params & ToolAtStartup) LaunchTool(i);
}

void TTrovamixMainForm::ConfigureTools() {
    TAddToolForm window(this);
    window.SetSlots(Tools);
    window.HelpRequested = [this](const QString& topic) { ShowHelp(topic); };
    if (RunToolsWindow)
        RunToolsWindow(window);
    else
        window.exec();
    Tools = window.Slots();
    RebuildToolsMenu();
}

}  // namespace tx
