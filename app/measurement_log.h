#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// The measurement log held in memory: text lines kept already encoded as they go to
// the file (Windows-1250, each ending in CR LF), so a week of one line a second stays
// close to the size of the file it becomes and is written out without re-encoding.
class MeasurementLog {
  public:
    MeasurementLog() = default;

    void clear();
    void append(const QString& line);

    // Clears the log and puts the three header lines in it.
    void start(const QString& date_text, const QString& time_text);

    qsizetype line_count() const { return static_cast<qsizetype>(starts_.size()); }
    // One line as stored, without its CR LF.
    QByteArray line_bytes(qsizetype index) const;
    // The whole file content.
    QByteArray file_bytes() const;
    qint64 file_size() const { return bytes_; }
    // Bytes held for the log (reserved blocks and the line index).
    qint64 memory_size() const;

    // Replaces the file whole and atomically: when anything fails, the previous file is
    // left as it was and FileError is thrown.
    void write_file(const QString& path) const;

  private:
    // Blocks are allocated once at their final size and never move, so appending costs
    // no copying of what is already stored.
    struct Block {
        std::vector<char> bytes;  // capacity fixed at creation
        qsizetype first_line = 0;
    };
    Block& block_for(qsizetype size);
    std::size_t block_of_line(qsizetype index) const;

    std::vector<Block> blocks_;
    std::vector<std::uint32_t> starts_;  // each line's offset inside its block
    qint64 bytes_ = 0;
};
