#pragma once

#include <QFileDialog>
#include <QString>

namespace tx {

// A save dialog for one kind of file: `filter` ("wave file (*.wav)") and its
// `suffix`, added when the name has none; writing over a file asks first.
// The caller owns it.
inline QFileDialog* MakeSaveDialog(QWidget* parent, const QString& title, const QString& objectName,
                                   const QString& filter, const QString& suffix) {
    auto* d = new QFileDialog(parent, title);
    d->setObjectName(objectName);
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    d->setNameFilter(filter);
    d->setDefaultSuffix(suffix);
    d->setOption(QFileDialog::DontConfirmOverwrite, false);
    return d;
}

}  // namespace tx
