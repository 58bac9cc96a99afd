// hst-tool: history files to CSV and back, through the terminal's own history base.
#include <iostream>
#include <string>
#include <vector>

#include "tools/hst_tool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return kb::tools::run_hst_tool(arguments, std::cout, std::cerr);
}
