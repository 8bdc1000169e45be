#include "engine/devices/JackTransport.h"

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>

namespace tx {

namespace {

constexpr const char* ClientName = "Trovamix transport";

class TJackTransportPort : public TTransportPort {
public:
    ~TJackTransportPort() override { Close(); }

    std::string Open() override {
        Close();
        jack_status_t status{};
        client_ = jack_client_open(ClientName, JackNoStartServer, &status);
        if (!client_) return "The JACK server does not answer, so its transport cannot be followed.";
        serverGone_ = false;
        jack_on_shutdown(client_, &TJackTransportPort::ServerGone, this);
        if (jack_activate(client_) != 0) {
            Close();
            return "The JACK transport client could not be activated.";
        }
        return {};
    }

    void Close() override {
        if (!client_) return;
        // A server that went away has taken the client with it.
        if (!serverGone_) {
            jack_deactivate(client_);
            jack_client_close(client_);
        }
        client_ = nullptr;
    }

    TTransportState Query() override {
        TTransportState s;
        if (!client_ || serverGone_) return s;  // no server: nothing rolls
        jack_position_t pos{};
        s.Rolling = jack_transport_query(client_, &pos) == JackTransportRolling;
        if ((pos.valid & JackPositionBBT) && pos.beats_per_minute > 0) s.Bpm = pos.beats_per_minute;
        return s;
    }

private:
    static void ServerGone(void* self) { static_cast<TJackTransportPort*>(self)->serverGone_ = true; }

    jack_client_t* client_ = nullptr;
    std::atomic<bool> serverGone_{false};
};

}  // namespace

std::unique_ptr<TTransportPort> MakeJackTransportPort() { return std::make_unique<TJackTransportPort>(); }

}  // namespace tx
