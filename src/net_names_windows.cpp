#include <winsock2.h>
#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <cstdlib>

#include "net.h"

namespace net {
namespace {

// The adapter's friendly name ("Wi-Fi", "vEthernet (WSL)") as printable
// ASCII: any other character becomes '?', and what does not fit is cut.
void copy_name(const wchar_t* from, char (&to)[interface_name_size]) {
    std::size_t length = 0;
    for (; from != nullptr && from[length] != L'\0' && length + 1 < sizeof to; ++length) {
        const wchar_t c = from[length];
        to[length] = c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : '?';
    }
    to[length] = '\0';
}

// The adapter that holds address, if any.
const IP_ADAPTER_ADDRESSES* adapter_of(const IP_ADAPTER_ADDRESSES* adapters, std::uint32_t address) {
    for (const IP_ADAPTER_ADDRESSES* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress;
             unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* held = unicast->Address.lpSockaddr;
            if (held != nullptr && held->sa_family == AF_INET &&
                ntohl(reinterpret_cast<const sockaddr_in*>(held)->sin_addr.s_addr) == address) {
                return adapter;
            }
        }
    }
    return nullptr;
}

}  // namespace

void name_interfaces(std::span<interface_address> rows) {
    constexpr ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list's size is known only by asking; it may grow between two asks.
    ULONG size = 16384;
    IP_ADAPTER_ADDRESSES* adapters = nullptr;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        std::free(adapters);
        adapters = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
        result = adapters == nullptr
                     ? ERROR_NOT_ENOUGH_MEMORY
                     : GetAdaptersAddresses(AF_INET, flags, nullptr, adapters, &size);
    }
    if (result == NO_ERROR) {
        for (interface_address& row : rows) {
            const IP_ADAPTER_ADDRESSES* adapter = adapter_of(adapters, row.address);
            if (row.name[0] == '\0' && adapter != nullptr) {
                copy_name(adapter->FriendlyName, row.name);
            }
        }
    }
    std::free(adapters);
}

}  // namespace net
