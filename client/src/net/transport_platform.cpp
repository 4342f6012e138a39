#include "net/transport_platform.h"

#include "platform/random.h"
#include "platform/trust_store.h"

#include <SDL.h>

namespace vobu {

TransportPlatform systemTransportPlatform() {
    TransportPlatform calls;
    calls.resolve = resolveIpv4;
    calls.openSocket = openTcpSocket;
    calls.startConnect = startConnect;
    calls.setNoDelay = setNoDelay;
    calls.checkConnect = checkConnectProgress;
    calls.pendingError = pendingSocketError;
    calls.send = sendOnSocket;
    calls.receive = receiveFromSocket;
    calls.shutdownSending = shutdownSending;
    calls.closeSocket = closeSocket;
    calls.randomBytes = fillRandomBytes;
    calls.ticks = [] { return static_cast<uint32_t>(SDL_GetTicks()); };
    calls.readTrustBundle = readSystemTrustBundle;
    return calls;
}

}  // namespace vobu
