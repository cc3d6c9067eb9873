// The core's records as JSON for the page: releases, targets and the end of a conversion.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "patching/convert.h"
#include "platform/text.h"

namespace tvl::web {

// {"index","id","game","version","title","sha1","flags"}.
std::string ReleaseJson(const IwadRecord& release);

// {"index","id","title","route":[...],"convertible","present","missing"}: `present` when `have`
// finds every patch of the route, `missing` the first it doesn't.
std::string TargetJson(const IwadRecord& target, const std::vector<std::u16string>& route,
                       bool convertible, const std::function<bool(const std::u16string&)>& have);

// How a conversion ended, as fields the page words itself (no sentence of the core's reaches
// it): {"kind","source","target","patch","patchFile","patchRole","suspects":[...],"reason"}.
// `kind` is one of the names FailureKind gives; `source` and `target` are release ids; `patch`
// the failed step's patch; `patchFile` the picked file it came from and `patchRole` "picked",
// "built-in" or "" (found nowhere); `suspects` the picked files a wrong result may come from;
// `reason` the system's words for a file error, or "".
std::string ReportJson(const ConvertReport& report, const ConvertRequest& request);

// The kind of ending, one word: "converted", "cancelled", "no-route", "temp-failed",
// "patch-missing", "patch-too-large", "patch-unreadable", "patch-damaged", "input-unreadable",
// "write-failed", "not-target", "result-unreadable" or "replace-failed". `patch_too_large`
// says whether the failed step's picked file is over the size any patch may have.
const char* FailureKind(const ConvertReport& report, bool patch_too_large);

}  // namespace tvl::web
