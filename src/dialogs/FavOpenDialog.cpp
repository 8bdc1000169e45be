#include "dialogs/FavOpenDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <cmath>

#include "desktop/DesktopSettings.h"

namespace tx {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The folder of the icons, drawn on a 16-unit grid at any pixel size.
void DrawFolder(QPainter& p, bool missing) {
    const QColor tab = missing ? QColor(120, 124, 132) : QColor(176, 122, 42);
    const QColor top = missing ? QColor(168, 172, 180) : QColor(255, 196, 92);
    const QColor bottom = missing ? QColor(128, 132, 140) : QColor(216, 132, 30);
    p.setPen(Qt::NoPen);
    p.setBrush(tab);
    p.drawRoundedRect(QRectF(1, 3, 7, 4), 1, 1);
    QLinearGradient fill(0, 5, 0, 14);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setBrush(fill);
    if (missing) {
        // Only the outline is left of a folder that is gone.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(bottom, 1.2, Qt::DashLine));
    }
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 8.5), 1.5, 1.5);
}

void DrawStar(QPainter& p, QPointF centre, double outer, const QColor& colour) {
    QPolygonF star;
    for (int k = 0; k < 10; ++k) {
        const double a = (-90.0 + 36.0 * k) * 3.14159265358979 / 180.0;
        const double r = k % 2 ? outer * 0.45 : outer;
        star << QPointF(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
    }
    p.setPen(QPen(QColor(26, 28, 33), 0.8));
    p.setBrush(colour);
    p.drawPolygon(star);
}

using TPainting = void (*)(QPainter&);

QIcon Drawn(TPainting paint) {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        paint(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon AddIcon() {
    return Drawn([](QPainter& p) {
        DrawStar(p, {7, 7.5}, 6.5, QColor(255, 200, 70));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(26, 28, 33));
        p.drawEllipse(QPointF(12, 12), 3.6, 3.6);
        p.setPen(QPen(QColor(110, 220, 120), 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10.2, 12), QPointF(13.8, 12));
        p.drawLine(QPointF(12, 10.2), QPointF(12, 13.8));
    });
}

}  // namespace

QIcon TFavOpenDialog::FavoriteIcon() {
    static const QIcon icon = Drawn([](QPainter& p) {
        DrawFolder(p, false);
        DrawStar(p, {11.5, 11.5}, 4.4, QColor(255, 236, 120));  // the favourite overlay, bottom right
    });
    return icon;
}

QIcon TFavOpenDialog::MissingFolderIcon() {
    static const QIcon icon = Drawn([](QPainter& p) {
        DrawFolder(p, true);
        p.setPen(QPen(QColor(220, 60, 50), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 6.5), QPointF(11, 12.5));
        p.drawLine(QPointF(11, 6.5), QPointF(5, 12.5));
    });
    return icon;
}

TFavOpenDialog::TFavOpenDialog(QWidget* parent, int maxCount) : QFileDialog(parent), list_(maxCount) {
    setObjectName(QStringLiteral("OpenWAV"));
    setOption(QFileDialog::DontUseNativeDialog);  // makes Qt's own widgets, which take the extra row
    setWindowTitle(QStringLiteral("Open wave file(s)"));
    setFileMode(QFileDialog::ExistingFiles);
    setNameFilter(QStringLiteral("wave file (*.wav)"));

    FavLabel = new QLabel(this);
    FavLabel->setObjectName(QStringLiteral("FavLabel"));
    FavCombo = new QComboBox(this);
    FavCombo->setObjectName(QStringLiteral("FavCombo"));
    FavCombo->setIconSize(QSize(16, 16));
    FavCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FavCombo->setMinimumContentsLength(20);
    FavLabel->setBuddy(FavCombo);
    FavButton = new QPushButton(this);
    FavButton->setObjectName(QStringLiteral("FavButton"));
    FavButton->setIcon(AddIcon());
    FavButton->setIconSize(QSize(16, 16));
    SetLabelCaption(QStringLiteral("Favorites:"));
    SetButtonHint(QStringLiteral("Set as favorite"));
    SetComboHint(QStringLiteral("Favorite folders"));

    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(FavLabel, row, 0);
        grid->addWidget(FavCombo, row, 1);
        grid->addWidget(FavButton, row, 2);
    }
    connect(FavButton, &QPushButton::clicked, this, &TFavOpenDialog::AddCurrentFolder);
    connect(FavCombo, &QComboBox::activated, this, [this](int index) { ChooseFavorite(index); });
    connect(this, &QFileDialog::directoryEntered, this, [this] { folderChanged(); });
    // Every way to another folder (the file name box, the look-in list, back
    // and forward, setDirectory) moves the root of the dialog's own model;
    // directoryEntered alone misses some of them.
    if (auto* model = findChild<QFileSystemModel*>())
        connect(model, &QFileSystemModel::rootPathChanged, this, [this] { folderChanged(); });
    fillCombo();
}

