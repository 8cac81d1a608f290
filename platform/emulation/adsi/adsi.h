// Active Directory Service Interfaces of the emulated platform.
#pragma once

#include "platform/emulation/com/com.h"

extern "C" const IID IID_IADs;

struct IADs : public IDispatch {};
