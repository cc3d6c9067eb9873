#include "tests/test_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

namespace tvl::testing {

ScratchDir::ScratchDir() {
  std::error_code error;
  Path root;
  if (const char* env = std::getenv("TVL_TEST_TMP"); env && *env) {
    root = Path(env);
  } else {
    root = std::filesystem::temp_directory_path(error);
  }
  static std::atomic<unsigned> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("tvl-") + (info ? info->name() : "test") + "-" +
                     std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                     "-" + std::to_string(counter++);
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  path_ = root / name;
  std::filesystem::create_directories(path_, error);
  EXPECT_FALSE(error) << "cannot create " << path_.string() << ": " << error.message();
}

#ifdef _WIN32
ScopedTempFolder::ScopedTempFolder(const Path& folder) {
  std::filesystem::create_directories(folder);
  for (const wchar_t* name : {L"TMP", L"TEMP"}) {
    const wchar_t* value = _wgetenv(name);
    saved_.emplace_back(name, value ? value : L"");
    _wputenv_s(name, folder.c_str());
  }
}

ScopedTempFolder::~ScopedTempFolder() {
  for (const auto& [name, value] : saved_) _wputenv_s(name.c_str(), value.c_str());
}
#else
ScopedTempFolder::ScopedTempFolder(const Path& folder) {
  std::filesystem::create_directories(folder);
  const char* value = std::getenv("TMPDIR");
  saved_.emplace_back("TMPDIR", value ? value : "");
  setenv("TMPDIR", folder.c_str(), 1);
}

ScopedTempFolder::~ScopedTempFolder() {
  for (const auto& [name, value] : saved_) {
    if (value.empty()) {
      unsetenv(name.c_str());
    } else {
      setenv(name.c_str(), value.c_str(), 1);
    }
  }
}
#endif

ScratchDir::~ScratchDir() {
  std::error_code error;
  // Read-only files (tests make some) would stop removal on Windows.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, error);
  }
  std::filesystem::remove_all(path_, error);
}

void WriteFileBytes(const Path& path, const std::vector<uint8_t>& bytes) {
  FileError error = 0;
  File file = File::CreateForWrite(path, &error);
  ASSERT_TRUE(file.is_open()) << path.string() << ": " << DescribeFileError(error);
  ASSERT_EQ(file.Write(bytes.data(), bytes.size()), bytes.size());
  ASSERT_TRUE(file.Close());
}

void WriteFileText(const Path& path, std::string_view text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFileBytes(const Path& path) {
  std::vector<uint8_t> bytes;
  File file = File::OpenForRead(path);
  EXPECT_TRUE(file.is_open()) << path.string();
  uint8_t buffer[65536];
  for (;;) {
    int64_t got = file.Read(buffer, sizeof buffer);
    if (got <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  return bytes;
}

std::set<std::string> FileNames(const Path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(PathToUtf8(entry.path().filename()));
  }
  return names;
}

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

}  // namespace tvl::testing
