// movendi-session: the kiosk's session as systemd's main process, for units that open a PAM
// session (whose other processes systemd no longer hears): movendi-session cage -s -- movendi ...
#include "platform/relayedsession.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: movendi-session COMMAND [ARGUMENT]...\n");
        return 64;
    }
    return Movendi::Platform::runRelayedSession(argv + 1);
}
