#pragma once
#include <QFileDialog>
#include <QIcon>
#include <functional>
#include <string>
#include <vector>

#include "desktop/Favorites.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace tx {

struct TDesktopSettings;

// An open-file dialog with favourite folders: Qt's own file dialog (never
// the desktop's, which could not hold the extra controls) with a combo box
// of the favourites under it, its label and an add button. Choosing a
// favourite goes to that folder and moves it first; the add button is
// enabled only while the dialog shows a folder that is not a favourite yet.
// Window thread only.
class TFavOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TFavOpenDialog(QWidget* parent = nullptr, int maxCount = 10);

    // What the sample open dialog of the channel settings window asks:
    // starts in `startFolder`, offers `filters` ("wave file (*.wav)"), lets
    // several files be chosen when `multiple`, calls `preview` with each
    // file the user moves to (for listening before choosing; may be empty).
    // Returns the chosen files, none when cancelled.
    QStringList GetOpenFileNames(const QString& startFolder, const QStringList& filters, bool multiple,
                                 const std::function<void(const QString& file)>& preview = {});

    int MaxCount() const { return list_.MaxCount(); }
    const TFavoriteList& Favorites() const { return list_; }
    // Replaces the list; with `passOn`, `Associated` gets the same list.
    void SetFavorites(const std::vector<std::string>& list, bool passOn = false);
    // "TX FAVORITES": a stored list replaces this one, a missing key leaves it.
    void LoadFavorites(const TDesktopSettings& settings);
    void StoreFavorites(TDesktopSettings& settings) const;

    bool ShowFullPath = false;  // the combo shows full paths instead of folder names
    // Another dialog that shares the list: every change made here reaches it.
    TFavOpenDialog* Associated = nullptr;
    bool SetInitDirFrom1st = false;  // start in the first favourite instead of the given folder
    void SetComboHint(const QString& hint);
    void SetButtonHint(const QString& hint);
    void SetLabelCaption(const QString& caption);

    // The add button: the folder on show becomes the first favourite.
    void AddCurrentFolder();
    // A choice in the combo box: to that folder, which moves first. A
    // folder that is gone cannot be chosen (false).
    bool ChooseFavorite(int index);
    // The folder the dialog shows, without a trailing '/'.
    QString CurrentFolder() const;
    // The combo line of `path`: its folder name (or full path) and icon.
    QString DisplayName(const QString& path) const;

    // F1: this dialog's help topic.
    std::function<void(const QString& topic)> HelpRequested;

    QLabel* FavLabel = nullptr;
    QComboBox* FavCombo = nullptr;
    QPushButton* FavButton = nullptr;

    // The icons: a folder with the favourite star, and a missing folder.
    static QIcon FavoriteIcon();
    static QIcon MissingFolderIcon();

signals:
    void favoritesChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void folderChanged();
    void fillCombo();
    void changed();  // after a change by the user: the combo, the partner, the signal

    TFavoriteList list_;
    bool filling_ = false;
};

}  // namespace tx
