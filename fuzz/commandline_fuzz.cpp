// The command-line rules over hostile text: the installer's switches, the
// tail handed on, and quoting, which must read back as it was.
#include <cstdint>
#include <string>
#include <vector>

#include "ArgumentSplit.h"
#include "FuzzInput.h"
#include "core/handoff/SetupCommand.h"
#include "core/startup/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring line = fuzzinput::Wide(data, size);
  std::vector<std::wstring> args = testsupport::SplitArguments(line);
  args.insert(args.begin(), L"setup.exe");
  CommandLineOptions options;
  ParseArguments(args, options);
  OwnArgumentTail(line);

  std::wstring quoted;
  for (std::size_t i = 1; i < args.size(); ++i) AppendArgument(quoted, args[i]);
  args.erase(args.begin());
  if (testsupport::SplitArguments(quoted) != args) __builtin_trap();
  if (testsupport::SplitArguments(QuoteArgument(line)) != std::vector<std::wstring>{line}) __builtin_trap();
  return 0;
}
