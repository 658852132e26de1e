#include "bus/identification.h"

#include <array>

#include "bus/bus_session.h"
#include "ident/ident_texts.h"

QString DeviceIdentity::refusal() const {
    if (supported()) return {};
    if (!version_read || model == IdentResult::Unknown) return QString::fromUtf8(kUnknownDevice);
    return QString::fromUtf8(kOlderModel);
}

DeviceIdentity identify(BusSession& session, int address) {
    DeviceIdentity id;
    std::array<char, 250> text{};
    id.type_read = session.read_type_text(address, text);
    if (id.type_read) id.type_text = text_from_device(text.data(), text.size());
    text.fill(0);
    id.version_read = session.read_version_text(address, text);
    if (id.version_read) {
        id.version_text = text_from_device(text.data(), text.size());
        id.model = classify_version(text.data());
    }
    return id;
}
