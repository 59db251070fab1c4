// The POSIX socket layer's calls that only the probe makes, apart so that
// the launcher links none of them.
#include <poll.h>

#include "net.h"

namespace net {

int wait_until_either_readable(socket_handle first, socket_handle second, long timeout_microseconds) {
    // poll skips a negative descriptor: an invalid second is not waited on.
    pollfd watched[] = {{first, POLLIN, 0}, {second, POLLIN, 0}};
    const int ready = poll(watched, 2, static_cast<int>((timeout_microseconds + 999) / 1000));
    if (ready <= 0) {
        return ready;
    }
    return (watched[0].revents != 0 ? 1 : 0) | (watched[1].revents != 0 ? 2 : 0);
}

// Windows' alone: nothing to identify.
error_code identify_adapters(std::span<const interface_address> /*rows*/, std::span<adapter_id> /*ids*/) { return 0; }

}  // namespace net
