#include "tests/app/scripted_ui.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "platform/file_ops.h"

namespace tvl::testing {
namespace {

ScriptedUi* g_current = nullptr;

// "A\0B\0\0" as "A|B".
std::wstring JoinFilter(const wchar_t* filter) {
  std::wstring joined;
  while (filter && *filter) {
    if (!joined.empty()) joined += L'|';
    joined += filter;
    filter += std::wcslen(filter) + 1;
  }
  return joined;
}

}  // namespace

ScriptedUi::ScriptedUi() {
  g_current = this;
  Ui() = {ShowMessage, AskOpen, AskSave, ScriptedTempFolder, ScriptedMakeTempFile};
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

BOOL ScriptedUi::AnswerFileDialog(LPOPENFILENAMEW settings, std::vector<FileDialogRequest>* log) {
  FileDialogRequest request;
  request.owner = settings->hwndOwner;
  request.title = settings->lpstrTitle ? settings->lpstrTitle : L"";
  request.filter = JoinFilter(settings->lpstrFilter);
  request.filter_index = settings->nFilterIndex;
  request.default_extension = settings->lpstrDefExt ? settings->lpstrDefExt : L"";
  request.flags = settings->Flags;
  request.capacity = settings->nMaxFile;
  request.initial_directory = settings->lpstrInitialDir != nullptr;
  if (settings->lpstrInitialDir) request.initial_directory_path = settings->lpstrInitialDir;
  request.initial_file = settings->lpstrFile ? settings->lpstrFile : L"";
  log->push_back(request);

  if (file_answers_.empty()) return FALSE;
  std::optional<Path> answer = file_answers_.front();
  file_answers_.pop_front();
  if (!answer) return FALSE;
  const std::wstring& text = answer->native();
  EXPECT_LT(text.size(), settings->nMaxFile) << "the path does not fit the dialog's buffer";
  if (text.size() >= settings->nMaxFile) return FALSE;
  std::wmemcpy(settings->lpstrFile, text.c_str(), text.size() + 1);
  return TRUE;
}

BOOL WINAPI ScriptedUi::AskOpen(LPOPENFILENAMEW settings) {
  return g_current->AnswerFileDialog(settings, &g_current->open_dialogs);
}

BOOL WINAPI ScriptedUi::AskSave(LPOPENFILENAMEW settings) {
  return g_current->AnswerFileDialog(settings, &g_current->save_dialogs);
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
