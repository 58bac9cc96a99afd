#pragma once
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/append_file.h"
#include "platform/clock.h"

namespace kb::core {

// The level of a journal line; it decides nothing in the file (it is not written).
enum class Level : int { Info = 0, Error = 1, Fault = 4 };

// The program's diagnostic log: one file a day, "logs/YYYYMMDD.log" under the program
// folder, lines "HH:MM:SS text\r\n", written through a 64 KB buffer so that a burst of
// lines costs memory copies only. Thread-safe: one lock serialises formatting,
// buffering and file access (a leaf of core/lock_order.h). A missing logs folder or an
// unopenable file drops lines silently.
class Journal {
public:
    static constexpr size_t kFormatBufferSize = 16384;
    static constexpr size_t kWriteBufferSize = 65536;

    Journal(std::string program_folder, platform::Clock& clock);
    ~Journal();   // closes
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Formats one line (printf rules, the message cut at kFormatBufferSize - 1 bytes) and
    // buffers it with its time prefix. An empty message writes nothing. Does nothing
    // after close().
    void write(Level level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void vwrite(Level level, const char* format, va_list args);

    // Forces buffered lines into today's file and keeps the file open. Lines buffered
    // before midnight still go to their own day's file, which is closed first.
    void flush();
    // Final flush and release; only the first call does anything.
    void close();

    // Receives each complete line, without "\r\n", as it is written, also when the file
    // drops it (the headless run echoes the journal to the console). Called under the
    // journal's lock: it must not write to the journal. An empty function stops the echo.
    void set_echo(std::function<void(std::string_view line)> echo);

    // The day file for a date: "<program folder>/logs/%04d%02d%02d.log".
    std::string day_file_path(int year, int month, int day) const;

private:
    struct Date {
        int year = 0;
        int month = 0;
        int day = 0;
    };

    void roll_over_if_new_day(const platform::DateTime& now);
    void append_line(const platform::DateTime& now, std::string_view message);
    bool open_day_file(const Date& date);
    void write_buffer_out();
    void day_flush();

    std::mutex lock_;
    const std::string program_folder_;
    platform::Clock& clock_;
    platform::AppendFile file_;
    std::unique_ptr<char[]> format_buffer_;
    std::unique_ptr<char[]> write_buffer_;
    size_t buffered_ = 0;
    Date last_line_date_;
    bool closed_ = false;
    std::function<void(std::string_view)> echo_;
};

}  // namespace kb::core
