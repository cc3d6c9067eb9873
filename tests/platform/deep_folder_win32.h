// A folder whose path is longer than the system's usual limit (MAX_PATH), for tests of paths
// that only deep folders have. It is made and removed through the \\?\ form, which works whatever
// the system allows, so only the code under test meets the plain long path.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tvl::testing {

class DeepFolder {
 public:
  // Folders of 50-character names inside `parent` (an absolute path) until the path is longer
  // than `length`.
  DeepFolder(const Path& parent, size_t length) {
    std::wstring path = parent.native();
    for (int level = 0; path.size() <= length; ++level) {
      path += L"\\" + std::wstring(49, L'd') + static_cast<wchar_t>(L'a' + level % 26);
      bool made = CreateDirectoryW(Raw(path).c_str(), nullptr) != 0;
      EXPECT_TRUE(made) << "cannot make a folder " << path.size() << " characters deep";
      if (!made) break;
      if (top_.empty()) top_ = path;
    }
    path_ = Path(path);
  }
  ~DeepFolder() {
    if (!top_.empty()) RemoveTree(Raw(top_));
  }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  // The folder in its plain form, as a user would name it.
  const Path& path() const { return path_; }
  Path operator/(const wchar_t* name) const { return path_ / name; }

  // The names in the folder, sorted.
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Raw(path_.native()) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
  }

  // Whether `path` exists, asked in the form that works for any length.
  static bool Exists(const Path& path) {
    return GetFileAttributesW(Raw(path.native()).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  static std::wstring Raw(const std::wstring& path) { return L"\\\\?\\" + path; }

  static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(child);
        } else {
          SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(child.c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

  Path top_;
  Path path_;
};

}  // namespace tvl::testing
