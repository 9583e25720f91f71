// Stands in for 7-Zip in the tests of build --folder, on Windows as well:
// for "a ... ARCHIVE ." it writes a file that begins with the 7z signature
// and lists the folder it was started in. FAKE7Z_EXIT sets its exit code.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Run(const std::vector<fs::path>& args) {
  if (args.size() < 3 || args.front() != "a" || args.back() != ".") return 7;
  std::ofstream out(args[args.size() - 2], std::ios::binary);
  out << std::string("7z\xBC\xAF\x27\x1C", 6) << std::string(26, '\0');
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator("."))
    names.insert(entry.path().filename().u8string());
  for (const std::string& name : names) out << name << '\n';
  out.close();
  const char* code = std::getenv("FAKE7Z_EXIT");
  return code ? std::atoi(code) : 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Run(std::vector<fs::path>(argv + 1, argv + argc)); }
#else
int main(int argc, char** argv) { return Run(std::vector<fs::path>(argv + 1, argv + argc)); }
#endif
