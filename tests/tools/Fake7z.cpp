// Stands in for 7-Zip in the tests of sfxpack, on Windows as well: for
// "a ... ARCHIVE ." it writes a file of the 7z signature, 26 zero bytes and
// the names in the folder it was started in, one a line (FAKE7Z_EXIT sets
// its exit code, and then it says why as 7-Zip does, on standard output
// with -bse1); "t ... ARCHIVE" passes such a file and fails anything
// shorter or without the signature; "l ... ARCHIVE" prints its names as
// 7-Zip's technical listing does.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kHeaderSize = 32;

int TestOrList(const std::vector<fs::path>& args) {
  std::ifstream in(args.back(), std::ios::binary);
  std::string header(kHeaderSize, '\0');
  if (!in.read(header.data(), kHeaderSize) || header.compare(0, 6, "7z\xBC\xAF\x27\x1C") != 0) return 2;
  if (args.front() == "l")
    for (std::string name; std::getline(in, name);) std::cout << "Path = " << name << '\n';
  return 0;
}

int Run(const std::vector<fs::path>& args) {
  if (args.size() >= 2 && (args.front() == "t" || args.front() == "l")) return TestOrList(args);
  if (args.size() < 3 || args.front() != "a" || args.back() != ".") return 7;
  std::ofstream out(args[args.size() - 2], std::ios::binary);
  out << std::string("7z\xBC\xAF\x27\x1C", 6) << std::string(26, '\0');
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator("."))
    names.insert(entry.path().filename().u8string());
  for (const std::string& name : names) out << name << '\n';
  out.close();
  const char* code = std::getenv("FAKE7Z_EXIT");
  if (!code) return 0;
  const bool errorsOnOutput = std::find(args.begin(), args.end(), "-bse1") != args.end();
  (errorsOnOutput ? std::cout : std::cerr) << "\nSystem ERROR:\nerrno=28 : No space left on device\n";
  return std::atoi(code);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Run(std::vector<fs::path>(argv + 1, argv + argc)); }
#else
int main(int argc, char** argv) { return Run(std::vector<fs::path>(argv + 1, argv + argc)); }
#endif
