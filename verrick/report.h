// What Verrick checks of one mailbox's web services and the report it
// writes about them.
#pragma once

#include <string>

#include "platform/emulation/runtime/organisation.h"

namespace verrick {

// The report for the mailbox with smtpAddress, as the organisation has it:
// is there a mailbox with the address, is the web-services endpoint of its
// home server reachable, and may the operator reach the mailbox through web
// services. Plain text, one line per finding.
std::string CheckWebServices(const emulation::Organisation& organisation, const std::string& smtpAddress,
                             const std::string& displayName);

// The report when the organisation could not be read.
std::string OrganisationFailureReport(const std::string& smtpAddress, const std::string& displayName,
                                      const std::string& problem);

// The report cut, or padded with numbered filler lines, to exactly size
// bytes.
std::string ToSize(std::string report, size_t size);

}  // namespace verrick
