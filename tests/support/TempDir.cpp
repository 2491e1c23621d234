#include "tests/support/TempDir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "update-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  if (!previous_.empty()) {
    if (chdir(previous_.c_str()) != 0) {
      // The previous folder is gone; nothing sensible to do in a destructor.
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
  out << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void TempDir::Enter() {
  if (previous_.empty()) previous_ = std::filesystem::current_path().string();
  if (chdir(path_.c_str()) != 0) throw std::runtime_error("chdir failed");
}
