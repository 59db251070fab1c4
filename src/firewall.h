// Windows Defender Firewall's settings that decide whether a server's
// answer to the PC's broadcast gets in: for each active profile, whether
// the firewall is on, whether its "Allow unicast response" is No, and
// whether it blocks all inbound traffic; and for each adapter, the
// category of its network, which decides the profile that applies there.
// Read through INetFwPolicy2 and INetworkListManager, as Microsoft
// documents each value; Linux reads none (nftables needs root).
#pragma once

#include <array>
#include <cstddef>
#include <span>

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

// The category Windows gives the network an adapter is connected to:
// Public, Private or Domain, each the name of its firewall profile.
struct category_reading {
    bool known = false;  // a network was found for the adapter
    profile kind = profile::public_network;
    net::error_code error = 0;  // the HRESULT of why it could not be read
};

struct state {
    bool present = false;                // the platform has this firewall to read
    net::error_code profiles_error = 0;  // which profiles are active could not be read
    std::array<profile_state, 3> active{};
    std::size_t active_count = 0;
    std::array<category_reading, net::max_interface_addresses> categories{};  // by adapters' row
};

// Reads the active profiles and their settings, and the category of the
// network of each of adapters (as identify_adapters() found them);
// present is false on POSIX.
state read(std::span<const net::adapter_id> adapters);

}  // namespace firewall
