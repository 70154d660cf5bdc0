#include "component/activity_log.h"

#include "automation/text.h"
#include "automation/variant.h"

namespace tarnwick::component {

namespace {

using Clock = std::chrono::system_clock;

constexpr char kHex[] = "0123456789ABCDEF";

void appendByteEscape(std::string& out, unsigned char byte) {
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

void appendUnitEscape(std::string& out, uint32_t unit) {
    out += "%u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// The length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

uint32_t codePointOf(std::string_view sequence) {
    auto byte = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(sequence[i]));
    };
    switch (sequence.size()) {
        case 2: return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        case 3: return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        case 4:
            return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
                   (byte(3) & 0x3F);
        default: return 0xFFFD;
    }
}

void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

std::optional<uint32_t> hexValue(std::string_view digits) {
    uint32_t value = 0;
    for (char c : digits) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            value |= static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    return value;
}

std::tm utcParts(Clock::time_point when) {
    const std::time_t seconds = Clock::to_time_t(when);
    std::tm parts{};
    // The civil date of the UTC day, computed without the C library's time zone.
    auto days = std::chrono::floor<std::chrono::days>(
        std::chrono::sys_seconds(std::chrono::seconds(seconds)));
    std::chrono::year_month_day date{days};
    auto rest = std::chrono::hh_mm_ss(std::chrono::seconds(seconds) - days.time_since_epoch());
    parts.tm_year = static_cast<int>(date.year()) - 1900;
    parts.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    parts.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    parts.tm_hour = static_cast<int>(rest.hours().count());
    parts.tm_min = static_cast<int>(rest.minutes().count());
    parts.tm_sec = static_cast<int>(rest.seconds().count());
    return parts;
}

std::string twoDigits(int value) {
    const int digits = ((value % 100) + 100) % 100;
    return {static_cast<char>('0' + digits / 10), static_cast<char>('0' + digits % 10)};
}

std::optional<int> digitsValue(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The UTC time of "YYYY-MM-DD" and "HH:MM:SS".
std::optional<Clock::time_point> parseWhen(std::string_view date, std::string_view time) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
    if (time.size() != 8 || time[2] != ':' || time[5] != ':') return std::nullopt;
    auto year = digitsValue(date.substr(0, 4));
    auto month = digitsValue(date.substr(5, 2));
    auto day = digitsValue(date.substr(8, 2));
    auto hour = digitsValue(time.substr(0, 2));
    auto minute = digitsValue(time.substr(3, 2));
    auto second = digitsValue(time.substr(6, 2));
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    std::chrono::year_month_day ymd{std::chrono::year(*year),
                                    std::chrono::month(static_cast<unsigned>(*month)),
                                    std::chrono::day(static_cast<unsigned>(*day))};
    if (!ymd.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    return std::chrono::sys_days(ymd) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
           std::chrono::seconds(*second);
}

}  // namespace

std::string escapeLogValue(std::string_view value, const KeepsCharacter& keeps) {
    if (value.empty()) return "-";
    if (value == "-") return "%2D";
    std::string out;
    for (size_t i = 0; i < value.size();) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte < 0x80) {
            if (byte == ' ') {
                out += '+';
            } else if (byte < 0x20 || byte == 0x7F || byte == '+' || byte == '%' || byte == '&' ||
                       byte == '=') {
                appendByteEscape(out, byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        auto length = std::min(sequenceLength(byte), value.size() - i);
        auto character = value.substr(i, length);
        i += length;
        if (keeps && keeps(character)) {
            out += character;
            continue;
        }
        uint32_t point = codePointOf(character);
        if (point >= 0x10000) {
            point -= 0x10000;
            appendUnitEscape(out, 0xD800 + (point >> 10));
            appendUnitEscape(out, 0xDC00 + (point & 0x3FF));
        } else {
            appendUnitEscape(out, point);
        }
    }
    return out;
}

std::optional<std::string> unescapeLogValue(std::string_view field) {
    if (field == "-") return std::string();
    std::string out;
    uint32_t highSurrogate = 0;  // a high surrogate waiting for its pair; 0 for none
    for (size_t i = 0; i < field.size();) {
        const char c = field[i];
        if (c == '%' && i + 1 < field.size() && field[i + 1] == 'u') {
            if (i + 6 > field.size()) return std::nullopt;
            auto unit = hexValue(field.substr(i + 2, 4));
            if (!unit) return std::nullopt;
            i += 6;
            if (*unit >= 0xD800 && *unit < 0xDC00) {
                highSurrogate = *unit;
                continue;
            }
            if (*unit >= 0xDC00 && *unit < 0xE000 && highSurrogate != 0) {
                appendUtf8(out, 0x10000 + ((highSurrogate - 0xD800) << 10) + (*unit - 0xDC00));
            } else {
                appendUtf8(out, *unit);
            }
            highSurrogate = 0;
            continue;
        }
        highSurrogate = 0;
        if (c == '%') {
            if (i + 3 > field.size()) return std::nullopt;
            auto byte = hexValue(field.substr(i + 1, 2));
            if (!byte) return std::nullopt;
            out += static_cast<char>(*byte);
            i += 3;
            continue;
        }
        out += c == '+' ? ' ' : c;
        ++i;
    }
    return out;
}

std::string utcDate(Clock::time_point when) {
    auto parts = utcParts(when);
    return std::to_string(parts.tm_year + 1900) + "-" + twoDigits(parts.tm_mon + 1) + "-" +
           twoDigits(parts.tm_mday);
}

std::string utcTime(Clock::time_point when) {
    auto parts = utcParts(when);
    return twoDigits(parts.tm_hour) + ":" + twoDigits(parts.tm_min) + ":" + twoDigits(parts.tm_sec);
}

std::string activityFileName(Clock::time_point when) {
    auto parts = utcParts(when);
    return "tw" + twoDigits(parts.tm_year) + twoDigits(parts.tm_mon + 1) +
           twoDigits(parts.tm_mday) + ".log";
}

std::string activityFileHeader(Clock::time_point when) {
    return "#Software: Tarnwick Activity Log\r\n#Version: 1.0\r\n#Date: " + utcDate(when) + " " +
           utcTime(when) + "\r\n#Fields: " + std::string(kActivityFields) + "\r\n";
}

std::string activityLine(const ActivityEntry& entry, const KeepsCharacter& keeps) {
    std::string arguments;
    for (const auto& [name, value] : entry.arguments) {
        if (!arguments.empty()) arguments += '&';
        // An empty value stays empty inside the pair: "-" would read as the text "-".
        arguments += escapeLogValue(name, keeps) + "=" +
                     (value.empty() ? std::string() : escapeLogValue(value, keeps));
    }
    if (arguments.empty()) arguments = "-";
    return utcDate(entry.when) + " " + utcTime(entry.when) + " " +
           escapeLogValue(entry.actor, keeps) + " " + escapeLogValue(entry.member, keeps) + " " +
           (entry.site ? std::to_string(*entry.site) : std::string("-")) + " " + arguments + " " +
           escapeLogValue(entry.outcome, keeps) + " " + std::to_string(entry.milliseconds);
}

std::optional<ActivityEntry> parseActivityLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') return std::nullopt;
    auto fields = automation::split(line, " ");
    if (fields.size() != 8) return std::nullopt;
    ActivityEntry entry;
    auto when = parseWhen(fields[0], fields[1]);
    auto actor = unescapeLogValue(fields[2]);
    auto member = unescapeLogValue(fields[3]);
    auto outcome = unescapeLogValue(fields[6]);
    auto milliseconds = automation::parseNumber(fields[7]);
    if (!when || !actor || !member || !outcome || !milliseconds) return std::nullopt;
    entry.when = *when;
    entry.actor = *actor;
    entry.member = *member;
    entry.outcome = *outcome;
    entry.milliseconds = static_cast<int64_t>(*milliseconds);
    if (fields[4] != "-") {
        auto site = automation::parseNumber(fields[4]);
        if (!site) return std::nullopt;
        entry.site = static_cast<int64_t>(*site);
    }
    if (fields[5] != "-") {
        for (const auto& pair : automation::split(fields[5], "&")) {
            auto equals = pair.find('=');
            if (equals == std::string::npos) return std::nullopt;
            auto name = unescapeLogValue(std::string_view(pair).substr(0, equals));
            auto value = equals + 1 == pair.size()
                             ? std::optional<std::string>(std::string())
                             : unescapeLogValue(std::string_view(pair).substr(equals + 1));
            if (!name || !value) return std::nullopt;
            entry.arguments.emplace_back(*name, *value);
        }
    }
    return entry;
}

}  // namespace tarnwick::component
