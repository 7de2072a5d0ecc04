#include "process_tool.h"

int main(int argc, char** argv) { return morvex::tools::MorvexProcessMain(argc, argv); }
