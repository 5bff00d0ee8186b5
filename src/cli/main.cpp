#include "cli/cli.h"
#include "cli/console.h"

#include <iostream>

int main(int argc, char** argv)
{
    lumora::cli::PrepareConsole();
    lumora::cli::CancelOnSignals();
    return lumora::cli::Run(lumora::cli::CommandLine(argc, argv), std::cout, std::cerr);
}
