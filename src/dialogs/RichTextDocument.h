#pragma once
#include <QString>

#include "desktop/RichText.h"

class QTextDocument;

namespace tx {

// Puts a rich-text document into a QTextDocument: one block per paragraph,
// the runs' bold, italic, underline, size, font and colour, and the PNG and
// JPEG pictures as image resources of the document. The automatic colour
// leaves the text in the palette's colour. Window thread only.
void FillTextDocument(QTextDocument& target, const TRichDocument& doc);

// The other way: a QTextDocument (as a rich-text edit holds it, pictures
// pasted in included) as a rich-text document, for the writer. Fonts and
// colours get tables of their own; a picture is kept as PNG unless it came
// in as JPEG bytes.
TRichDocument ReadTextDocument(const QTextDocument& source);

// Reads an RTF file into a QTextDocument; false (and the document left
// empty) when the file cannot be read.
bool LoadRtfFile(QTextDocument& target, const QString& path);

}  // namespace tx
