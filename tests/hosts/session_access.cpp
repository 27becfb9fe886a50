// Lets a test reach the session of the host it loaded into its own process.
#include "headless/host_session.h"

extern "C" __attribute__((visibility("default"))) headless::HostSession* testHostSession() {
    return &headless::session();
}
