#pragma once

#include "platform/sdk.h"

// One picked mailbox: the four property values read from its address-book
// entry (display name, home message-store DN, mailbox DN, entry ID), one
// MAPI block.
using PickedMailbox = LPSPropValue;
