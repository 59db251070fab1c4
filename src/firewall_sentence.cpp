// The conclusion's sentence on a firewall profile that drops every answer
// to a broadcast: the likely cause, the cause only if the server is on
// some of the networks asked, or a possible one where a network's
// category is unknown.
#include "firewall_sentence.h"

#include <algorithm>
#include <array>

#include "probe_report.h"
#include "report_rows.h"

namespace detect {
namespace {

// "Public", "Domain and Public", "Domain, Private and Public".
void add_profiles(text_line& line, unsigned profiles) {
    std::array<const char*, 3> names{};
    std::size_t count = 0;
    for (const firewall::profile kind :
         {firewall::profile::domain, firewall::profile::private_network, firewall::profile::public_network}) {
        if ((profiles & static_cast<unsigned>(kind)) != 0) {
            names[count++] = profile_name(kind);
        }
    }
    for (std::size_t at = 0; at < count; ++at) {
        add(line, at == 0 ? "" : at + 1 == count ? " and " : ", ", names[at]);
    }
}

// "10.2.0.1, 10.3.0.1 and 2 more": the addresses of the rows the verdict
// names, each with why its category is unknown where asked.
void add_networks(text_line& line, const probe_report& report, const probe_verdict& verdict, bool with_reason) {
    std::size_t count = 0;
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        count += verdict.rows[row] ? 1 : 0;
    }
    std::size_t named = 0;
    for (std::size_t row = 0; row < report.segments.count && named < most_networks_named; ++row) {
        if (!verdict.rows[row]) {
            continue;
        }
        ++named;
        add(line, named == 1 ? "" : named == count ? " and " : ", ",
            dotted_text(report.segments.rows[row].row.address).text);
        if (!with_reason) {
            continue;
        }
        switch (verdict.unknown[row]) {
        case unknown_category::no_network: add(line, " (no network)"); break;
        case unknown_category::not_identified: add(line, " (its adapter could not be identified)"); break;
        case unknown_category::unreadable:
            add(line, " (could not be read: ", hresult_number(report.firewall.categories[row].error).view(), ")");
            break;
        }
    }
    if (count > named) {
        add(line, " and ", decimal_text(count - named).text, " more");
    }
}

// The sentence on a firewall profile that drops every answer to a
// broadcast.
}  // namespace

void add_firewall(text_line& line, const probe_report& report, const probe_verdict& verdict) {
    if (verdict.firewall == firewall_finding::none) {
        return;
    }
    const bool several = (verdict.profiles & (verdict.profiles - 1)) != 0;
    switch (verdict.firewall) {
    case firewall_finding::none: return;
    case firewall_finding::cause:
        add(line, " Likely cause: Windows Defender Firewall's ");
        add_profiles(line, verdict.profiles);
        add(line, several ? " profiles, the ones" : " profile, the one", " for ");
        {
            const bool own_network = verdict.direct == direct_finding::broadcast_dropped;
            add(line, own_network ? "the network of " : "every network asked (");
            add_networks(line, report, verdict, false);
            add(line, own_network ? "" : ")", ", prohibit", several ? "" : "s", " unicast answers to a broadcast.");
        }
        break;
    case firewall_finding::if_there:
        add(line, " If the server is on the network of ");
        add_networks(line, report, verdict, false);
        add(line, ", Windows Defender Firewall's ");
        add_profiles(line, verdict.profiles);
        add(line, several ? " profiles there prohibit" : " profile there prohibits",
            " unicast answers to a broadcast, and that is why; the other networks asked allow them.");
        break;
    case firewall_finding::possible:
        add(line, " Which firewall profile applies is unknown for the network");
        if (verdict.unlisted_network) {
            add(line, " the system's own broadcast left by, which no listed adapter names");
        }
        if (std::ranges::find(verdict.rows, true) != verdict.rows.end()) {
            add(line, verdict.unlisted_network ? ", and for the network of " : " of ");
            add_networks(line, report, verdict, true);
        }
        add(line, "; the active ");
        add_profiles(line, verdict.profiles);
        add(line, several ? " profiles prohibit" : " profile prohibits", " unicast answers to a broadcast, and may be why.");
        break;
    }
    add(line, " An administrator allows them with Group Policy (Computer Configuration > Administrative "
              "Templates > Network > Network Connections > Windows Defender Firewall: \"Prohibit unicast "
              "response to multicast or broadcast requests\" Disabled) or Intune (Firewall CSP "
              "DisableUnicastResponsesToMulticastBroadcast false).");
}

}  // namespace detect
