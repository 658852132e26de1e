#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Initialisation files in the private-profile form ("[SECTION]" lines and
// "KEY=value" lines) as the parameter file and the input-table export use them.
//
// Reading: section and key names match regardless of case; blanks round a value are
// ignored; a value in a matching pair of quotes is read without them; a value is cut
// to 2047 characters; a missing file, section or key gives the default.
// Writing: a key's value is replaced where the key stands, a new key goes to the end
// of its section, a new section to the end of the file; everything else is kept. A
// value with blanks round it, or quotes round it, is written in quotes of its own so
// it reads back as it was.
// Files are Windows-1250 text with CR LF line ends and are replaced atomically, so a
// failed write leaves the previous file as it was.
//
// The static functions each touch the file once. Several writes that belong together
// go through one PrivateProfile object and a single commit().
class PrivateProfile {
  public:
    static constexpr int kMaxValueLength = 2047;

    // Reads the file now; a missing or unreadable file reads as empty.
    explicit PrivateProfile(const QString& file);
    // A profile held in memory, named by no file (commit() has nowhere to write).
    static PrivateProfile from_bytes(const QByteArray& bytes);
    // The text as commit() writes it.
    QByteArray bytes() const;

    const QString& file() const { return file_; }

    QString string(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives def.
    qint32 integer(const QString& section, const QString& key, qint32 def) const;

    // Change the file's text in memory; commit() writes it.
    void set_string(const QString& section, const QString& key, const QString& value);
    void set_integer(const QString& section, const QString& key, qint32 value);

    // Replaces the file with the current text. Throws FileError naming the file.
    void commit() const;

    static QString read_string(const QString& file, const QString& section, const QString& key,
                               const QString& def);
    static qint32 read_int(const QString& file, const QString& section, const QString& key,
                           qint32 def);
    static void write_string(const QString& file, const QString& section, const QString& key,
                             const QString& value);
    static void write_int(const QString& file, const QString& section, const QString& key,
                          qint32 value);

    // The integer form of a value text; false when it is not one.
    static bool parse_integer(const QString& text, qint32* out);

  private:
    PrivateProfile() = default;
    void parse(const QByteArray& bytes);
    int find_section(const QString& section) const;  // header line index or -1
    int section_end(int header) const;               // first line after its body
    int find_key(int header, const QString& key) const;
    void put_line(int index, const QString& line, bool insert);

    QString file_;
    QStringList lines_;        // decoded, for matching
    QList<QByteArray> raw_;    // as in the file, written back unchanged
    bool unreadable_ = false;  // exists but could not be read: never overwrite it
};
