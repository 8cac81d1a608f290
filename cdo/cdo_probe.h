#pragma once

// Logs on to one mailbox through CDO 1.21 with a dynamic profile (its home
// server and its DN) and reads the name of its default calendar folder,
// printing one line per step, each behind displayName. Returns true when
// the folder's name was read and printed, also if the logoff that follows
// fails.
bool TestCdoLogon(const char* mailboxDn, const char* homeMdbDn, const char* displayName);
