// Apart from the rest of the Windows layer: only the probe reads the
// firewall, and OLE32's CoCreateInstance, which it already imports.
#include <windows.h>
#include <netfw.h>

#include "firewall.h"

namespace firewall {
namespace {

// Spelt out: mingw's are in libuuid.
constexpr CLSID policy_class = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
constexpr IID policy_interface = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};

using getter = HRESULT (STDMETHODCALLTYPE INetFwPolicy2::*)(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*);

reading read_value(INetFwPolicy2* policy, getter get, profile kind) {
    VARIANT_BOOL value = VARIANT_FALSE;
    const HRESULT result = (policy->*get)(static_cast<NET_FW_PROFILE_TYPE2>(kind), &value);
    return FAILED(result) ? reading{false, static_cast<net::error_code>(result)}
                          : reading{value != VARIANT_FALSE, 0};
}

}  // namespace

state read() {
    state found{.present = true};
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
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
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return found;
}

}  // namespace firewall
