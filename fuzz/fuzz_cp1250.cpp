// Windows-1250 both ways: bytes decode and encode back, and a text encodes to one byte
// per character that decodes to it or to '?'.
#include <QSet>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/cp1250.h"

namespace {

[[noreturn]] void violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}

bool undefined_byte(unsigned char b) {
    return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
}

const QSet<char16_t>& repertoire() {
    static const QSet<char16_t> set = [] {
        QSet<char16_t> s;
        for (int b = 0; b < 256; ++b)
            if (!undefined_byte(static_cast<unsigned char>(b)))
                s.insert(cp1250::decode(QByteArray(1, static_cast<char>(b))).at(0).unicode());
        return s;
    }();
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = cp1250::decode(bytes);
    if (text.size() != bytes.size()) violated("decode changed the length");
    QByteArray back = bytes;
    for (char& c : back)
        if (undefined_byte(static_cast<unsigned char>(c))) c = '?';
    if (cp1250::encode(text) != back) violated("bytes did not encode back");

    // The same bytes read as UTF-16 text, lone surrogates and all.
    QString wide;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide.append(QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8))));
    QString expected;
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const QChar c = wide.at(i);
        if (c.isHighSurrogate() && i + 1 < wide.size() && wide.at(i + 1).isLowSurrogate()) {
            ++i;
            expected.append(QLatin1Char('?'));
        } else {
            expected.append(repertoire().contains(c.unicode()) ? c : QChar(u'?'));
        }
    }
    const QByteArray encoded = cp1250::encode(wide);
    if (encoded.size() != expected.size()) violated("not one byte per character");
    if (cp1250::decode(encoded) != expected) violated("text did not decode back");
    return 0;
}
