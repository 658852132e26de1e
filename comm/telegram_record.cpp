#include "comm/telegram_record.h"

#include <algorithm>

#include "comm/telegram.h"

using namespace telegram;

namespace {

constexpr std::uint8_t kFcLastRefusal = 0x03;  // 0x01..0x03: the device declines the request

bool sd1_intact(const std::uint8_t* p, int n) {
    return n == kSd1Length && p[0] == SD1 && p[5] == ED && checksum(p + 1, 3) == p[4];
}

}  // namespace

void set_record_bytes(TelegramRecord& r, const std::uint8_t* p, int n) {
    n = std::max(n, 0);
    r.length = std::min(n, TelegramRecord::kMaxBytes);
    r.truncated = n > TelegramRecord::kMaxBytes;
    if (r.length > 0) std::copy_n(p, r.length, r.bytes.begin());
}

QString verdict_text(const TelegramRecord& r) {
    switch (r.verdict) {
        case Verdict::Ok:
            return QStringLiteral("OK");
        case Verdict::NoReply:
            return QStringLiteral("bez odpovědi");
        case Verdict::ShortReply:
            return QStringLiteral("krátká odpověď (%1 z %2 bajtů)").arg(r.received).arg(r.expected);
        case Verdict::BadChecksum:
            return QStringLiteral("chybný součet");
        case Verdict::BadFunction:
            return QStringLiteral("chybný kód funkce");
        case Verdict::LengthMismatch:
            return QStringLiteral("odlišné délky");
        case Verdict::Refused:
            return QStringLiteral("odmítnuto");
        case Verdict::Resent:
            return QStringLiteral("opakováno");
        case Verdict::BadFrame:
            return QStringLiteral("chybný rámec");
        case Verdict::Discarded:
            return QStringLiteral("pozdní, zahozeno");
        case Verdict::Pending:
            break;
    }
    return QString();
}

QString telegram_meaning(const TelegramRecord& r) {
    const std::uint8_t* p = r.bytes.data();
    const int n = r.length;
    if (n == 0) return QStringLiteral("odpověď");
    if (p[0] == SD1 && n >= 4) {
        if (p[3] == FC_STATUS) return QStringLiteral("stav stanice");
        return QStringLiteral("odpověď");
    }
    if (p[0] == SD2 && n >= 7) {
        const std::uint8_t fc = p[6];
        if (fc == FC_DATA) return QStringLiteral("odpověď");
        if ((fc == FC_SRD || fc == FC_SDA) && n >= 8) {
            const std::uint8_t cmd = p[7];
            if (cmd == CMD_READ && n >= 9) return QStringLiteral("čtení tabulky %1").arg(p[8]);
            if (cmd == CMD_WRITE && n >= 9) return QStringLiteral("zápis tabulky %1").arg(p[8]);
            if (cmd == CMD_EEPROM) return QStringLiteral("EEPROM");
            if (cmd == CMD_TYPE) return QStringLiteral("text typu");
            if (cmd == CMD_VERSION) return QStringLiteral("text verze");
        }
        return QStringLiteral("neznámý požadavek");
    }
    return r.dir == TelegramDir::Received ? QStringLiteral("odpověď") : QStringLiteral("šum");
}

QString telegram_hex(const TelegramRecord& r) {
    static const char digits[] = "0123456789ABCDEF";
    QString s;
    s.reserve(r.length * 3);
    for (int i = 0; i < r.length; ++i) {
        if (i > 0) s += QLatin1Char(' ');
        s += QLatin1Char(digits[r.bytes[static_cast<std::size_t>(i)] >> 4]);
        s += QLatin1Char(digits[r.bytes[static_cast<std::size_t>(i)] & 0x0F]);
    }
    return s;
}

void request_addresses(const std::uint8_t* p, int n, int* dest, int* src) {
    *dest = -1;
    *src = -1;
    if (n >= 3 && p[0] == SD1) {
        *dest = p[1];
        *src = p[2];
    } else if (n >= 6 && p[0] == SD2) {
        *dest = p[4];
        *src = p[5];
    }
}

bool frame_well_formed(const std::uint8_t* p, int n, int* dest, int* src) {
    request_addresses(p, n, dest, src);
    if (n <= 0) return false;
    if (p[0] == SD1) return sd1_intact(p, n);
    if (p[0] != SD2 || n < 9) return false;
    const int le = p[1];
    return p[2] == p[1] && p[3] == SD2 && n == le + 6 && p[le + 5] == ED &&
           checksum(p + 4, le) == p[le + 4];
}

ReplyJudgement judge_reply(const std::uint8_t* request, int request_len, const std::uint8_t* reply,
                           int received) {
    ReplyJudgement j;
    enum class Want { Unknown, Ack, Data };
    Want want = Want::Unknown;
    int want_le = -1;  // LE of the data reply, when the request fixes it
    if (request_len >= 4 && request[0] == SD1) {
        want = Want::Ack;
    } else if (request_len >= 8 && request[0] == SD2) {
        const std::uint8_t fc = request[6];
        const std::uint8_t cmd = request[7];
        if (fc == FC_SDA) {
            want = Want::Ack;
        } else if (fc == FC_SRD) {
            want = Want::Data;
            if (cmd == CMD_READ && request_len >= 10) want_le = request[9] + 3;
        }
    }
    if (want == Want::Unknown && received > 0) want = reply[0] == SD1 ? Want::Ack : Want::Data;

    if (want == Want::Ack) {
        j.expected = kSd1Length;
    } else if (want_le >= 0) {
        j.expected = want_le + 6;
    } else if (received >= 2 && reply[0] == SD2) {
        j.expected = reply[1] + 6;  // a text reply: its own length byte says
    }

    if (received <= 0) {
        j.verdict = Verdict::NoReply;
        return j;
    }
    request_addresses(reply, received, &j.dest, &j.src);
    if (received < j.expected) {
        j.verdict = Verdict::ShortReply;
        return j;
    }

    if (reply[0] == SD1) {
        if (received != kSd1Length) {
            j.verdict = Verdict::LengthMismatch;
            return j;
        }
        if (reply[5] != ED) {
            j.verdict = Verdict::BadFrame;
            return j;
        }
        if (checksum(reply + 1, 3) != reply[4]) {
            j.verdict = Verdict::BadChecksum;
            return j;
        }
        const std::uint8_t fc = reply[3];
        if (fc == FC_OK && want == Want::Ack)
            j.verdict = Verdict::Ok;
        else if (fc >= 0x01 && fc <= kFcLastRefusal)
            j.verdict = Verdict::Refused;
        else
            j.verdict = Verdict::BadFunction;
        return j;
    }
    if (reply[0] != SD2 || want == Want::Ack || received < 4) {
        j.verdict = Verdict::BadFrame;
        return j;
    }
    const int le = reply[1];
    if (reply[2] != reply[1] || (want_le >= 0 && le != want_le) || received != le + 6) {
        j.verdict = Verdict::LengthMismatch;
        return j;
    }
    if (reply[3] != SD2 || le < 3 || reply[le + 5] != ED) {
        j.verdict = Verdict::BadFrame;
        return j;
    }
    if (checksum(reply + 4, le) != reply[le + 4]) {
        j.verdict = Verdict::BadChecksum;
        return j;
    }
    j.verdict = reply[6] == FC_DATA ? Verdict::Ok : Verdict::BadFunction;
    return j;
}
