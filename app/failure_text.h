// The second line of the error messages: why a conversion failed, and what an unidentified file
// looks like. The first lines stay the program's own.
#pragma once

#include <string>

#include "patching/convert.h"
#include "platform/file.h"

namespace tvl {

inline constexpr wchar_t kPatchFailedText[] = L"An error occured while patching.";
inline constexpr wchar_t kIdentifyFailedText[] =
    L"Could not identify the specified WAD file. Please try a valid IWAD.";
// The same for a file that could not be read: it may well be valid, once the reason has gone.
inline constexpr wchar_t kIdentifyUnreadText[] = L"Could not identify the specified WAD file.";

// The system's text for `error`, without its closing line break; a number when it has none.
std::wstring SystemErrorText(FileError error);

// What players meet most: the file at `path` held by another program (the game, a launcher), or
// read-only, or in a place they may not change (or read, when `changing` is false), worded as
// the end of a sentence whose subject is the file: "is in use by another program (close the
// game or the launcher and try again)". Empty for other errors.
std::wstring PlainFileTrouble(const Path& path, FileError error, bool changing);

// "\"<path>\" <trouble>." for the errors PlainFileTrouble words, else the system's text.
std::wstring FileErrorText(const Path& path, FileError error, bool changing);

// Why the file at `path` could not be read whole.
std::wstring UnreadFileReason(const Path& path, FileError error);

// UTF-8 text, as the portable core writes it, for a message box.
std::wstring WideFromUtf8(const std::string& text);

// Which conversion the missing patch NAME makes, by the releases' titles, and where its file goes.
std::wstring MissingPatchText(const std::u16string& name);

// Why the conversion into `output` failed; empty for a conversion that succeeded or was stopped.
std::wstring ConversionFailureReason(const ConvertReport& report, const Path& output);

// What the unidentified file at `path` is: missing, a folder, unreadable, not a WAD, a PWAD or an
// unknown IWAD, with its SHA-1 when it could be read whole (`sha1_hex`, may be empty).
std::wstring UnknownFileReason(const Path& path, const std::string& sha1_hex);

}  // namespace tvl
