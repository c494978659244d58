#pragma once

#include <string>
#include <vector>

namespace velmora {

// Whether a regular file (or a link to one) is at `path`; a relative path is
// taken from the current directory. A directory is not a file.
bool IsRegularFile(const std::string& path);

// Whether a directory (or a link to one) is at `path`.
bool IsExistingDirectory(const std::string& path);

// Whether both paths lead to one existing file or folder (the same device and
// inode): through a symbolic or hard link, or spelt another way ("a/../z.apk").
bool NameTheSameFile(const std::string& a, const std::string& b);

// Whether `path` is a regular file we may execute.
bool IsExecutableFile(const std::string& path);

// Whether `path` is a regular file we may execute that really is a program:
// an ELF binary, or a script that starts with "#!". An execute bit alone says
// little: every file of a FAT or NTFS disk carries one.
bool IsProgramFile(const std::string& path);

// Where a program called `name` is looked for, in order: `name` joined to each
// directory of PATH (the system's default search path when PATH is not set);
// an empty directory stands for the current one.
std::vector<std::string> SearchPathCandidates(const std::string& name);

// The first executable file called `name` in the directories of PATH (the
// system's default search path when PATH is not set); empty when there is none.
std::string FindOnPath(const std::string& name);

}  // namespace velmora
