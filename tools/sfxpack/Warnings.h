// Warnings of a build: printed as they arise and kept, so that --strict
// can fail the build once every check has had its say and --json can list
// them.
#pragma once

#include <cstddef>
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
  explicit Warnings(std::ostream& out) : out_(out) {}
  void Add(const char* code, const std::string& text) {
    out_ << "sfxpack: warning: " << text << '\n';
    list_.push_back({code, text});
  }
  std::size_t count() const { return list_.size(); }
  const std::vector<Warning>& list() const { return list_; }

 private:
  std::ostream& out_;
  std::vector<Warning> list_;
};

}  // namespace sfxpack
