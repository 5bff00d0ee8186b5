// lumora: the operator's desktop tool.
#include "ui/lumora_app.h"

namespace {

lumora::ui::CLumoraApp theApp;

}  // namespace

int main(int argc, char** argv) { return theApp.Run(argc, argv); }
