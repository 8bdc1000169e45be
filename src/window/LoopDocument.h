#pragma once

#include <QString>
#include <memory>
#include <string>

#include "desktop/LoopWorkflow.h"

class QWidget;

namespace tx {

class TLoop;
class TEngine;

// The open loop for the file workflow: reading through the core's loop
// reader, writing through the loop writer. Window thread only.
class TLoopDocument : public TWorkflowDocument {
public:
    // `programFolder` (with its trailing '/') is where samples are looked for after the loop's folder.
    TLoopDocument(TLoop& loop, TEngine* engine, std::string programFolder = {})
        : loop_(loop), engine_(engine), programFolder_(std::move(programFolder)) {}
    TLoadResult Load(const std::string& path) override;
    void ResetToNew() override;
    std::string Save(const std::string& path) override;
    bool Modified() const override;
    void SetModified(bool on) override;
    std::string Title() const override;
    int SongLength() const override;
    bool FileExists(const std::string& path) const override;
    std::string FileName() const override;
    void SetFileName(const std::string& path) override;

private:
    TLoop& loop_;
    TEngine* engine_;
    std::string programFolder_;
};

}  // namespace tx
