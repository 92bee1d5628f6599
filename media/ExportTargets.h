#pragma once
// Which files an export may write. Every export (the tool's, the window's) asks here before it
// writes anything, so that no export ever replaces what it reads or a recording of the card.
//
// An output is refused when it is missing, a folder, the same file as one of the inputs (same
// device and inode, so links and other spellings of the path count), the same place as another
// output, or a recording: an existing file that is an AVI by its content, or any file with a
// recording's name (an .AVI extension, or the dashcam's CATEGORY_YYYYMMDD_HHMMSS_FLAG.EXT).

#include <string>
#include <vector>

// True when every output may be written; otherwise false with a message naming the file and
// the reason in *error.
bool CheckExportTargets(const std::vector<std::string>& inputs,
                        const std::vector<std::string>& outputs, std::string* error);

// True when path names a recording: see above.
bool IsRecordingTarget(const std::string& path);
// True when the name alone says recording (whatever the file holds, if it exists).
bool HasRecordingName(const std::string& path);
