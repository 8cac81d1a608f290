// The web-services probe: runs the sibling tool Verrick for one mailbox and
// copies the report it writes to standard output.
#pragma once

// Prints nothing of its own when Verrick runs and its report can be read;
// otherwise one line that begins with displayName.
void RunWebServicesProbe(const char* smtpAddress, const char* displayName);
