#include "firewall.h"

namespace firewall {

// Reading nftables or iptables needs root: nothing is read.
state read(std::span<const net::adapter_id> /*adapters*/) { return {}; }

}  // namespace firewall
