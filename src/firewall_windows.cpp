// Apart from the rest of the Windows layer: only the probe reads the
// firewall, through OLE32's CoCreateInstance, which it already imports.
#include <windows.h>
#include <netfw.h>
#include <netlistmgr.h>

#include <cstring>

#include "firewall.h"

namespace firewall {
namespace {

// Spelt out: mingw's are in libuuid.
constexpr CLSID policy_class = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
constexpr IID policy_interface = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};
constexpr CLSID network_list_class = {0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr IID network_list_interface = {0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

using getter = HRESULT (STDMETHODCALLTYPE INetFwPolicy2::*)(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*);

reading read_value(INetFwPolicy2* policy, getter get, profile kind) {
    VARIANT_BOOL value = VARIANT_FALSE;
    const HRESULT result = (policy->*get)(static_cast<NET_FW_PROFILE_TYPE2>(kind), &value);
    return FAILED(result) ? reading{false, static_cast<net::error_code>(result)}
                          : reading{value != VARIANT_FALSE, 0};
}

void read_profiles(state& found) {
    INetFwPolicy2* policy = nullptr;
    HRESULT result = CoCreateInstance(policy_class, nullptr, CLSCTX_INPROC_SERVER, policy_interface,
                                      reinterpret_cast<void**>(&policy));
    LONG types = 0;
    if (SUCCEEDED(result)) {
        result = policy->get_CurrentProfileTypes(&types);
    }
    if (FAILED(result)) {
        found.profiles_error = static_cast<net::error_code>(result);
    }
    for (const profile kind : {profile::domain, profile::private_network, profile::public_network}) {
        if (SUCCEEDED(result) && (types & static_cast<LONG>(kind)) != 0) {
            found.active[found.active_count++] = {
                kind, read_value(policy, &INetFwPolicy2::get_FirewallEnabled, kind),
                read_value(policy, &INetFwPolicy2::get_UnicastResponsesToMulticastBroadcastDisabled, kind),
                read_value(policy, &INetFwPolicy2::get_BlockAllInboundTraffic, kind)};
        }
    }
    if (policy != nullptr) {
        policy->Release();
    }
}

// The category of one connection's network, or why it could not be read.
category_reading category_of(INetworkConnection* connection) {
    INetwork* network = nullptr;
    HRESULT result = connection->GetNetwork(&network);
    NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PUBLIC;
    if (SUCCEEDED(result)) {
        result = network->GetCategory(&category);
        network->Release();
    }
    if (FAILED(result)) {
        return {false, profile::public_network, static_cast<net::error_code>(result)};
    }
    return {true, category == NLM_NETWORK_CATEGORY_DOMAIN_AUTHENTICATED ? profile::domain
                  : category == NLM_NETWORK_CATEGORY_PRIVATE             ? profile::private_network
                                                                         : profile::public_network};
}

// Each connection's adapter, matched with the adapters' rows by GUID; a
// failure to list the connections is every row's.
void read_categories(std::span<const net::adapter_id> adapters, state& found) {
    INetworkListManager* manager = nullptr;
    IEnumNetworkConnections* connections = nullptr;
    HRESULT result = CoCreateInstance(network_list_class, nullptr, CLSCTX_ALL, network_list_interface,
                                      reinterpret_cast<void**>(&manager));
    if (SUCCEEDED(result)) {
        result = manager->GetNetworkConnections(&connections);
    }
    for (std::size_t row = 0; FAILED(result) && row < adapters.size() && row < found.categories.size(); ++row) {
        found.categories[row] = {false, profile::public_network, static_cast<net::error_code>(result)};
    }
    INetworkConnection* connection = nullptr;
    while (connections != nullptr && connections->Next(1, &connection, nullptr) == S_OK) {
        GUID id{};
        const bool identified = SUCCEEDED(connection->GetAdapterId(&id));
        // Asked once, for every address of the adapter.
        bool asked = false;
        category_reading category;
        for (std::size_t row = 0; identified && row < adapters.size() && row < found.categories.size(); ++row) {
            if (std::memcmp(adapters[row].data(), &id, sizeof id) == 0) {
                category = asked ? category : category_of(connection);
                asked = true;
                found.categories[row] = category;
            }
        }
        connection->Release();
    }
    if (connections != nullptr) {
        connections->Release();
    }
    if (manager != nullptr) {
        manager->Release();
    }
}

}  // namespace

state read(std::span<const net::adapter_id> adapters) {
    state found{.present = true};
    // The multithreaded apartment: a console program runs no message loop,
    // and a single-threaded one would make a hidden window for it (under
    // Wine without a display, that starts a desktop process and stalls).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    read_profiles(found);
    read_categories(adapters, found);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return found;
}

}  // namespace firewall
