#pragma once
// A scratch folder for the files a command-line tool reads and writes, and the tool run as a
// child process.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "tests/server/run_process.h"
#include "tests/support/temp_folder.h"

namespace kb::tools::testing {

class ToolTest : public ::testing::Test {
protected:
    // program: the tool's path, as the build passes it in.
    explicit ToolTest(std::string program) : program_(std::move(program)) {}

    std::string path(const std::string& name) const { return folder.file(name); }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(platform::write_file_atomic(path(name), bytes));
    }
    void write_text(const std::string& name, std::string_view text) {
        write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    server::testing::ProcessResult tool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), program_);
        return server::testing::run_process(arguments);
    }

    ::kb::testing::TempFolder folder;

private:
    std::string program_;
};

}  // namespace kb::tools::testing
