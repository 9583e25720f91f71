// Entry point: the arguments as UTF-8, whatever the platform's own form.
#include <iostream>
#include <string>
#include <vector>

#include "Interrupts.h"
#include "Sfxpack.h"

#ifdef _WIN32
#include <windows.h>

#include <filesystem>

int wmain(int argc, wchar_t** argv) {
  // Messages carry UTF-8 paths and configuration text.
  SetConsoleOutputCP(CP_UTF8);
  sfxpack::CatchInterrupts();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(std::filesystem::path(argv[i]).u8string());
  return sfxpack::RunSfxpack(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
  sfxpack::CatchInterrupts();
  return sfxpack::RunSfxpack(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
#endif
