// Warnings of a build: printed as they arise and kept, so that --strict
// can fail the build once every check has had its say and --json can list
// them. Of one kind only the first few are printed; the rest are counted.
#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace sfxpack {

struct Warning {
  std::string code;  // stable, for scripts: "unknown-key"
  std::string text;
};

class Warnings {
 public:
  static constexpr std::size_t kShownOfAKind = 20;

  explicit Warnings(std::ostream& out) : out_(out) {}
  void Add(const char* code, const std::string& text) {
    if (++ofKind_[code] <= kShownOfAKind) out_ << "sfxpack: warning: " << text << '\n';
    list_.push_back({code, text});
  }
  // The count of each kind whose warnings were not all printed; once, at
  // the end of the checks.
  void PrintHidden() const { PrintHidden(out_); }
  // The warnings to out, capped as above, where they were not printed as
  // they arose.
  void PrintAll(std::ostream& out) const {
    std::map<std::string, std::size_t> shown;
    for (const Warning& warning : list_)
      if (++shown[warning.code] <= kShownOfAKind) out << "sfxpack: warning: " << warning.text << '\n';
    PrintHidden(out);
  }
  std::size_t count() const { return list_.size(); }
  const std::vector<Warning>& list() const { return list_; }

 private:
  void PrintHidden(std::ostream& out) const {
    for (const auto& [code, count] : ofKind_)
      if (count > kShownOfAKind)
        out << "sfxpack: warning: " << count - kShownOfAKind << " more "
            << (count - kShownOfAKind == 1 ? "warning" : "warnings") << " of the kind \"" << code
            << "\" not shown (" << count << " in all)\n";
  }

  std::ostream& out_;
  std::vector<Warning> list_;
  std::map<std::string, std::size_t> ofKind_;
};

}  // namespace sfxpack
