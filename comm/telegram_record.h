#pragma once
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>
#include <cstdint>

enum class TelegramDir : std::uint8_t { Sent, Received };

enum class Verdict : std::uint8_t {
    Ok,              // "OK"
    NoReply,         // "bez odpovědi"
    ShortReply,      // "krátká odpověď (n z m bajtů)"
    BadChecksum,     // "chybný součet"
    BadFunction,     // "chybný kód funkce"
    LengthMismatch,  // "odlišné délky"
    Refused,         // "odmítnuto"
    Resent,          // "opakováno"
    BadFrame,        // "chybný rámec" (listener: frame not well formed)
    Pending,         // request sent, no verdict yet
    Discarded        // "pozdní, zahozeno": bytes read off the line after a failed exchange
};

struct TelegramRecord {
    static constexpr int kMaxBytes = 256;  // fixed slot; longer frames are cut, `truncated` set
    std::uint64_t seq = 0;                 // 1, 2, 3 ... never reused
    qint64 time_ms = 0;                    // ms since the recorder started
    TelegramDir dir = TelegramDir::Sent;
    int dest = -1;  // destination address, -1 unknown
    int src = -1;   // source address, -1 unknown
    Verdict verdict = Verdict::Pending;
    int expected = 0, received = 0;  // for ShortReply text
    bool truncated = false;
    int length = 0;  // bytes used in `bytes`
    std::array<std::uint8_t, kMaxBytes> bytes{};
    std::uint64_t answers = 0;  // for a reply: seq of the request it answers, else 0
    int reply_ms = -1;          // for a reply: ms from request written to reply read
};

QString verdict_text(const TelegramRecord& r);      // the Czech verdict words above
QString telegram_meaning(const TelegramRecord& r);  // "čtení tabulky 10", "zápis tabulky 8",
                                                    // "EEPROM", "stav stanice", "text typu",
                                                    // "text verze", "odpověď", ...
QString telegram_hex(const TelegramRecord& r);      // "01 02 0A ..." upper-case, space separated

struct AddressStats {
    int requests = 0, good = 0, timeouts = 0, short_replies = 0, checksum_errors = 0,
        format_errors = 0, refusals = 0, resends = 0;
    int reply_min_ms = -1, reply_max_ms = -1;
    double reply_mean_ms = 0.0;
    qint64 last_error_ms = -1;  // recorder time of the last error, -1 none
    QDateTime last_error_at;    // wall time of the last error (invalid = none)
};

struct LinkState {
    bool any_exchange = false;  // false until the first exchange ended
    bool ok = true;             // last exchange ended well
    Verdict last_verdict = Verdict::Ok;
    int failures_in_row = 0;
    QDateTime last_good;     // wall time of the last good exchange (invalid = none)
    bool port_lost = false;  // the port itself failed (gone, never opened), not the controller
};

// Fills a record's slot from raw bytes; what does not fit is cut and marked.
void set_record_bytes(TelegramRecord& r, const std::uint8_t* p, int n);

// Judges a reply read from the line against the request it answers. request/reply may
// be any bytes; received is how many the read brought.
struct ReplyJudgement {
    Verdict verdict = Verdict::Ok;
    int expected = 0;  // bytes a complete reply has
    int dest = -1, src = -1;
};
ReplyJudgement judge_reply(const std::uint8_t* request, int request_len, const std::uint8_t* reply,
                           int received);

// Whether a single frame taken off the bus (listener) is well formed; fills the addresses.
bool frame_well_formed(const std::uint8_t* p, int n, int* dest, int* src);

// The addresses of a request frame as far as they can be read.
void request_addresses(const std::uint8_t* p, int n, int* dest, int* src);
