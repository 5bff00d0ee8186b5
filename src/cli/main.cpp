#include "cli/cli.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv)
{
    // A reader that goes away (lumoractl --trace ... | head -1) must not end
    // the process half-way through an upload: writes to it fail instead, and
    // the action runs to its end.
    std::signal(SIGPIPE, SIG_IGN);
    lumora::cli::CancelOnSignals();
    return lumora::cli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
