#pragma once
// A loop loaded into an engine the way trovamix-cli loads it (same defaults,
// same sample search from the build folder), so windows can be compared with
// the tool byte for byte; and where screenshots go.
#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/LoadLoop.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"
#include "model/Settings.h"

namespace txtest {

inline const std::string DefaultLoopPath = std::string(TROVAMIX_BINARY_DIR) + "/Default/Default.txp";

struct TLoadedLoop {
    tx::TSettings Settings;
    tx::TEngineLock Lock;
    tx::TLoop Loop;
    std::unique_ptr<tx::TEngine> Engine;

    // Returns the reader's complaint, "" when the loop loaded.
    std::string Load(const std::string& file, bool songMode) {
        Lock.SetBufferLength(Settings.BufferLength);
        Loop.SetEngineLock(&Lock);
        Engine = std::make_unique<tx::TEngine>(Loop, Lock, Settings);
        tx::TLoadLoopOptions options;
        options.Locate.ProgramFolder = std::string(TROVAMIX_BINARY_DIR) + "/";
        options.SongMode = songMode;
        const tx::TLoopReadResult read = tx::LoadLoopInto(file, Loop, *Engine, options);
        return read.Ok() ? std::string() : read.Reason;
    }
};

// Saves a window's picture into the build folder's "screenshots".
inline void SaveScreenshot(QWidget& w, const QString& name) {
    const QString dir = QStringLiteral(TROVAMIX_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(w.grab().save(dir + '/' + name + QStringLiteral(".png"))) << name.toStdString();
}

}  // namespace txtest
