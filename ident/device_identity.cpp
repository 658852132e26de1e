#include "ident/device_identity.h"

#include "comm/bus_worker.h"
#include "ident/ident_texts.h"

QString DeviceIdentity::refusal() const {
    if (supported()) return {};
    if (!version_read || model == IdentResult::Unknown) return QString::fromUtf8(kUnknownDevice);
    return QString::fromUtf8(kOlderModel);
}

DeviceIdentity identify(const TextRequest& read_type, const TextRequest& read_version,
                        const std::function<void(const DeviceIdentity&)>& after_type) {
    DeviceIdentity id;
    std::array<char, 250> text{};
    id.type_read = read_type(text);
    if (id.type_read) id.type_text = text_from_device(text.data(), text.size());
    if (after_type) after_type(id);
    text.fill(0);
    id.version_read = read_version(text);
    if (id.version_read) {
        id.version_text = text_from_device(text.data(), text.size());
        id.model = classify_version(text.data());
    }
    return id;
}

DeviceIdentity identify(BusWorker& requests,
                        const std::function<void(const DeviceIdentity&)>& after_type) {
    const CommBuffer& buf = requests.buffer();
    return identify(
        [&](std::array<char, 250>& t) {
            if (!requests.read_type_text()) return false;
            t = buf.type_text;
            return true;
        },
        [&](std::array<char, 250>& t) {
            if (!requests.read_version_text()) return false;
            t = buf.version_text;
            return true;
        },
        after_type);
}
