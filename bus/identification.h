#pragma once

#include <QString>

#include "ident/ident_result.h"

class BusSession;

// Who answers at an address: the type and version texts (code page 1250) and the model
// the version text names.
struct DeviceIdentity {
    bool type_read = false;
    bool version_read = false;
    QString type_text;
    QString version_text;
    IdentResult model = IdentResult::Unknown;

    bool supported() const { return version_read && model == IdentResult::Supported; }
    // Why the controller cannot be served (empty when it can): kUnknownDevice or
    // kOlderModel.
    QString refusal() const;
};

// Reads the type text, then the version text, and classifies the model.
DeviceIdentity identify(BusSession& session, int address);

inline constexpr char kUnknownDevice[] = "Chyba při čtení nebo neznámé zřízení";
inline constexpr char kOlderModel[] = "Identifikováno zařízení typu KRT 01";
