#pragma once
#include <memory>

#include "engine/Transport.h"

namespace tx {

// The JACK server's transport, read through a client of its own with no
// ports ("Trovamix transport"). It never starts a server.
std::unique_ptr<TTransportPort> MakeJackTransportPort();

}  // namespace tx
