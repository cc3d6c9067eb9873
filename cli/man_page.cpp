#include "cli/man_page.h"

#include <vector>

#include "cli/commands.h"
#include "cli/help_text.h"

namespace tvl::cli {
namespace {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == text.size() ? end : end + 1);
  }
  return lines;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Help text as roff input: a backslash is roff's escape, '-' would print as a hyphen that can't
// be pasted into a shell, and a line starting with '.' or '\'' would be taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  if (!text.empty() && (text[0] == '.' || text[0] == '\'')) out += "\\&";
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

// A help body: paragraphs of prose, option lines ("  --name   what it does", continued by
// deeper-indented lines) and other indented lines, which keep their layout.
void RenderBody(std::string_view body, std::string* page) {
  enum { kNone, kProse, kOption, kLiteral } block = kNone;
  auto close_literal = [&] {
    if (block == kLiteral) *page += ".fi\n";
  };
  for (std::string_view line : SplitLines(body)) {
    const size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos) {
      close_literal();
      block = kNone;
      continue;
    }
    std::string_view text = line.substr(indent);
    if (indent > 0 && indent <= 2 && text[0] == '-') {
      close_literal();
      const size_t gap = text.find("  ");
      *page += ".TP\n.B " + Roff(text.substr(0, gap)) + "\n";
      if (gap != std::string_view::npos) *page += Roff(Trim(text.substr(gap))) + "\n";
      block = kOption;
    } else if (indent > 2 && block == kOption) {
      *page += Roff(text) + "\n";
    } else if (indent > 0) {
      if (block != kLiteral) *page += block == kNone ? ".PP\n.nf\n" : ".nf\n";
      *page += Roff(line) + "\n";
      block = kLiteral;
    } else {
      close_literal();
      // A record's layout (one word, "INDEX<TAB>...") keeps a line of its own, as it has in the
      // help; so does whatever follows a line ending in ':'.
      const bool alone = text.find(' ') == std::string_view::npos;
      if (block != kProse) {
        *page += ".PP\n";
      } else if (alone) {
        *page += ".br\n";
      }
      *page += Roff(text) + "\n";
      if (alone || text.back() == ':') *page += ".br\n";
      block = kProse;
    }
  }
  close_literal();
}

// A command's usage lines, up to the first blank line, and the rest.
std::vector<std::string_view> UsageLines(std::string_view usage, std::string_view* body) {
  std::vector<std::string_view> lines;
  const size_t end = usage.find("\n\n");
  *body = end == std::string_view::npos ? std::string_view() : usage.substr(end + 2);
  for (std::string_view line : SplitLines(usage.substr(0, end))) {
    line = Trim(line);
    if (line.substr(0, 7) == "usage: ") line.remove_prefix(7);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::string RenderManPage(std::string_view date, std::string_view version) {
  std::string page;
  page += ".\\\" Made from tarvelline-cli's --help texts when it was built; edit those instead.\n";
  page += ".TH TARVELLINE\\-CLI 1 \"" + std::string(date) + "\" \"tarvelline\\-cli " +
          std::string(version) + "\" \"User Commands\"\n";
  page += ".nh\n.ad l\n";
  page += ".SH NAME\ntarvelline\\-cli \\- identify Doom\\-engine IWAD releases and convert them\n";

  page += ".SH SYNOPSIS\n.nf\n";
  std::string_view body;
  for (const Command* command : AllCommands()) {
    for (std::string_view line : UsageLines(command->usage, &body)) page += Roff(line) + "\n";
  }
  page += "tarvelline\\-cli \\-\\-help | \\-\\-version\n.fi\n";

  page += ".SH DESCRIPTION\n";
  RenderBody(kProgramPurpose, &page);
  RenderBody(kProgramOptions, &page);

  page += ".SH COMMANDS\n";
  for (const Command* command : AllCommands()) {
    page += ".SS " + Roff(command->name) + "\n";
    page += ".nf\n";
    for (std::string_view line : UsageLines(command->usage, &body)) {
      page += ".B " + Roff(line) + "\n";
    }
    page += ".fi\n.PP\n" + Roff(command->summary) + ".\n";
    RenderBody(body, &page);
  }

  page += ".SH OUTPUT\n";
  RenderBody(kOutputHelp, &page);
  page += ".SH SEE ALSO\nThe project's page, https://tarvelline.org.\n";
  return page;
}

}  // namespace tvl::cli
