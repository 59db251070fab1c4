// The journey to the page in the report: a section of what was measured,
// and the conclusion's sentence on it.
#pragma once

#include <cstdio>

#include "probe_data.h"
#include "probe_verdict.h"
#include "text_line.h"

namespace detect {

// The program for http, the proxy and the page's answers; nothing where
// no page was asked.
void print_page(std::FILE* out, const probe_report& report);

// " http://A answers "HTTP/1.1 200 OK"." and its like: what a browser
// would meet on its way to the page, from the verdict's findings.
void add_page_sentence(text_line& line, const probe_report& report, const probe_verdict& verdict);

}  // namespace detect
