#pragma once
#include <QString>
#include <cstdint>
#include <vector>

class QFileDialog;
class QWidget;

namespace tx {

class TLoop;
struct TSettings;

// The clipboard's MIME type for a Standard MIDI File.
inline constexpr const char* MidiMimeType = "audio/midi";

// The "Export MIDI..." save dialog: its title, filter and default suffix, with
// the overwrite prompt; the name offered is the loop's name as ".mid".
QFileDialog* MakeMidiExportDialog(QWidget* parent, const QString& loopFileName);

// Builds the song's image and writes it; returns "" or "<file>: <reason>".
QString ExportMidiFile(const QString& fileName, TLoop& loop, const TSettings& settings);

// "Export MIDI...": asks for the file, writes it with the hourglass cursor,
// and shows a failure in a message box.
void ExportMidiMenu(QWidget* parent, TLoop& loop, const TSettings& settings);

// "Export pattern to clipboard" (song false) and "Export loop to clipboard"
// (song true): the image goes on the clipboard as audio/midi. Returns the bytes put there.
std::vector<uint8_t> CopyMidiToClipboard(TLoop& loop, const TSettings& settings, bool song);

}  // namespace tx
