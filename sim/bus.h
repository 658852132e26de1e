#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "comm/device_data.h"
#include "sim/station.h"

// One or more simulated controllers sharing a bus: answers complete request frames
// with the bytes (and pauses) a device would send back.
namespace sim {

enum class Model { Supported, Krt01, Foreign };

enum class Fault {
    None,
    Silence,            // the request goes unheard: no reply, no action
    ShortReply,         // the frame is cut in half
    BadChecksum,        // checksum off by one
    WrongFunctionCode,  // data reply with FC 0x09, acknowledgement with FC 0x05
    LengthMismatch,     // LEr = LE + 1 (variable-length replies only)
    PauseInReply,       // 150 ms of silence in the middle of the reply
    RefuseWrite,        // write and EEPROM acknowledgements carry FC 0x01, nothing changes
    LateBytes,          // the reply starts 700 ms after the request
};

struct FaultSpec {
    Fault kind = Fault::None;
    int every = 1;     // every N-th reply the fault can affect
    int address = -1;  // only the station at this address; -1 every station
};

struct Options {
    std::vector<int> addresses{1};
    Model model = Model::Supported;
    std::vector<FaultSpec> faults;
    QString eeprom_file;
    bool verbose = false;
    int krt01_variant = 2;           // 1..3: which older firmware the krt01 model reports
    int device_fault = 0;            // initial FAULT byte of table 10
    bool frozen = false;             // the process holds still: table 10 changes only by writes
    std::optional<PlantSpec> plant;  // a given process in place of the built-in heater
    QString type_text;               // the supported model's type text, when not the usual one
};

struct Chunk {
    std::vector<std::uint8_t> bytes;
    int gap_ms = 0;  // silence before the first byte
};
using Reply = std::vector<Chunk>;

std::vector<std::uint8_t> flatten(const Reply& reply);

// Parses "silence", "short", "checksum", "function", "length", "pause", "refuse", "late".
Fault fault_from_name(const QString& name, bool* ok);
QString fault_name(Fault f);

class Bus {
  public:
    explicit Bus(Options options);

    // One complete request frame -> the reply (empty: silence). Frames that are not
    // well formed, for an unknown address or for the broadcast address get no reply.
    Reply handle(const std::uint8_t* request, int n);
    // Moves the process of every station on by the given time.
    void advance(double seconds);

    // Tables of the station at an address; throws std::out_of_range for none.
    DeviceData& station(int address);
    bool has_station(int address) const;
    std::vector<int> addresses() const;

    QString type_text() const;
    QString version_text() const;
    const Options& options() const { return options_; }
    // False when the last EEPROM commit could not be written to the file.
    bool last_save_ok() const { return last_save_ok_; }
    // What the last handled request did, for the verbose log ("" when nothing).
    const QString& last_event() const { return last_event_; }

  private:
    enum class ReplyKind { Data, Ack, WriteAck };

    Reply answer(const std::uint8_t* req, int n);
    std::vector<std::uint8_t> data_reply(int to, int from, const std::uint8_t* data, int len) const;
    std::vector<std::uint8_t> ack(int to, int from, std::uint8_t fc) const;
    std::vector<std::uint8_t> foreign_reply(int to, int from) const;
    std::vector<Fault> draw_faults(ReplyKind reply, int da);
    Reply shape(std::vector<std::uint8_t> frame, const std::vector<Fault>& hits) const;
    bool commit(Station& st);
    void load_eeprom();

    Options options_;
    std::map<int, Station> stations_;  // keyed by the current bus address
    std::vector<int> fault_counts_;    // replies each fault could have affected so far
    bool last_save_ok_ = true;
    QString last_event_;
};

}  // namespace sim
