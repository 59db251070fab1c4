// The Windows socket layer's calls that only the probe makes: the adapters'
// names, a wait on two sockets, the page's TCP connection and the system's
// text for an error. Kept out of net_windows.cpp,
// whose every function the launcher links whether it calls it or not (ld
// keeps what the x64 unwind tables name): these would add about 3 KiB to
// it.
#include <winsock2.h>
#include <iphlpapi.h>
#include <ws2tcpip.h>
#include <objbase.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <cwchar>
#include <string_view>

#include "net.h"
#include "net_sockaddr.h"
#include "utf8.h"

namespace net {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string_view utf16(const wchar_t* text, std::size_t length) {
    return {reinterpret_cast<const char16_t*>(text), length};
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

using get_adapters_addresses_call = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);

// IP Helper's list of adapters, allocated: NO_ERROR, or why there is none.
// IP Helper is no KnownDLL: imported, it would be looked for beside the exe
// first, so it is loaded from System32 alone: here, and at start, where
// both exes keep a copy for Winsock's route query.
ULONG list_adapters(IP_ADAPTER_ADDRESSES*& adapters) {
    HMODULE ip_helper = LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (ip_helper == nullptr) {
        return GetLastError();
    }
    // Through a plain function pointer type: GCC warns of any other cast.
    const auto get_adapters_addresses = reinterpret_cast<get_adapters_addresses_call>(
        reinterpret_cast<void (*)()>(GetProcAddress(ip_helper, "GetAdaptersAddresses")));
    ULONG result = get_adapters_addresses == nullptr ? GetLastError() : ERROR_BUFFER_OVERFLOW;
    constexpr ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list's size is known only by asking; it may grow between two asks.
    ULONG size = 16384;
    for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        std::free(adapters);
        adapters = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
        result = adapters == nullptr
                     ? ERROR_NOT_ENOUGH_MEMORY
                     : get_adapters_addresses(AF_INET, flags, nullptr, adapters, &size);
    }
    FreeLibrary(ip_helper);
    return result;
}

}  // namespace

error_code name_interfaces(std::span<const interface_address> rows, std::span<interface_name> names) {
    IP_ADAPTER_ADDRESSES* adapters = nullptr;
    const ULONG result = list_adapters(adapters);
    for (std::size_t i = 0; i < rows.size() && i < names.size(); ++i) {
        const IP_ADAPTER_ADDRESSES* adapter =
            result == NO_ERROR ? adapter_of(adapters, rows[i].address) : nullptr;
        // Whole, in any language: "vEthernet (WSL (Hyper-V firewall))",
        // or a Chinese Windows' name for its Ethernet adapter.
        const wchar_t* name = adapter != nullptr && adapter->FriendlyName != nullptr
                                  ? adapter->FriendlyName
                                  : L"";
        detect::utf8_from_utf16(utf16(name, std::wcslen(name)), names[i].text);
    }
    std::free(adapters);
    // No adapter at all is no failure: there is no name to give.
    return result == ERROR_NO_DATA ? 0 : static_cast<error_code>(result);
}

error_code identify_adapters(std::span<const interface_address> rows, std::span<adapter_id> ids) {
    IP_ADAPTER_ADDRESSES* adapters = nullptr;
    const ULONG result = list_adapters(adapters);
    for (std::size_t i = 0; result == NO_ERROR && i < rows.size() && i < ids.size(); ++i) {
        const IP_ADAPTER_ADDRESSES* adapter = adapter_of(adapters, rows[i].address);
        // The adapter's GUID is its name, "{4D36E972-...}", as text.
        wchar_t id_text[40] = {};
        for (std::size_t at = 0; adapter != nullptr && adapter->AdapterName != nullptr &&
                                 adapter->AdapterName[at] != '\0' && at + 1 < std::size(id_text);
             ++at) {
            id_text[at] = static_cast<unsigned char>(adapter->AdapterName[at]);
        }
        GUID id{};
        if (id_text[0] != L'\0' && SUCCEEDED(CLSIDFromString(id_text, &id))) {
            std::memcpy(ids[i].data(), &id, sizeof id);
        }
    }
    std::free(adapters);
    return result == ERROR_NO_DATA ? 0 : static_cast<error_code>(result);
}

int wait_until_either_readable(socket_handle first, socket_handle second, long timeout_microseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(first, &readable);
    if (second != invalid_socket) {
        FD_SET(second, &readable);
    }
    timeval timeout{timeout_microseconds / 1000000, timeout_microseconds % 1000000};
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready <= 0) {
        return ready;
    }
    return (FD_ISSET(first, &readable) ? 1 : 0) |
           (second != invalid_socket && FD_ISSET(second, &readable) ? 2 : 0);
}

void describe_error(error_code code, std::span<char> text) {
    // In the language of this Windows, as the user sees its own messages;
    // the same table holds Winsock's errors and the system's. WinHTTP's
    // own (12001 to 12199) are in its module, where the probe has loaded
    // it; GetModuleHandleW never loads one.
    wchar_t message[512];
    const HMODULE winhttp = code > 12000 && code < 12200 ? GetModuleHandleW(L"winhttp.dll") : nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            (winhttp != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : 0),
                                        winhttp, static_cast<DWORD>(code), 0, message,
                                        sizeof message / sizeof *message, nullptr);
    detect::utf8_from_utf16(utf16(message, length), text);
}

socket_handle open_tcp_socket() {
    const SOCKET opened = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long non_blocking = 1;
    if (opened != INVALID_SOCKET && ioctlsocket(opened, FIONBIO, &non_blocking) != 0) {
        const int error = WSAGetLastError();
        closesocket(opened);
        WSASetLastError(error);
        return invalid_socket;
    }
    return opened;
}

error_code connect_within(socket_handle socket, ipv4_endpoint destination, long timeout_microseconds) {
    const sockaddr_in address = to_sockaddr(destination);
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return 0;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return WSAGetLastError();
    }
    // Winsock marks a failed attempt in the exception set, not as writable.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval timeout{timeout_microseconds / 1000000, timeout_microseconds % 1000000};
    const int ready = select(0, nullptr, &writable, &failed, &timeout);
    if (ready <= 0) {
        return ready == 0 ? timed_out : WSAGetLastError();
    }
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
        return WSAGetLastError();
    }
    return error;
}

bool send_bytes(socket_handle socket, const void* data, std::size_t size) {
    const int sent = send(socket, static_cast<const char*>(data), static_cast<int>(size), 0);
    if (sent >= 0 && static_cast<std::size_t>(sent) != size) {
        WSASetLastError(WSAEWOULDBLOCK);
    }
    return sent >= 0 && static_cast<std::size_t>(sent) == size;
}

long receive_bytes(socket_handle socket, char* buffer, std::size_t capacity) {
    return recv(socket, buffer, static_cast<int>(capacity), 0);
}

error_code resolve_ipv4(const char* name, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(name, nullptr, &hints, &found);
    if (result != 0) {
        return result;
    }
    address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return 0;
}

}  // namespace net
