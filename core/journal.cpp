#include "core/journal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "platform/files.h"

namespace kb::core {
namespace {

// "HH:MM:SS " is 9 bytes; the spare room keeps snprintf quiet about odd clock readings.
constexpr size_t kPrefixCapacity = 48;
constexpr std::string_view kLineEnd = "\r\n";

// A whole line always fits an empty write buffer, so a line is never split or refused
// for its length.
static_assert(kPrefixCapacity + Journal::kFormatBufferSize + 2 < Journal::kWriteBufferSize);

}  // namespace

Journal::Journal(std::string program_folder, platform::Clock& clock)
    : program_folder_(std::move(program_folder)),
      clock_(clock),
      format_buffer_(new (std::nothrow) char[kFormatBufferSize]),
      write_buffer_(new (std::nothrow) char[kWriteBufferSize]) {}

Journal::~Journal() { close(); }

void Journal::write(Level level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vwrite(level, format, args);
    va_end(args);
}

void Journal::vwrite(Level, const char* format, va_list args) {
    if (format == nullptr) return;
    std::lock_guard guard(lock_);
    if (!format_buffer_ || !write_buffer_) return;
    if (std::vsnprintf(format_buffer_.get(), kFormatBufferSize, format, args) < 0) return;
    // The message is 8-bit C text: a NUL produced by the arguments ends it.
    size_t length = ::strnlen(format_buffer_.get(), kFormatBufferSize);
    if (length == 0) return;

    platform::DateTime now = clock_.local_time();
    roll_over_if_new_day(now);
    append_line(now, std::string_view(format_buffer_.get(), length));
}

void Journal::flush() {
    std::lock_guard guard(lock_);
    if (!write_buffer_) return;
    platform::DateTime now = clock_.local_time();
    roll_over_if_new_day(now);
    if (!file_.is_open() && !open_day_file(last_line_date_)) return;
    write_buffer_out();
    file_.flush();
}

void Journal::close() {
    std::lock_guard guard(lock_);
    if (closed_) return;
    closed_ = true;
    day_flush();
    format_buffer_.reset();
    write_buffer_.reset();
}

void Journal::set_echo(std::function<void(std::string_view line)> echo) {
    std::lock_guard guard(lock_);
    echo_ = std::move(echo);
}

std::string Journal::day_file_path(int year, int month, int day) const {
    char name[64];
    std::snprintf(name, sizeof name, "logs/%04d%02d%02d.log", year, month, day);
    return platform::join_path(program_folder_, name);
}

// Only the day of the month is compared: the day file is named after the remembered date.
void Journal::roll_over_if_new_day(const platform::DateTime& now) {
    if (now.day != last_line_date_.day && (buffered_ > 0 || file_.is_open())) day_flush();
    last_line_date_ = Date{now.year, now.month, now.day};
}

// The line goes in as one piece, so that a file that can't be opened drops whole lines
// and never leaves a fragment of one behind in the buffer.
void Journal::append_line(const platform::DateTime& now, std::string_view message) {
    char prefix[kPrefixCapacity];
    int prefix_length = std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d ", now.hour, now.minute, now.second);
    std::string_view time_prefix(prefix, std::min(static_cast<size_t>(std::max(prefix_length, 0)), sizeof prefix - 1));

    if (echo_) {
        std::string line;
        line.reserve(time_prefix.size() + message.size());
        line.append(time_prefix).append(message);
        echo_(line);
    }

    size_t length = time_prefix.size() + message.size() + kLineEnd.size();
    if (buffered_ + length >= kWriteBufferSize && buffered_ > 0) {
        if (!file_.is_open() && !open_day_file(last_line_date_)) return;
        write_buffer_out();
    }
    for (std::string_view piece : {time_prefix, message, kLineEnd}) {
        std::memcpy(write_buffer_.get() + buffered_, piece.data(), piece.size());
        buffered_ += piece.size();
    }
}

bool Journal::open_day_file(const Date& date) {
    return file_.open(day_file_path(date.year, date.month, date.day));
}

// A failed write loses these lines: keeping them would stall every later line.
void Journal::write_buffer_out() {
    file_.write(std::span<const char>(write_buffer_.get(), buffered_));
    buffered_ = 0;
}

void Journal::day_flush() {
    if (buffered_ > 0) {
        if (file_.is_open() || open_day_file(last_line_date_)) write_buffer_out();
    }
    file_.close();
    buffered_ = 0;
}

}  // namespace kb::core
