#pragma once

#include "ident/device_identity.h"

class BusSession;

// Reads the type text, then the version text, of the controller at address.
DeviceIdentity identify(BusSession& session, int address);
