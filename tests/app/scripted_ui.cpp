#include "tests/app/scripted_ui.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/file_ops.h"

namespace tvl::testing {
namespace {

ScriptedUi* g_current = nullptr;

}  // namespace

ScriptedUi::ScriptedUi() {
  g_current = this;
  Ui() = {ShowMessage, AskForFile, ChooseScriptedEntry, ScriptedTempFolder, ScriptedMakeTempFile};
}

ScriptedUi::~ScriptedUi() {
  Ui() = SystemUiCalls();
  g_current = nullptr;
}

int WINAPI ScriptedUi::ShowMessage(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  ScriptedUi& self = *g_current;
  self.messages.push_back({text ? text : L"", caption ? caption : L"", type, owner,
                           owner != nullptr && IsWindowVisible(owner) != FALSE});
  if (self.while_open_) std::exchange(self.while_open_, nullptr)();
  if (self.message_answers_.empty()) return IDOK;
  int answer = self.message_answers_.front();
  self.message_answers_.pop_front();
  return answer;
}

std::optional<Path> ScriptedUi::AskForFile(const FileDialogRequest& request) {
  ScriptedUi& self = *g_current;
  (request.save ? self.save_dialogs : self.open_dialogs).push_back(request);
  if (self.file_answers_.empty()) return std::nullopt;
  std::optional<Path> answer = self.file_answers_.front();
  self.file_answers_.pop_front();
  return answer;
}

int ScriptedUi::ChooseScriptedEntry(HWND owner, const std::wstring& archive_name,
                                    const std::vector<std::wstring>& entries) {
  ScriptedUi& self = *g_current;
  self.entry_choices.push_back({owner, archive_name, entries});
  if (self.entry_answers_.empty()) return -1;
  int answer = self.entry_answers_.front();
  self.entry_answers_.pop_front();
  return answer;
}

Path ScriptedUi::ScriptedTempFolder() {
  return g_current->temp_folder_.empty() ? tvl::TempFolder() : g_current->temp_folder_;
}

Path ScriptedUi::ScriptedMakeTempFile(const Path& folder, FileError* error) {
  ScriptedUi& self = *g_current;
  if (self.temp_error_ != 0) {
    if (error) *error = self.temp_error_;
    return {};
  }
  Path path = tvl::MakeTempFile(folder, error);
  if (!path.empty()) self.temp_files.push_back(path);
  return path;
}

}  // namespace tvl::testing
