// Warnings of a build: printed as they arise and counted, so that --strict
// can fail the build once every check has had its say.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace sfxpack {

class Warnings {
 public:
  explicit Warnings(std::ostream& out) : out_(out) {}
  void Add(const std::string& text) {
    out_ << "sfxpack: warning: " << text << '\n';
    ++count_;
  }
  std::size_t count() const { return count_; }

 private:
  std::ostream& out_;
  std::size_t count_ = 0;
};

}  // namespace sfxpack
