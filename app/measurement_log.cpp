#include "app/measurement_log.h"

#include <QDir>
#include <algorithm>

#include "live/log_format.h"
#include "platform/atomic_file.h"
#include "platform/cp1250.h"
#include "platform/errors.h"

namespace {

constexpr std::size_t kFirstBlock = 4 * 1024;
constexpr std::size_t kMaxBlock = 1024 * 1024;

[[noreturn]] void throw_write_error(const QString& path, const QString& reason) {
    throw FileError(
        QStringLiteral("Soubor %1 nelze zapsat: %2").arg(QDir::toNativeSeparators(path), reason));
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
    QByteArray encoded = cp1250::encode(line);
    encoded.append("\r\n", 2);
    Block& block = block_for(encoded.size());
    starts_.push_back(static_cast<std::uint32_t>(block.bytes.size()));
    block.bytes.insert(block.bytes.end(), encoded.cbegin(), encoded.cend());
    bytes_ += encoded.size();
}

void MeasurementLog::start(const QString& date_text, const QString& time_text) {
    clear();
    for (const QString& line : log_format::header(date_text, time_text)) append(line);
}

std::size_t MeasurementLog::block_of_line(qsizetype index) const {
    const auto it = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                                     [](qsizetype i, const Block& b) { return i < b.first_line; });
    return static_cast<std::size_t>(it - blocks_.begin()) - 1;
}

QByteArray MeasurementLog::line_bytes(qsizetype index) const {
    if (index < 0 || index >= line_count()) return {};
    const std::size_t b = block_of_line(index);
    const Block& block = blocks_[b];
    const std::size_t begin = starts_[static_cast<std::size_t>(index)];
    const bool last_in_block = b + 1 == blocks_.size() ? index + 1 == line_count()
                                                       : index + 1 == blocks_[b + 1].first_line;
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
    std::vector<QByteArrayView> pieces;
    pieces.reserve(blocks_.size());
    for (const Block& block : blocks_)
        pieces.emplace_back(block.bytes.data(), static_cast<qsizetype>(block.bytes.size()));
    QString reason;
    if (!AtomicFile::write(path, pieces, &reason)) throw_write_error(path, reason);
}
