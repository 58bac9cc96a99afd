// chart-tool: a chart profile as the terminal reads it, and its indicators' values on a history.
#include <iostream>
#include <string>
#include <vector>

#include "tools/chart_tool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return kb::tools::run_chart_tool(arguments, std::cout, std::cerr);
}
