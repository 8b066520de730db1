#pragma once
// torvane's main: the arguments in, the exit status out.
namespace torvane::cli {

int Main(int argc, char** argv);

}  // namespace torvane::cli
