// The conclusion's sentence on Windows Defender Firewall, from the verdict.
#pragma once

#include <cstddef>

#include "probe_data.h"
#include "probe_verdict.h"
#include "text_line.h"

namespace detect {

// At most this many networks are named by address; more are counted.
inline constexpr std::size_t most_networks_named = 4;

// " Likely cause: ..." or another sentence on the profiles the verdict
// names, with how an administrator allows the answers; nothing where it
// names none.
void add_firewall(text_line& line, const probe_report& report, const probe_verdict& verdict);

}  // namespace detect
