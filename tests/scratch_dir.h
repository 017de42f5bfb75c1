// A fresh temporary directory per test, with helpers to fill and read it.
#ifndef VELVARIN_TESTS_SCRATCH_DIR_H_
#define VELVARIN_TESTS_SCRATCH_DIR_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "velvarin-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

 public:
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string ticketPath() const { return path("ticket.txt"); }

  void writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  // The file's bytes, or nullopt when there is no such file.
  std::optional<std::string> readFile(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // What stands at ticket.txt: a link, a directory, or a file's bytes.
  std::string ticketState() const {
    auto status = std::filesystem::symlink_status(ticketPath());
    if (std::filesystem::is_symlink(status)) {
      return "link to " + std::filesystem::read_symlink(ticketPath()).string();
    }
    if (std::filesystem::is_directory(status)) {
      return std::filesystem::is_empty(ticketPath()) ? "empty directory" : "directory";
    }
    return readFile("ticket.txt").value_or("nothing");
  }

  std::filesystem::path dir_;
};

#endif  // VELVARIN_TESTS_SCRATCH_DIR_H_
