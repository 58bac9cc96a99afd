#pragma once
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace kb::core {

// The level of a journal line; it decides nothing in the file (it is not written).
enum class Level : int { Info = 0, Error = 1, Fault = 4 };

// The program's diagnostic log: one file a day, "logs/YYYYMMDD.log" under the program
// folder, lines "HH:MM:SS text\r\n", written through a 64 KB buffer so that a burst of
// lines costs memory copies only. Thread-safe: one lock serialises formatting,
// buffering and file access. A missing logs folder or an unopenable file drops lines
// silently.
class Journal {
public:
    static constexpr size_t kFormatBufferSize = 16384;
    static constexpr size_t kWriteBufferSize = 65536;

    Journal(std::string program_folder, platform::Clock& clock);
    ~Journal();   // closes
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Formats one line (printf rules) and buffers it with its time prefix.
    void write(Level level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void vwrite(Level level, const char* format, va_list args);

    // Forces buffered lines into today's file and keeps the file open.
    void flush();
    // Final flush and release; only the first call does anything.
    void close();

    // Receives each complete line as it is buffered (the headless run echoes the journal
    // to the console). Called under the journal's lock: it must not write to the journal.
    void set_echo(std::function<void(std::string_view line)> echo);

    // The day file for a date: "<program folder>/logs/%04d%02d%02d.log".
    std::string day_file_path(int year, int month, int day) const;
};

}  // namespace kb::core