void TFavOpenDialog::SetComboHint(const QString& hint) {
    FavCombo->setToolTip(hint);
    FavCombo->setAccessibleName(hint);
}

void TFavOpenDialog::SetButtonHint(const QString& hint) {
    FavButton->setToolTip(hint);
    FavButton->setAccessibleName(hint);
}

void TFavOpenDialog::SetLabelCaption(const QString& caption) { FavLabel->setText(caption); }

QString TFavOpenDialog::CurrentFolder() const {
    return q(TFavoriteList::Normalized(directory().absolutePath().toStdString()));
}

QString TFavOpenDialog::DisplayName(const QString& path) const {
    if (ShowFullPath && path.size() >= 4) return path;
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;  // the root has no name of its own
}

void TFavOpenDialog::fillCombo() {
    filling_ = true;
    FavCombo->clear();
    for (const std::string& p : list_.Items()) {
        const QString path = q(p);
        const bool there = QFileInfo(path).isDir();
        FavCombo->addItem(there ? FavoriteIcon() : MissingFolderIcon(), DisplayName(path), path);
        const int i = FavCombo->count() - 1;
        FavCombo->setItemData(i, there ? path : path + QStringLiteral(" (missing)"), Qt::ToolTipRole);
        FavCombo->setItemData(i, there ? path : path + QStringLiteral(" (missing)"), Qt::AccessibleTextRole);
    }
    filling_ = false;
    folderChanged();
}

void TFavOpenDialog::folderChanged() {
    const int i = list_.IndexOf(CurrentFolder().toStdString());
    const QSignalBlocker quiet(FavCombo);
    FavCombo->setCurrentIndex(i);
    FavButton->setEnabled(i < 0);
}

void TFavOpenDialog::changed() {
    fillCombo();
    if (Associated && Associated != this) Associated->SetFavorites(list_.Items(), false);
    emit favoritesChanged();
}

void TFavOpenDialog::AddCurrentFolder() {
    const QString folder = CurrentFolder();
    if (folder.isEmpty() || !QFileInfo::exists(folder)) return;
    list_.Add(folder.toStdString(), true);
    changed();
}

bool TFavOpenDialog::ChooseFavorite(int index) {
    if (filling_ || index < 0 || index >= list_.Count()) return false;
    const QString path = q(list_.Items()[size_t(index)]);
    if (!QFileInfo(path).isDir()) {
        folderChanged();  // the combo goes back to what is on show
        return false;
    }
    setDirectory(path);
    list_.MoveToFront(index);
    changed();
    return true;
}

void TFavOpenDialog::SetFavorites(const std::vector<std::string>& list, bool passOn) {
    list_.Set(list);
    fillCombo();
    if (passOn && Associated && Associated != this) Associated->SetFavorites(list_.Items(), false);
}

void TFavOpenDialog::LoadFavorites(const TDesktopSettings& settings) {
    if (settings.Favorites) SetFavorites(*settings.Favorites, true);
}

void TFavOpenDialog::StoreFavorites(TDesktopSettings& settings) const { settings.Favorites = list_.Items(); }

QStringList TFavOpenDialog::GetOpenFileNames(const QString& startFolder, const QStringList& filters, bool multiple,
                                             const std::function<void(const QString& file)>& preview) {
    setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!filters.isEmpty()) setNameFilters(filters);
    QString start = startFolder;
    if (SetInitDirFrom1st && list_.Count() > 0 && QFileInfo(q(list_.Items().front())).isDir())
        start = q(list_.Items().front());
    if (!start.isEmpty()) setDirectory(start);
    fillCombo();  // a favourite may have gone or come back since the last time
    QMetaObject::Connection hook;
    if (preview)
        hook = connect(this, &QFileDialog::currentChanged, this, [preview](const QString& path) {
            if (QFileInfo(path).isFile()) preview(path);
        });
    const bool ok = exec() == QDialog::Accepted;
    disconnect(hook);
    return ok ? selectedFiles() : QStringList();
}

void TFavOpenDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (HelpRequested) HelpRequested(QStringLiteral("favorites"));
        return;
    }
    QFileDialog::keyPressEvent(event);
}

}  // namespace tx
