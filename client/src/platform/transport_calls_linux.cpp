#include "platform/transport_calls.h"

#include "platform/random.h"
#include "platform/trust_store.h"

#include <SDL.h>

namespace vobu {

TransportCalls systemTransportCalls() {
    TransportCalls calls;
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
    calls.waitForInput = waitForInput;
    calls.randomBytes = fillRandomBytes;
    calls.ticks = [] { return static_cast<uint32_t>(SDL_GetTicks()); };
    calls.readTrustBundle = readSystemTrustBundle;
    return calls;
}

}  // namespace vobu
