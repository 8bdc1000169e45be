#include "engine/DspPlugin.h"

#include <dlfcn.h>

#include "model/WAVSample.h"

namespace tx {

bool TDspPlugin::Load(const std::string& programFolder) {
    Unload();
    const std::string path = programFolder + "Plugins/" + DspLibraryName;
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    using GetHeader = TDspHeader* (*)();
    auto entry = reinterpret_cast<GetHeader>(dlsym(lib, DspEntryName));
    TDspHeader* header = entry ? entry() : nullptr;
    if (!header) {
        dlclose(lib);
        return false;
    }
    TLockGuard g(&lock_);
    library_ = lib;
    header_ = header;
    return true;
}

void TDspPlugin::stopModule() {
    if (active_.load(std::memory_order_relaxed) && module_ && module_->Stop) module_->Stop(module_);
    active_.store(false, std::memory_order_release);
}

void TDspPlugin::Select(bool on, void* parentWindow) {
    TLockGuard g(&lock_);
    stopModule();
    module_ = nullptr;
    if (!header_ || !header_->GetModule) return;
    module_ = header_->GetModule(0);
    if (!on || !module_) {
        module_ = nullptr;
        return;
    }
    module_->ParentWindow = parentWindow;
    module_->Instance = library_;
    module_->SampleRate = WaveFormat::SamplesPerSec;
    module_->Channels = WaveFormat::Channels;
    module_->BlockFrames = DspChunkFrames;
    if (module_->Init && module_->Init(module_) == 0) {
        if (module_->Start) module_->Start(module_);
        active_.store(true, std::memory_order_release);
    }
}

void TDspPlugin::Unload() {
    TLockGuard g(&lock_);
    stopModule();
    module_ = nullptr;
    header_ = nullptr;
    if (library_) dlclose(library_);
    library_ = nullptr;
}

void TDspPlugin::ProcessBlock(int16_t* frames, int32_t frameCount) {
    if (!Active() || !module_ || !module_->Process) return;
    for (int32_t done = 0; done < frameCount; done += DspChunkFrames) {
        const int32_t n = frameCount - done < DspChunkFrames ? frameCount - done : DspChunkFrames;
        module_->BlockFrames = n;
        module_->Process(module_, frames + size_t(done) * 2);
    }
}

}  // namespace tx
