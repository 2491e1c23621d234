#pragma once
// A temporary folder for one test, removed with everything in it; the
// current directory can be switched into it for the test's lifetime.
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;
  // Makes the folder the current directory until destruction.
  void Enter();

 private:
  std::string path_;
  std::string previous_;
};
