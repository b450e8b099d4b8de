#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "pages/ErrorPage.h"

namespace poremisu {

// What stands at a path before a download is saved there.
enum class Standing { Nothing, FileOrLink, Other };

// Whether a download may be saved over what stands at the chosen path once
// the user agreed to replace it: a file, or a link (the link goes, never
// what it points to). A folder, a pipe or a device is never replaced.
inline bool MayReplace(Standing standing) { return standing == Standing::FileOrLink; }

// Where the transfer is written until it is whole, beside the chosen path:
// "<path>.part", else the first of "<path>.part1" … "<path>.part99" that
// nothing stands at (the last one in any case). `taken` tells whether
// anything stands at a path.
std::string PartPath(const std::string& path, const std::function<bool(const std::string&)>& taken);

// Whether a transfer the engine calls finished was cut short: fewer bytes
// than the server announced. A coded transfer announces its coded length
// while the file holds the decoded bytes, so only a plain one's length tells.
bool CutShort(std::uint64_t announced, std::uint64_t received, std::optional<std::string_view> contentCoding);

// How far a download has come, as its status text tells it.
enum class DownloadStage { Saving, Progress, Cancelled, Failed, CutShort, NotSaved, Saved };

// A download's status text, UTF-8 in the page language: `name` is the file as
// the user knows it (its full path once saved); `detail` is the engine's
// failure message for Failed; `received` and `total` the bytes so far and
// announced (0 when unknown) for Progress.
std::string DownloadStatusText(PageLanguage language, DownloadStage stage, std::string_view name,
                               std::string_view detail = {}, std::uint64_t received = 0, std::uint64_t total = 0);

}  // namespace poremisu
