#pragma once

#include <QString>
#include <array>
#include <functional>

#include "ident/ident_result.h"

inline constexpr char kUnknownDevice[] = "Chyba při čtení nebo neznámé zřízení";
inline constexpr char kOlderModel[] = "Identifikováno zařízení typu KRT 01";

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

// One text request as the device answers it: the raw bytes, NUL-ended.
using TextRequest = std::function<bool(std::array<char, 250>&)>;

// Asks for the type text, then the version text, and classifies the model by the
// version's raw bytes. after_type runs between the two requests, so a dialog can show
// the type text before the second request goes out.
DeviceIdentity identify(const TextRequest& read_type, const TextRequest& read_version,
                        const std::function<void(const DeviceIdentity&)>& after_type = {});

class BusWorker;
// The same through the specified windows' request layer, which keeps the texts read in
// the shared record as well.
DeviceIdentity identify(BusWorker& requests,
                        const std::function<void(const DeviceIdentity&)>& after_type = {});
