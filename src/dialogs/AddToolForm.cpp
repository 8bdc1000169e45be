#include "dialogs/AddToolForm.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace tx {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The list reports an internal drag as a move of one slot instead of moving its items itself.
class TToolList : public QListWidget {
public:
    std::function<void(int, int)> Moved;
    using QListWidget::QListWidget;

protected:
    void dropEvent(QDropEvent* event) override {
        const int from = currentRow();
        QListWidgetItem* over = itemAt(event->position().toPoint());
        const int to = over ? row(over) : count() - 1;
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        if (Moved && from >= 0) Moved(from, to);
    }
};

}  // namespace

bool LaunchToolProgram(const TToolSlot& slot, const std::string& samplesFolder, const std::string& lastRenderedWAV) {
    if (slot.FileName.empty()) return false;
    QStringList args;
    for (const std::string& a : ToolArguments(slot, samplesFolder, lastRenderedWAV)) args << q(a);
    return QProcess::startDetached(q(slot.FileName), args);
}

TAddToolForm::TAddToolForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AddToolForm"));
    setWindowTitle(QStringLiteral("Tools"));
    setModal(true);

    auto* list = new TToolList(this);
    list->Moved = [this](int from, int to) { MoveSlot(from, to); };
    ToolsBox = list;
    ToolsBox->setObjectName(QStringLiteral("ToolsBox"));
    ToolsBox->setAccessibleName(QStringLiteral("Tools"));
    ToolsBox->setDragDropMode(QAbstractItemView::InternalMove);
    ToolsBox->setMinimumWidth(180);
    TitleEdit = new QLineEdit(this);
    TitleEdit->setObjectName(QStringLiteral("TitleEdit"));
    TitleEdit->setAccessibleName(QStringLiteral("Name"));
    FileEdit = new QLineEdit(this);
    FileEdit->setObjectName(QStringLiteral("FileEdit"));
    FileEdit->setAccessibleName(QStringLiteral("File location"));
    FileEdit->setMinimumWidth(240);
    BrowseButton = new QPushButton(QStringLiteral("&Browse..."), this);
    BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
    BrowseButton->setAccessibleName(QStringLiteral("Browse for tool"));
    auto box = [this](const char* name, const char* caption) {
        auto* b = new QCheckBox(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    PathBox = box("PathBox", "Launch with the samples path");
    WAVBox = box("WAVBox", "Launch with the last rendered WAV");
    StartupBox = box("StartupBox", "Launch at startup");
    LinkBox = box("LinkBox", "Link to Trovamix");
    ToolIcon = new QLabel(this);
    ToolIcon->setObjectName(QStringLiteral("ToolIcon"));
    ToolIcon->setFixedSize(36, 36);
    ToolIcon->setAccessibleName(QStringLiteral("Program icon"));
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setDefault(true);

    auto* form = new QFormLayout;
    auto* nameLabel = new QLabel(QStringLiteral("&Name"), this);
    nameLabel->setBuddy(TitleEdit);
    auto* fileLabel = new QLabel(QStringLiteral("&File location"), this);
    fileLabel->setBuddy(FileEdit);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(FileEdit, 1);
    fileRow->addWidget(BrowseButton);
    form->addRow(nameLabel, TitleEdit);
    form->addRow(fileLabel, fileRow);
    auto* right = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addWidget(ToolIcon, 0, Qt::AlignTop);
    right->addLayout(top);
    for (QCheckBox* b : {PathBox, WAVBox, StartupBox, LinkBox}) right->addWidget(b);
    right->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    right->addLayout(buttons);
    auto* h = new QHBoxLayout(this);
    h->addWidget(ToolsBox);
    h->addLayout(right, 1);
    setTabOrder(ToolsBox, TitleEdit);
    setTabOrder(TitleEdit, FileEdit);
    setTabOrder(FileEdit, BrowseButton);
    setTabOrder(BrowseButton, PathBox);
    setTabOrder(PathBox, WAVBox);
    setTabOrder(WAVBox, StartupBox);
    setTabOrder(StartupBox, LinkBox);
    setTabOrder(LinkBox, CloseButton);

    connect(ToolsBox, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!loading_ && row >= 0) SelectSlot(row);
    });
    connect(TitleEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        slots_[size_t(current_)].Name = text.toStdString();
        ToolsBox->item(current_)->setText(text);
        LinkBox->setVisible(IsCompanionName(slots_[size_t(current_)].Name));
    });
    connect(FileEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        slots_[size_t(current_)].FileName = text.toStdString();
        load();
    });
    connect(BrowseButton, &QPushButton::clicked, this, &TAddToolForm::Browse);
    const std::pair<QCheckBox*, int32_t> flags[] = {{PathBox, ToolWithSamplesPath},
                                                    {WAVBox, ToolWithLastRenderedWAV},
                                                    {StartupBox, ToolAtStartup},
                                                    {LinkBox, ToolLinked}};
    for (auto [b, flag] : flags)
        connect(b, &QCheckBox::toggled, this, [this, flag = flag](bool on) { setFlag(flag, on); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    SetSlots({});
}

void TAddToolForm::fillList() {
    loading_ = true;
    ToolsBox->clear();
    for (const TToolSlot& s : slots_) {
        auto* item = new QListWidgetItem(q(s.Name), ToolsBox);
        item->setFlags(item->flags() | Qt::ItemIsDragEnabled);
    }
    loading_ = false;
}

void TAddToolForm::SetSlots(const TToolSlots& tools) {
    slots_ = tools;
    fillList();
    SelectSlot(ToolSlotToEdit(slots_));
}

void TAddToolForm::SelectSlot(int slot) {
    if (slot < 0 || slot >= int(slots_.size())) return;
    current_ = slot;
    loading_ = true;
    ToolsBox->setCurrentRow(slot);
    loading_ = false;
    load();
}

void TAddToolForm::MoveSlot(int from, int to) {
    MoveToolSlot(slots_, from, to);
    fillList();
    SelectSlot(std::clamp(to, 0, int(slots_.size()) - 1));
}

void TAddToolForm::load() {
    const TToolSlot& s = slots_[size_t(current_)];
    loading_ = true;
    if (TitleEdit->text() != q(s.Name)) TitleEdit->setText(q(s.Name));
    if (FileEdit->text() != q(s.FileName)) FileEdit->setText(q(s.FileName));
    PathBox->setChecked(s.Params & ToolWithSamplesPath);
    WAVBox->setChecked(s.Params & ToolWithLastRenderedWAV);
    StartupBox->setChecked(s.Params & ToolAtStartup);
    LinkBox->setChecked(s.Params & ToolLinked);
    LinkBox->setVisible(IsCompanionName(s.Name));
    loading_ = false;
    const QFileInfo program(q(s.FileName));
    ToolIcon->clear();
    if (!s.FileName.empty() && program.exists()) ToolIcon->setPixmap(QFileIconProvider().icon(program).pixmap(32, 32));
}

void TAddToolForm::setFlag(int32_t flag, bool on) {
    if (loading_) return;
    int32_t& p = slots_[size_t(current_)].Params;
    p = on ? (p | flag) : (p & ~flag);
}

void TAddToolForm::Browse() {
    TToolSlot& s = slots_[size_t(current_)];
    const QString start = q(s.FileName);
    const QString chosen = AskProgram ? AskProgram(start)
                                      : QFileDialog::getOpenFileName(this, QStringLiteral("Browse for tool..."), start,
                                                                     QStringLiteral("Program file (*)"));
    if (chosen.isEmpty()) return;
    s.FileName = chosen.toStdString();
    if (s.Name.empty()) s.Name = ToolNameForProgram(s.FileName, EntryFolders);
    if (IsCompanionName(s.Name))
        s.Params |= ToolLinked;
    else
        s.Params &= ~ToolLinked;
    ToolsBox->item(current_)->setText(q(s.Name));
    load();
}

void TAddToolForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (HelpRequested) HelpRequested(QStringLiteral("tools"));
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tx
