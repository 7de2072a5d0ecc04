// morvex-process: runs the camera's frame pipeline on a RAW file.
#pragma once

namespace morvex::tools {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitIo = 1;         // a file could not be read or written, or the mask file was refused
constexpr int kExitUsage = 2;      // bad arguments
constexpr int kExitInputSize = 3;  // the input is not width × height samples

int MorvexProcessMain(int argc, char** argv);

}  // namespace morvex::tools
