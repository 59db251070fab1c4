// Windows Defender Firewall's settings that decide whether a server's
// answer to the PC's broadcast gets in: for each active profile, whether
// the firewall is on, whether its "Allow unicast response" is No, and
// whether it blocks all inbound traffic. Read through INetFwPolicy2, as
// Microsoft documents each value; Linux reads none (nftables needs root).
#pragma once

#include <array>
#include <cstddef>

#include "net.h"

namespace firewall {

// The three profiles, by NET_FW_PROFILE_TYPE2's bits.
enum class profile : unsigned char { domain = 1, private_network = 2, public_network = 4 };

// One value as read, or the HRESULT of why it could not be.
struct reading {
    bool value = false;
    net::error_code error = 0;
};

struct profile_state {
    profile kind = profile::public_network;
    reading enabled;
    reading unicast_answers_prohibited;
    reading inbound_blocked;
};

struct state {
    bool present = false;                // the platform has this firewall to read
    net::error_code profiles_error = 0;  // which profiles are active could not be read
    std::array<profile_state, 3> active{};
    std::size_t active_count = 0;
};

// Reads the active profiles and their settings; present is false on POSIX.
state read();

}  // namespace firewall
