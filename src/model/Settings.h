#pragma once
#include <cstdint>
#include <string>

namespace tx {

enum class TRemainder : int32_t { Cut = 0, Leave = 1, Wrap = 2 };

// The settings the core reads, with the settings store's defaults. The desktop
// program loads them from its INI file; the command-line tool uses the defaults.
struct TSettings {
    bool Surround = false;
    int32_t BankSelectMethod = 0;  // 0 = controller 0, any other = controller 32
    TRemainder RenderingRemainder = TRemainder::Wrap;
    int32_t BufferLength = 4410;  // frames
    int32_t AheadLength = 4410;   // frames
    bool UseWAVOnly = true;
    bool SyncToInput = false;
    bool AdjustChanName = true;  // "Auto set channel name"
    bool UsePlugin = false;
};

// Where the program's data lives: the folder of the program file, with a
// trailing '/'. Samples are under ProgramFolder + "Samples/".
struct TAppPaths {
    std::string ProgramFolder;
    std::string SamplesFolder() const { return ProgramFolder + "Samples/"; }
    std::string PluginsFolder() const { return ProgramFolder + "Plugins/"; }
    std::string DefaultLoop() const { return ProgramFolder + "Default/Default.txp"; }
    std::string UntitledLoop() const { return ProgramFolder + "Loops/untitled.txp"; }
    // The folder of the running executable (from /proc/self/exe).
    static TAppPaths ForExecutable();
};

}  // namespace tx
