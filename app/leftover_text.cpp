#include "app/leftover_text.h"

#include "catalogue/catalogue.h"
#include "platform/wide_text.h"

namespace tvl {
namespace {

std::wstring Quoted(const Path& path) { return L"\"" + path.wstring() + L"\""; }

}  // namespace

std::wstring LeftoverText(const LeftoverReport& report) {
  if (report.kept.empty()) return {};
  std::wstring text = L"A conversion that was cut short had left files behind:";
  for (const KeptFile& kept : report.kept) {
    const std::wstring title =
        kept.release >= 0 ? std::wstring(AsWide(GetIwad(kept.release).title)) : std::wstring();
    text += L"\n";
    if (kept.restored) {
      text += Quoted(kept.file) + L" is back under its name";
      text += title.empty() ? L"." : L" (" + title + L").";
    } else if (!kept.origin.empty()) {
      text += Quoted(kept.file) + L" holds " +
              (title.empty() ? L"the file that was " + Quoted(kept.origin.filename()) : title) +
              L"; it keeps that name, as " + Quoted(kept.origin.filename()) + L" exists.";
    } else {
      text += Quoted(kept.file) + L" holds " + title + L".";
    }
  }
  return text;
}

}  // namespace tvl
