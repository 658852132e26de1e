#include "app/measurement_log.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <array>

#include "platform/errors.h"

namespace {

constexpr std::size_t kFirstBlock = 4 * 1024;
constexpr std::size_t kMaxBlock = 1024 * 1024;

// Windows-1250 for U+0080..U+00FF and the letters of the code page above it;
// characters the code page lacks become '?'.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

char encode_char(char16_t c) {
    if (c < 0x80) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

// The file's text encoding, one byte per character.
QByteArray encode_text(QStringView text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) out[i] = encode_char(text[i].unicode());
    return out;
}

[[noreturn]] void throw_write_error(const QString& path, const QString& reason) {
    throw FileError(QStringLiteral("Soubor %1 nelze zapsat: %2")
                        .arg(QDir::toNativeSeparators(path), reason));
}

}  // namespace

void MeasurementLog::clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    starts_.clear();
    starts_.shrink_to_fit();
    bytes_ = 0;
}

MeasurementLog::Block& MeasurementLog::block_for(qsizetype size) {
    const auto need = static_cast<std::size_t>(size);
    if (!blocks_.empty()) {
        Block& last = blocks_.back();
        if (last.bytes.capacity() - last.bytes.size() >= need) return last;
    }
    std::size_t capacity =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().bytes.capacity() * 2, kMaxBlock);
    capacity = std::max(capacity, need);
    Block block;
    block.bytes.reserve(capacity);
    block.first_line = line_count();
    blocks_.push_back(std::move(block));
    return blocks_.back();
}

void MeasurementLog::append(const QString& line) {
    QByteArray encoded = encode_text(line);
    encoded.append("\r\n", 2);
    Block& block = block_for(encoded.size());
    starts_.push_back(static_cast<std::uint32_t>(block.bytes.size()));
    block.bytes.insert(block.bytes.end(), encoded.cbegin(), encoded.cend());
    bytes_ += encoded.size();
}

void MeasurementLog::start(const QString& date_text, const QString& time_text) {
    clear();
    append(header_first_line(date_text, time_text));
    append(header_columns_line());
    append(header_rule_line());
}

std::size_t MeasurementLog::block_of_line(qsizetype index) const {
    const auto it =
        std::upper_bound(blocks_.begin(), blocks_.end(), index,
                         [](qsizetype i, const Block& b) { return i < b.first_line; });
    return static_cast<std::size_t>(it - blocks_.begin()) - 1;
}

QByteArray MeasurementLog::line_bytes(qsizetype index) const {
    if (index < 0 || index >= line_count()) return {};
    const std::size_t b = block_of_line(index);
    const Block& block = blocks_[b];
    const std::size_t begin = starts_[static_cast<std::size_t>(index)];
    const bool last_in_block =
        b + 1 == blocks_.size() ? index + 1 == line_count() : index + 1 == blocks_[b + 1].first_line;
    const std::size_t end =
        last_in_block ? block.bytes.size() : starts_[static_cast<std::size_t>(index) + 1];
    return QByteArray(block.bytes.data() + begin, static_cast<qsizetype>(end - begin - 2));
}

QByteArray MeasurementLog::file_bytes() const {
    QByteArray out;
    out.reserve(bytes_);
    for (const Block& block : blocks_)
        out.append(block.bytes.data(), static_cast<qsizetype>(block.bytes.size()));
    return out;
}

qint64 MeasurementLog::memory_size() const {
    qint64 total = static_cast<qint64>(blocks_.capacity() * sizeof(Block) +
                                       starts_.capacity() * sizeof(std::uint32_t));
    for (const Block& block : blocks_) total += static_cast<qint64>(block.bytes.capacity());
    return total;
}

void MeasurementLog::write_file(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw_write_error(path, file.errorString());
    for (const Block& block : blocks_) {
        const auto size = static_cast<qint64>(block.bytes.size());
        if (file.write(block.bytes.data(), size) != size) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw_write_error(path, reason);
        }
    }
    if (!file.commit()) throw_write_error(path, file.errorString());
}

QString MeasurementLog::header_first_line(const QString& date_text, const QString& time_text) {
    return QStringLiteral("Začátek měření na regulátoru KELVRA 20   ") + date_text +
           QStringLiteral("     ") + time_text;
}

QString MeasurementLog::header_columns_line() {
    return QStringLiteral("Naměřená hodnota; Žádaná hodnota;Akční zásah; Porucha; čas; datum");
}

QString MeasurementLog::header_rule_line() { return QString(65, QLatin1Char('-')); }

QString MeasurementLog::data_line(const QString& measure, const QString& set_point,
                                  const QString& action, const QString& fault,
                                  const QString& time_text, const QString& date_text) {
    const QString sep = QStringLiteral("; ");
    const QString wide = QStringLiteral(";   ");
    return measure + sep + set_point + sep + action + sep + fault + wide + time_text + wide +
           date_text;
}
