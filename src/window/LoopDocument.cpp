#include "window/LoopDocument.h"

#include <QFileInfo>

#include "engine/Engine.h"
#include "engine/LoadLoop.h"
#include "loopfile/LoopFile.h"
#include "model/Loop.h"

namespace tx {

TWorkflowDocument::TLoadResult TLoopDocument::Load(const std::string& path) {
    TLoadResult result;
    TLoopReadResult read;
    if (engine_) {
        // The core's loading call reads into a new document and swaps it in
        // only when reading worked, so a bad file leaves the open loop alone.
        if (engine_->Playing) engine_->Stop(true);
        TLoadLoopOptions options;
        options.Locate = TLocateContext{programFolder_, path, {}};
        read = LoadLoopInto(path, loop_, *engine_, options);
    } else {
        // No engine (tests of the window alone): the same guarantee by a trial read.
        TLoop scratch;
        read = ReadLoop(path, scratch);
        if (read.Ok()) read = ReadLoop(path, loop_);
    }
    result.Ok = read.Ok();
    result.EndedEarly = read.EndedEarly;
    result.Detail = read.Reason;
    return result;
}

void TLoopDocument::ResetToNew() {
    if (engine_) {
        TLockGuard g(&engine_->EL);
        loop_.ResetToNew();
    } else {
        loop_.ResetToNew();
    }
}

std::string TLoopDocument::FileName() const { return loop_.LoopFileName; }
void TLoopDocument::SetFileName(const std::string& path) { loop_.LoopFileName = path; }
std::string TLoopDocument::Save(const std::string& path) { return WriteLoop(path, loop_); }
bool TLoopDocument::Modified() const { return loop_.Modified; }
void TLoopDocument::SetModified(bool on) { loop_.Modified = on; }
std::string TLoopDocument::Title() const { return loop_.Title; }
int TLoopDocument::SongLength() const { return loop_.SongLength; }
bool TLoopDocument::FileExists(const std::string& path) const {
    return QFileInfo::exists(QString::fromStdString(path));
}

}  // namespace tx
