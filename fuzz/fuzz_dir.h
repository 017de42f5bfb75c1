// A scratch directory for one fuzzing process, on tmpfs where there is one.
#ifndef VELVARIN_FUZZ_FUZZ_DIR_H_
#define VELVARIN_FUZZ_FUZZ_DIR_H_

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// The directory lives as long as the fuzzing process and is removed when it
// exits.
class ScratchDir {
 public:
  ScratchDir() {
    std::string base = std::filesystem::is_directory("/dev/shm")
                           ? "/dev/shm"
                           : std::filesystem::temp_directory_path().string();
    path_ = base + "/velvarin-fuzz-XXXXXX";
    if (mkdtemp(path_.data()) == nullptr) std::abort();
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline const std::string& fuzzDir() {
  static const ScratchDir dir;
  return dir.path();
}

inline void writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Ends the run as a finding, with a reason libFuzzer shows in its log.
[[noreturn]] inline void broken(const std::string& why) {
  fprintf(stderr, "invariant broken: %s\n", why.c_str());
  std::abort();
}

#endif  // VELVARIN_FUZZ_FUZZ_DIR_H_
