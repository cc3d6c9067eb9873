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

// {"status","failure","patch","patchFile","detail"}: how a conversion ended, in words the page
// maps to its own; `detail` is the command line's description.
std::string ReportJson(const ConvertReport& report, const ConvertRequest& request);

}  // namespace tvl::web
